#include "FileSizeLimit.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

#include <csignal>

// saltwick-cli run as a process on real files: what it prints where, and how it exits.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void answersHelpAndVersion_data();
    void answersHelpAndVersion();
    void refusesAWrongCommandLine_data();
    void refusesAWrongCommandLine();
    void listsThePendingMerges();
    void mergesEachGoodPartInTurn();
    void refusesAnotherFileUnlessForced();
    void exitsWithTheFailureCode_data();
    void exitsWithTheFailureCode();
    void exitsWithDiskFull();
    void exitsWithPermissionDenied();
    void drawsProgressOnlyOnATerminal();

private:
    struct Outcome
    {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };
    Outcome run(const QStringList &arguments);
    QString path(const QString &name) const { return m_dir->filePath(name); }

    QByteArray m_original;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCli::initTestCase()
{
    // The file-size limit below must fail the tool's write, not kill it.
    std::signal(SIGXFSZ, SIG_IGN);
    m_original = TestFiles::Pattern(5000000, 31);
}

void TestCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

TestCli::Outcome TestCli::run(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(SALTWICK_CLI), arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

void TestCli::answersHelpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("shows");

    QTest::newRow("tool") << QStringList{"--help"} << "Exit status:";
    QTest::newRow("help-command") << QStringList{"help"} << "Exit status:";
    QTest::newRow("scan") << QStringList{"scan", "--help"} << "Usage: saltwick-cli scan FILE";
    QTest::newRow("split") << QStringList{"split", "-h"} << "Usage: saltwick-cli split";
    QTest::newRow("merge") << QStringList{"help", "merge"} << "Usage: saltwick-cli merge";
    QTest::newRow("list") << QStringList{"list", "--help"} << "Usage: saltwick-cli list";
    QTest::newRow("version") << QStringList{"--version"} << "saltwick-cli 1.00.0055\n";
}

void TestCli::answersHelpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, shows);

    const Outcome outcome = run(arguments);
    QCOMPARE(outcome.status, 0);
    QVERIFY2(outcome.out.contains(shows.toUtf8()), outcome.out.constData());
    QCOMPARE(outcome.err, QByteArray());
    if (arguments.first() == QStringLiteral("--help")) {
        for (int status : {0, 1, 2, 5, 53, 57, 61, 70, 75, 76})
            QVERIFY(outcome.out.contains(QByteArray::number(status).rightJustified(4) + "  "));
    }
}

void TestCli::refusesAWrongCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown-command") << QStringList{"fix", "movie.avi"};
    QTest::newRow("unknown-option") << QStringList{"list", "--all"};
    QTest::newRow("split-without-size") << QStringList{"split", "movie.avi"};
    QTest::newRow("split-twice-sized") << QStringList{"split", "movie.avi", "1", "2"};
    QTest::newRow("scan-two-files") << QStringList{"scan", "a.avi", "b.avi"};
    QTest::newRow("merge-nothing") << QStringList{"merge"};
    QTest::newRow("list-two-folders") << QStringList{"list", "a", "b"};
    QTest::newRow("yes-for-merge") << QStringList{"merge", "--yes", "movie.QQQ"};
    QTest::newRow("force-for-split") << QStringList{"split", "--force", "movie.avi", "10"};
    QTest::newRow("help-unknown") << QStringList{"help", "fix"};
    QTest::newRow("version-and-command") << QStringList{"list", "--version"};
}

void TestCli::refusesAWrongCommandLine()
{
    QFETCH(QStringList, arguments);

    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original.left(20)));
    const Outcome outcome = run(arguments);
    QCOMPARE(outcome.status, 2);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY(outcome.err.startsWith("saltwick-cli: "));
    QVERIFY(!QFile::exists(path("movie-.avi")));
}

void TestCli::listsThePendingMerges()
{
    for (const char *name : {"b.QQQ", "b.avi", "a.qqq", "a.avi", "lonely.QQQ", ".hidden.QQQ",
                             ".hidden.avi", "qqq.QQQ", "qqq.avi", "folder.QQQ"})
        QVERIFY(TestFiles::Write(path(name), "x"));
    QVERIFY(QDir(m_dir->path()).mkdir("folder.avi"));
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    QVERIFY(TestFiles::Write(path("sub/c.QQQ"), "x"));
    QVERIFY(TestFiles::Write(path("sub/c.avi"), "x"));

    Outcome outcome = run({"list"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QByteArray("a.qqq\nb.QQQ\n"));
    QCOMPARE(outcome.err, QByteArray());

    outcome = run({"list", "sub"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QByteArray("sub/c.QQQ\n"));
}

void TestCli::mergesEachGoodPartInTurn()
{
    QVERIFY(TestFiles::Write(path("a.QQQ"), m_original.left(4000000)));
    QVERIFY(TestFiles::Write(path("a.avi"), m_original));
    QVERIFY(TestFiles::Write(path("b.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("b.avi"), m_original.left(20)));
    QVERIFY(TestFiles::Write(path("c.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("c.avi"), m_original.left(10)));

    const Outcome outcome = run({"merge", "a.QQQ", path("b.QQQ"), "c.QQQ"});
    // The third is refused; the two before it stay merged.
    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, (path("a-.avi") + u'\n' + path("b-.avi") + u'\n').toUtf8());
    QCOMPARE(outcome.err, ("saltwick-cli: " + path("c.QQQ") + ": Avi shorter than QQQ\n").toUtf8());
    QCOMPARE(TestFiles::Read(path("a-.avi")), m_original);
    QCOMPARE(TestFiles::Read(path("b-.avi")), m_original.left(20));
    QCOMPARE(TestFiles::Read(path("c.QQQ")), m_original.left(10));
    QVERIFY(!QFile::exists(path("c-.avi")));
}

void TestCli::refusesAnotherFileUnlessForced()
{
    QByteArray goodPart = m_original.left(3000000);
    goodPart[2999990] = 'x';
    if (m_original[2999990] == 'x')
        goodPart[2999990] = 'y';
    QVERIFY(TestFiles::Write(path("movie.QQQ"), goodPart));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));

    Outcome outcome = run({"merge", "movie.QQQ"});
    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(outcome.err, QByteArray("saltwick-cli: The new movie.avi does not match the good "
                                     "part before byte 2999991. It may be another file or "
                                     "another version. Give --force to merge it anyway.\n"));
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), goodPart);
    QVERIFY(!QFile::exists(path("movie-.avi")));

    outcome = run({"merge", "--force", "movie.QQQ"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, (path("movie-.avi") + u'\n').toUtf8());
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), goodPart + m_original.mid(3000000));
}

void TestCli::exitsWithTheFailureCode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("names");

    QTest::newRow("no-good-part") << QStringList{"merge", "gone.QQQ"} << 53 << "gone.QQQ";
    QTest::newRow("no-companion") << QStringList{"merge", "lonely.QQQ"} << 53 << "lonely.avi";
    QTest::newRow("unopenable-companion")
        << QStringList{"merge", "socket.QQQ"} << 57 << "socket.avi";
    QTest::newRow("fixed-file-exists") << QStringList{"merge", "fixed.QQQ"} << 75 << "fixed-.avi";
    QTest::newRow("no-folder") << QStringList{"list", "nowhere"} << 76 << "nowhere";
    QTest::newRow("not-a-good-part") << QStringList{"merge", "movie.avi"} << 1 << "movie.avi";
}

void TestCli::exitsWithTheFailureCode()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, names);

    for (const char *name : {"lonely.QQQ", "socket.QQQ", "fixed.QQQ", "movie.avi"})
        QVERIFY(TestFiles::Write(path(name), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("fixed.avi"), m_original.left(20)));
    QVERIFY(TestFiles::Write(path("fixed-.avi"), "older fix"));
    // A socket cannot be opened as a file at all: the device fails.
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(path("socket.avi"));
    QVERIFY(socketPath.size() < qsizetype(sizeof address.sun_path));
    std::copy(socketPath.cbegin(), socketPath.cend(), address.sun_path);
    QCOMPARE(::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(socket);
    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System);

    const Outcome outcome = run(arguments);
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.out, QByteArray());
    const QByteArray code = status == 1 ? QByteArray() : QByteArray::number(status) + ": ";
    QVERIFY2(outcome.err.startsWith("saltwick-cli: " + code), outcome.err.constData());
    QVERIFY2(outcome.err.contains(names.toUtf8()), outcome.err.constData());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System), before);
    QCOMPARE(TestFiles::Read(path("fixed-.avi")), QByteArray("older fix"));
}

void TestCli::exitsWithDiskFull()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(1000000)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    Outcome outcome;
    {
        // The tool inherits the limit: its good part may not grow past 3,000,000 bytes.
        FileSizeLimit limit(3000000);
        outcome = run({"merge", "movie.QQQ"});
    }
    QCOMPARE(outcome.status, 61);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY2(outcome.err.startsWith("saltwick-cli: 61: "), outcome.err.constData());
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(1000000));
}

void TestCli::exitsWithPermissionDenied()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original.left(20)));
    // Root may write anything but a file marked immutable.
    const bool root = ::geteuid() == 0;
    if (root) {
        if (QProcess::execute("chattr", {"+i", path("movie.QQQ")}) != 0)
            QSKIP("chattr +i is not allowed here; no other way to deny root a write");
    } else {
        QVERIFY(QFile::setPermissions(path("movie.QQQ"), QFile::ReadOwner));
    }
    const Outcome outcome = run({"merge", "movie.QQQ"});
    if (root)
        QProcess::execute("chattr", {"-i", path("movie.QQQ")});

    QCOMPARE(outcome.status, 70);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY2(outcome.err.startsWith("saltwick-cli: 70: "), outcome.err.constData());
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(10));
    QVERIFY(!QFile::exists(path("movie-.avi")));
}

void TestCli::drawsProgressOnlyOnATerminal()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    // script(1) gives the tool a terminal; standard output still goes to a file.
    const QString command = QStringLiteral("'%1' merge movie.QQQ > out.txt").arg(SALTWICK_CLI);
    QProcess terminal;
    terminal.setWorkingDirectory(m_dir->path());
    terminal.start("script", {"-qec", command, "/dev/null"});
    if (!terminal.waitForStarted())
        QSKIP("script(1) is not installed");
    QVERIFY(terminal.waitForFinished(120000));
    QCOMPARE(terminal.exitCode(), 0);
    QVERIFY2(terminal.readAllStandardOutput().contains("####"), "no progress bar drawn");
    QCOMPARE(TestFiles::Read(path("out.txt")), (path("movie-.avi") + u'\n').toUtf8());
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
