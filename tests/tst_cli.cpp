#include "FileSizeLimit.h"
#include "LoopMount.h"
#include "MergeBack.h"
#include "TestFiles.h"
#include "TestFolder.h"
#include "Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <csignal>

// saltwick-cli run as a process on real files: what it prints where, and how it exits.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void answersHelpAndVersion_data();
    void answersHelpAndVersion();
    void refusesAWrongCommandLine_data();
    void refusesAWrongCommandLine();
    void splitsOffTheGoodPart_data();
    void splitsOffTheGoodPart();
    void refusesWhatTheWindowRefuses_data();
    void refusesWhatTheWindowRefuses();
    void replacesWhatIsInTheWayOnlyWithYes_data();
    void replacesWhatIsInTheWayOnlyWithYes();
    void saysWhereTheDamageBegins_data();
    void saysWhereTheDamageBegins();
    void repairsADownloadInATerminal();
    void repairsAnMp4InATerminal();
    void listsThePendingMerges();
    void mergesEachGoodPartInTurn();
    void refusesAnotherFileUnlessForced();
    void mergesWithANewFileOfAnyName();
    void exitsWithTheFailureCode_data();
    void exitsWithTheFailureCode();
    void exitsWithDiskFull();
    void exitsWithPermissionDenied();
    void failsWhenTheResultCannotBeWritten_data();
    void failsWhenTheResultCannotBeWritten();
    void drawsProgressOnlyOnATerminal();
    void stopsAtCtrlCAndLeavesNothingHalfDone();
    void givesACutShortMergeBackFirst_data();
    void givesACutShortMergeBackFirst();
    void refusesAFileNotFetchedAgain();
    void refusesAFileDamagedTooUnlessForced();
    void keepsWhatNoTrashCanTake_data();
    void keepsWhatNoTrashCanTake();
    void refusesRelativeNamesWithoutACurrentFolder_data();
    void refusesRelativeNamesWithoutACurrentFolder();
    void exitsWith128AndTheSignal_data();
    void exitsWith128AndTheSignal();
    void completesInBash_data();
    void completesInBash();

private:
    struct Outcome
    {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };
    Outcome run(const QStringList &arguments);
    // The tool started by the shell with its standard output redirected as `redirection`.
    Outcome runRedirected(const QStringList &arguments, const QString &redirection);
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // An AVI made by ffmpeg, and the same with a stretch of a web page where a download
    // went wrong; false when ffmpeg is missing.
    bool writeMovies(const QString &intact, const QString &damaged);

    QByteArray m_original;
    QByteArray m_movie;
    bool m_movieIsMp4 = false;
    std::unique_ptr<TestFolder> m_dir;
};

void TestCli::initTestCase()
{
    // The file-size limit below must fail the tool's write, not kill it.
    std::signal(SIGXFSZ, SIG_IGN);
    m_original = TestFiles::Pattern(5000000, 31);
}

void TestCli::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir("data"));
    // The tool's home trash, where the test looks for what it trashed, is the test's own.
    qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
}

void TestCli::cleanup()
{
    // Qt's listing leaves out names that are not valid text, so the folder's removal would
    // leave them behind.
    for (const char *name : {"/sub/m\xff.QQQ", "/sub/m\xff.avi"})
        ::unlink((QFile::encodeName(m_dir->path()) + name).constData());
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

TestCli::Outcome TestCli::runRedirected(const QStringList &arguments, const QString &redirection)
{
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start("sh",
                  QStringList{"-c", "exec \"$0\" \"$@\" " + redirection, SALTWICK_CLI} + arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.status = process.exitCode();
    outcome.err = process.readAllStandardError();
    return outcome;
}

bool TestCli::writeMovies(const QString &intact, const QString &damaged)
{
    const bool mp4 = intact.endsWith(".mp4");
    if (m_movie.isEmpty() || m_movieIsMp4 != mp4) {
        TestFolder folder;
        const QString made = folder.filePath(mp4 ? "made.mp4" : "made.avi");
        const QStringList codecs = mp4 ? QStringList{"-c:v", "libx264", "-c:a", "aac"}
                                       : QStringList{"-c:v", "mpeg4", "-q:v", "2", "-c:a",
                                                     "pcm_s16le"};
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", QStringList{"-v", "error", "-f", "lavfi", "-i",
                                           "testsrc=size=640x480:rate=25", "-f", "lavfi", "-i",
                                           "sine=frequency=440", "-t", "10"}
                                   + codecs + QStringList{made});
        if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0)
            return false;
        m_movie = TestFiles::Read(made);
        m_movieIsMp4 = mp4;
    }
    QByteArray broken = m_movie;
    // The MP4 is small: its damage goes in its middle.
    if (mp4)
        broken.replace(m_movie.size() / 2, 20000, QByteArray(20000, '<'));
    else
        broken.replace(1000000, 60000, QByteArray(60000, '<'));
    return TestFiles::Write(path(intact), m_movie) && TestFiles::Write(path(damaged), broken);
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
    QTest::addColumn<QString>("says"); // how the first line begins

    QTest::newRow("nothing") << QStringList() << "no command given\n";
    QTest::newRow("unknown-command") << QStringList{"fix", "movie.avi"} << "unknown command";
    // Qt's parser words its own messages; the tool says them in its own style.
    QTest::newRow("unknown-option") << QStringList{"list", "--all"} << "unknown option --all\n";
    QTest::newRow("unknown-short-option") << QStringList{"-z", "list"} << "unknown option -z\n";
    QTest::newRow("value-for-option")
        << QStringList{"merge", "--force=yes", "movie.QQQ"} << "--force takes no value\n";
    QTest::newRow("option-without-its-value")
        << QStringList{"merge", "movie.QQQ", "--with"} << "--with takes NEWFILE\n";
    QTest::newRow("split-without-size") << QStringList{"split", "movie.avi"} << "split takes";
    QTest::newRow("split-twice-sized")
        << QStringList{"split", "movie.avi", "1", "2"} << "split takes";
    QTest::newRow("scan-two-files") << QStringList{"scan", "a.avi", "b.avi"} << "scan takes";
    QTest::newRow("merge-nothing") << QStringList{"merge"} << "merge takes";
    QTest::newRow("list-two-folders") << QStringList{"list", "a", "b"} << "list takes";
    QTest::newRow("yes-for-merge") << QStringList{"merge", "--yes", "movie.QQQ"} << "--yes";
    QTest::newRow("force-for-split")
        << QStringList{"split", "--force", "movie.avi", "10"} << "--force";
    QTest::newRow("help-unknown") << QStringList{"help", "fix"} << "help takes";
    QTest::newRow("version-and-command") << QStringList{"list", "--version"} << "--version";
}

void TestCli::refusesAWrongCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);

    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original.left(20)));
    const Outcome outcome = run(arguments);
    QCOMPARE(outcome.status, 2);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY2(outcome.err.startsWith("saltwick-cli: " + says.toUtf8()), outcome.err.constData());
    QVERIFY(outcome.err.endsWith("\nsaltwick-cli: try 'saltwick-cli --help'\n"));
    QVERIFY(!QFile::exists(path("movie-.avi")));
}

void TestCli::splitsOffTheGoodPart_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<qint64>("kept");

    QTest::newRow("bytes") << "1184567" << qint64(1184567);
    QTest::newRow("error-line") << "Error at offset: 1234567 (12D687h)" << qint64(1184567);
    QTest::newRow("whole-file") << "5000000" << qint64(5000000);
    QTest::newRow("just-over-a-piece") << "3000001" << qint64(3000001);
}

void TestCli::splitsOffTheGoodPart()
{
    QFETCH(QString, size);
    QFETCH(qint64, kept);

    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    const Outcome outcome = run({"split", "movie.avi", size});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, (path("movie.QQQ") + u'\t' + QString::number(kept) + u'\n').toUtf8());
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(kept));
    QCOMPARE(TestFiles::Read(path("movie.avi")), m_original);
}

void TestCli::refusesWhatTheWindowRefuses_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");

    // The window says "File doesn't exist"; a terminal hears the code and the name. DIR
    // stands for the test's folder.
    QTest::newRow("missing-file") << "gone.avi"
                                  << "100" << 53 << "53: File not found: DIR/gone.avi";
    QTest::newRow("folder") << "folder"
                            << "100" << 1 << "Not a plain, visible file: DIR/folder";
    QTest::newRow("hidden-file") << ".hidden.avi"
                                 << "100" << 1 << "Not a plain, visible file: DIR/.hidden.avi";
    QTest::newRow("zero") << "movie.avi"
                          << "0" << 1 << "Incorrect split size";
    QTest::newRow("offset-within-margin")
        << "movie.avi"
        << "Error at offset: 50000" << 1 << "Incorrect split size";
    QTest::newRow("unreadable-offset") << "movie.avi"
                                       << "Error at offset: soon" << 1 << "Incorrect split size";
    QTest::newRow("larger-than-file") << "movie.avi"
                                      << "5000001" << 1 << "Split size is larger than the file";
    QTest::newRow("already-a-good-part")
        << "movie.QQQ"
        << "10" << 1
        << "This file already has the good part's name, and Split would overwrite it. "
           "Please rename it first.";
    QTest::newRow("name-too-short") << "ab"
                                    << "10" << 5
                                    << "5: Invalid argument: the name ab is too short for a good "
                                       "part";
}

void TestCli::refusesWhatTheWindowRefuses()
{
    QFETCH(QString, file);
    QFETCH(QString, size);
    QFETCH(int, status);
    QFETCH(QString, says);

    for (const char *name : {"movie.avi", "movie.QQQ", ".hidden.avi", "ab"})
        QVERIFY(TestFiles::Write(path(name), m_original));
    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);

    const Outcome outcome = run({"split", file, size});
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.out, QByteArray());
    says.replace(QStringLiteral("DIR"), m_dir->path());
    QCOMPARE(outcome.err, ("saltwick-cli: " + says + u'\n').toUtf8());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original);
}

void TestCli::replacesWhatIsInTheWayOnlyWithYes_data()
{
    QTest::addColumn<bool>("folder");

    QTest::newRow("folder") << true;
    QTest::newRow("read-only-file") << false;
}

void TestCli::replacesWhatIsInTheWayOnlyWithYes()
{
    QFETCH(bool, folder);

    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    if (folder) {
        QVERIFY(QDir(m_dir->path()).mkdir("movie.QQQ"));
        QVERIFY(TestFiles::Write(path("movie.QQQ/notes.txt"), "keep"));
    } else {
        QVERIFY(TestFiles::Write(path("movie.QQQ"), "older"));
        QVERIFY(QFile::setPermissions(path("movie.QQQ"), QFile::ReadOwner));
    }

    Outcome outcome = run({"split", "movie.avi", "100"});
    QCOMPARE(outcome.status, 75);
    QCOMPARE(outcome.out, QByteArray());
    QVERIFY2(outcome.err.startsWith("saltwick-cli: 75: "), outcome.err.constData());
    QVERIFY2(outcome.err.endsWith("Give --yes to replace it.\n"), outcome.err.constData());
    if (folder)
        QCOMPARE(TestFiles::Read(path("movie.QQQ/notes.txt")), QByteArray("keep"));
    else
        QCOMPARE(TestFiles::Read(path("movie.QQQ")), QByteArray("older"));

    const auto emptyTrash = qScopeGuard([&] { Trash::Remove(path("movie.QQQ")); });
    outcome = run({"split", "--yes", "movie.avi", "100"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, (path("movie.QQQ") + "\t100\n").toUtf8());
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(100));
    QCOMPARE(TestFiles::Read(path("movie.avi")), m_original);
    // The folder waits in the trash, whole.
    if (folder)
        QCOMPARE(TestFiles::Read(Trash::Find(path("movie.QQQ")) + "/notes.txt"), "keep");
}

void TestCli::saysWhereTheDamageBegins_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");

    QTest::newRow("intact") << "intact.avi" << 1 << "No damage found in intact.avi";
    QTest::newRow("not-an-avi")
        << "pattern.avi" << 1
        << "pattern.avi is not a file Saltwick can read: AVI, Matroska and MP4 can be checked";
    QTest::newRow("missing") << "gone.avi" << 53 << "53: File not found: DIR/gone.avi";
    QTest::newRow("damaged") << "damaged.avi" << 0 << QString();
}

void TestCli::saysWhereTheDamageBegins()
{
    QFETCH(QString, file);
    QFETCH(int, status);
    QFETCH(QString, says);

    if (!writeMovies("intact.avi", "damaged.avi"))
        QSKIP("ffmpeg cannot make a test movie here");
    QVERIFY(TestFiles::Write(path("pattern.avi"), m_original));
    const Outcome outcome = run({"scan", file});
    QCOMPARE(outcome.status, status);
    if (status == 0) {
        // The damage begins in the stretch the web page took, or at the chunk it broke.
        const QRegularExpression line("^Damage found at offset: (\\d+) \\(([0-9A-F]+)h\\)\n$");
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(outcome.out));
        QVERIFY2(match.hasMatch(), outcome.out.constData());
        const qint64 offset = match.captured(1).toLongLong();
        QCOMPARE(match.captured(2).toLongLong(nullptr, 16), offset);
        QVERIFY2(offset > 900000 && offset <= 1000000, outcome.out.constData());
        QCOMPARE(outcome.err, QByteArray());
    } else {
        QCOMPARE(outcome.out, QByteArray());
        says.replace(QStringLiteral("DIR"), m_dir->path());
        QCOMPARE(outcome.err, ("saltwick-cli: " + says + u'\n').toUtf8());
    }
}

void TestCli::repairsADownloadInATerminal()
{
    if (!writeMovies("original.avi", "movie.avi"))
        QSKIP("ffmpeg cannot make a test movie here");
    const Outcome scan = run({"scan", "movie.avi"});
    QCOMPARE(scan.status, 0);
    const Outcome split = run({"split", "movie.avi", QString::fromUtf8(scan.out.trimmed())});
    QCOMPARE(split.status, 0);
    QVERIFY(split.out.startsWith((path("movie.QQQ") + u'\t').toUtf8()));

    // The file is fetched again by another tool.
    QVERIFY(QFile::remove(path("movie.avi")));
    QVERIFY(QFile::copy(path("original.avi"), path("movie.avi")));
    const Outcome list = run({"list"});
    QCOMPARE(list.out, QByteArray("movie.QQQ\n"));
    const Outcome merge = run({"merge", QString::fromUtf8(list.out.trimmed())});
    QCOMPARE(merge.status, 0);
    QCOMPARE(merge.out, (path("movie-.avi") + u'\n').toUtf8());
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_movie);
}

void TestCli::repairsAnMp4InATerminal()
{
    if (!writeMovies("original.mp4", "clip.mp4"))
        QSKIP("ffmpeg cannot make a test MP4 here");
    const Outcome scan = run({"scan", "clip.mp4"});
    QCOMPARE(scan.status, 0);
    const Outcome split = run({"split", "clip.mp4", QString::fromUtf8(scan.out.trimmed())});
    QCOMPARE(split.status, 0);
    QVERIFY(split.out.startsWith((path("clip.QQQ") + u'\t').toUtf8()));

    const Outcome merge = run({"merge", "--with", "original.mp4", "clip.QQQ"});
    QCOMPARE(merge.status, 0);
    QCOMPARE(merge.out, (path("clip-.mp4") + u'\n').toUtf8());
    QCOMPARE(TestFiles::Read(path("clip-.mp4")), m_movie);
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
    QCOMPARE(outcome.err, QByteArray());

    // A good part whose name is not valid text is named on standard error, never listed.
    for (const QByteArray &name : {QByteArray("sub/m\xff.QQQ"), QByteArray("sub/m\xff.avi")}) {
        const QByteArray where = QFile::encodeName(m_dir->path()) + '/' + name;
        const int file = ::open(where.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(file >= 0);
        ::close(file);
    }
    outcome = run({"list", "sub"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QByteArray("sub/c.QQQ\n"));
    QVERIFY2(outcome.err.contains("cannot be handled"), outcome.err.constData());
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

void TestCli::mergesWithANewFileOfAnyName()
{
    QVERIFY(QDir(m_dir->path()).mkdir("fetched"));
    QVERIFY(TestFiles::Write(path("clip.QQQ"), m_original.left(4000000)));
    QVERIFY(TestFiles::Write(path("fetched/refetched.mp4"), m_original));
    // A file of the good part's own companion name is not what --with names.
    QVERIFY(TestFiles::Write(path("clip.avi"), m_original.left(4000001)));

    const Outcome outcome = run({"merge", "--with", "fetched/refetched.mp4", "clip.QQQ"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, (path("clip-.mp4") + u'\n').toUtf8());
    QCOMPARE(TestFiles::Read(path("clip-.mp4")), m_original);
    QCOMPARE(TestFiles::Read(path("fetched/refetched.mp4")), m_original);

    QCOMPARE(run({"merge", "--with", "x.mp4", "a.QQQ", "b.QQQ"}).status, 2);
    QCOMPARE(run({"split", "--with", "x.mp4", "a.avi", "100"}).status, 2);
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
    QTest::newRow("no-file-to-split")
        << QStringList{"split", "nosuch.avi", "100"} << 53 << "nosuch.avi";
    QTest::newRow("no-file-to-scan") << QStringList{"scan", "nosuch.avi"} << 53 << "nosuch.avi";
    // Refused before any server is asked.
    QTest::newRow("no-file-to-repair")
        << QStringList{"repair", "nosuch.avi", "http://127.0.0.1:9/nosuch.avi"} << 53
        << "nosuch.avi";
    QTest::newRow("no-good-part-to-fetch")
        << QStringList{"fetch", "nosuch.QQQ", "http://127.0.0.1:9/nosuch.avi"} << 53
        << "nosuch.QQQ";
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

void TestCli::failsWhenTheResultCannotBeWritten_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("redirection");

    const QStringList split{"split", "movie.avi", "1000"};
    QTest::newRow("list-to-a-full-disk") << QStringList{"list"} << ">/dev/full";
    QTest::newRow("split-to-a-full-disk") << split << ">/dev/full";
    QTest::newRow("split-to-a-closed-output") << split << ">&-";
    // Eight bytes, which a stray descriptor 1 of the event loop's would take as its own.
    QTest::newRow("list-to-a-closed-output") << QStringList{"list"} << ">&-";
    QTest::newRow("merge-to-a-closed-output") << QStringList{"merge", "abc.QQQ"} << ">&-";
    QTest::newRow("version-to-a-full-disk") << QStringList{"--version"} << ">/dev/full";
}

// A script that reads the result would take a missing line for none.
void TestCli::failsWhenTheResultCannotBeWritten()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, redirection);

    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    QVERIFY(TestFiles::Write(path("abc.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("abc.avi"), m_original.left(20)));
    const Outcome outcome = runRedirected(arguments, redirection);
    QCOMPARE(outcome.status, 57);
    QVERIFY2(outcome.err.startsWith("saltwick-cli: 57: Standard output cannot be written"),
             outcome.err.constData());
    // The work is done all the same, and no result went into the files it opened.
    if (arguments.first() == "split")
        QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(1000));
    if (arguments.first() == "merge")
        QCOMPARE(TestFiles::Read(path("abc-.avi")), m_original.left(20));
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

void TestCli::stopsAtCtrlCAndLeavesNothingHalfDone()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(10)));
    // A tail long enough to be stopped. Every byte is written: a tail of holes would be a
    // download still going on.
    {
        QFile companion(path("movie.avi"));
        QVERIFY(companion.open(QIODevice::WriteOnly));
        for (int i = 0; i < 200; ++i) {
            if (companion.write(m_original) != m_original.size())
                QSKIP("too little free space for a 1 GB tail");
        }
    }
    const QString command = QStringLiteral("'%1' merge movie.QQQ > out.txt").arg(SALTWICK_CLI);
    QProcess terminal;
    terminal.setWorkingDirectory(m_dir->path());
    terminal.start("script", {"-qec", command, "/dev/null"});
    if (!terminal.waitForStarted())
        QSKIP("script(1) is not installed");
    // Once the bar shows, the copy runs: Ctrl-C at the terminal.
    QByteArray shown;
    while (!shown.contains('#') && terminal.state() == QProcess::Running) {
        terminal.waitForReadyRead(1000);
        shown += terminal.readAllStandardOutput();
    }
    if (shown.contains("61: "))
        QSKIP("too little free space for the 1 GB tail");
    terminal.write("\x03");
    QVERIFY(terminal.waitForFinished(120000));
    shown += terminal.readAllStandardOutput();

    QCOMPARE(terminal.exitCode(), 130);
    QVERIFY2(shown.contains("Interrupted"), shown.constData());
    QCOMPARE(TestFiles::Read(path("out.txt")), QByteArray());
    // The good part is given back as it was.
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(10));
    QVERIFY(!QFile::exists(path("movie-.avi")));
}

void TestCli::givesACutShortMergeBackFirst_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("list") << QStringList{"list"};
    QTest::newRow("list-folder") << QStringList{"list", "."};
    QTest::newRow("merge") << QStringList{"merge", "movie.QQQ"};
    QTest::newRow("scan-beside") << QStringList{"scan", "other.avi"};
    QTest::newRow("split-beside") << QStringList{"split", "other.avi", "10"};
}

void TestCli::givesACutShortMergeBackFirst()
{
    QFETCH(QStringList, arguments);
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(1000000)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    QVERIFY(TestFiles::Write(path("other.avi"), m_original.left(100)));
    // A merge killed at its first piece.
    const pid_t child = ::fork();
    if (child == 0) {
        QByteArray chunkBuffer;
        MergeBack merge(path("movie.QQQ"));
        (void)merge.run(chunkBuffer, {{}, [](qint64, qint64) { ::raise(SIGKILL); }});
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    QVERIFY(QFileInfo(path("movie.QQQ")).size() > 1000000);

    const Outcome outcome = run(arguments);
    QVERIFY2(outcome.err.contains("movie.QQQ was cut short; the good part was given back"),
             outcome.err.constData());
    if (arguments.first() == QStringLiteral("merge")) {
        QCOMPARE(outcome.status, 0);
        QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
    } else {
        QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(1000000));
    }
    // Said once: the next command has nothing to give back.
    QCOMPARE(run({"list"}).err, QByteArray());
}

void TestCli::refusesAFileNotFetchedAgain()
{
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    QCOMPARE(run({"split", "movie.avi", "3000000"}).status, 0);
    QCOMPARE(run({"list"}).out, QByteArray());
    Outcome outcome = run({"merge", "movie.QQQ"});
    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.err, QByteArray("saltwick-cli: movie.avi has not been fetched again yet: it "
                                     "is still the damaged file the good part was split from.\n"));
    QVERIFY(!QFile::exists(path("movie-.avi")));

    // The file is fetched again.
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original));
    QCOMPARE(run({"list"}).out, QByteArray("movie.QQQ\n"));
    outcome = run({"merge", "movie.QQQ"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(TestFiles::Read(path("movie-.avi")), m_original);
}

void TestCli::refusesAFileDamagedTooUnlessForced()
{
    if (!writeMovies("intact.avi", "movie.avi"))
        QSKIP("ffmpeg cannot make a test movie here");
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_movie.left(850000)));
    Outcome outcome = run({"merge", "movie.QQQ"});
    QCOMPARE(outcome.status, 1);
    const QRegularExpressionMatch said
        = QRegularExpression("^saltwick-cli: The new movie.avi is damaged too, at byte (\\d+)\\. "
                             "Give --force to merge it anyway.\n$")
              .match(QString::fromUtf8(outcome.err));
    QVERIFY2(said.hasMatch(), outcome.err.constData());
    // The same byte, counted from 1, that scan names counted from 0.
    const Outcome scan = run({"scan", "movie.avi"});
    QVERIFY2(scan.out.startsWith("Damage found at offset: "
                                 + QByteArray::number(said.captured(1).toLongLong() - 1) + ' '),
             scan.out.constData());
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_movie.left(850000));

    outcome = run({"merge", "--force", "movie.QQQ"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(TestFiles::Read(path("movie-.avi")),
             m_movie.left(850000) + TestFiles::Read(path("movie.avi")).mid(850000));
}

void TestCli::keepsWhatNoTrashCanTake_data()
{
    QTest::addColumn<bool>("folder"); // else an older good part
    QTest::newRow("folder") << true;
    QTest::newRow("older-good-part") << false;
}

void TestCli::keepsWhatNoTrashCanTake()
{
    QFETCH(bool, folder);
    // The desktop trash is on another file system, and the one at the top of this is blocked.
    LoopMount mount(m_dir->path(), "ext4", 64 * 1024 * 1024);
    if (!mount.isMounted())
        QSKIP(qPrintable(mount.whyNot()));
    QVERIFY(TestFiles::Write(mount.filePath(".Trash-" + QString::number(::getuid())), "blocked"));
    const QString source = mount.filePath("movie.avi");
    const QString goodPart = mount.filePath("movie.QQQ");
    QVERIFY(TestFiles::Write(source, m_original));
    if (folder) {
        QVERIFY(QDir().mkdir(goodPart));
        QVERIFY(TestFiles::Write(goodPart + "/notes.txt", "notes"));
    } else {
        QVERIFY(TestFiles::Write(goodPart, "older"));
    }

    // Yes to a folder changes nothing where no trash takes it; an older good part waits for it.
    const QStringList yes = folder ? QStringList{"--yes"} : QStringList();
    Outcome outcome = run(QStringList{"split"} + yes + QStringList{source, "100"});
    QCOMPARE(outcome.status, 75);
    QVERIFY2(outcome.err.startsWith("saltwick-cli: 75: No trash is available for "),
             outcome.err.constData());
    if (folder) {
        QCOMPARE(TestFiles::Read(goodPart + "/notes.txt"), QByteArray("notes"));
        return;
    }
    QVERIFY2(outcome.err.endsWith("Give --yes to replace it.\n"), outcome.err.constData());
    QCOMPARE(TestFiles::Read(goodPart), QByteArray("older"));
    outcome = run({"split", "--yes", source, "100"});
    QCOMPARE(outcome.status, 0);
    QCOMPARE(TestFiles::Read(goodPart), m_original.left(100));
}

namespace {

// Removes a folder deeper than a path may name, one folder at a time.
void removeDeep(int parent, const char *name)
{
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (DIR *entries = folder >= 0 ? ::fdopendir(::dup(folder)) : nullptr) {
        while (const dirent *entry = ::readdir(entries)) {
            if (entry->d_name[0] == '.' && (!entry->d_name[1] || !strcmp(entry->d_name, "..")))
                continue;
            if (::unlinkat(folder, entry->d_name, 0) != 0)
                removeDeep(folder, entry->d_name);
        }
        ::closedir(entries);
    }
    if (folder >= 0)
        ::close(folder);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

} // namespace

void TestCli::refusesRelativeNamesWithoutACurrentFolder_data()
{
    QTest::addColumn<bool>("deep"); // else removed
    QTest::newRow("removed") << false;
    QTest::newRow("deeper-than-a-path") << true;
}

void TestCli::refusesRelativeNamesWithoutACurrentFolder()
{
    QFETCH(bool, deep);
    // Never /movie.avi: the shell goes there one folder at a time, as a user would.
    const QString level(200, u'd');
    const QString into = deep ? QStringLiteral("for i in $(seq 25); do mkdir %1 && cd %1; done; "
                                               "echo film > movie.avi")
                                    .arg(level)
                              : QStringLiteral("mkdir gone && cd gone && rmdir ../gone");
    QProcess shell;
    shell.setWorkingDirectory(m_dir->path());
    shell.start("bash",
                {"-c", into + QStringLiteral(" && exec '%1' split movie.avi 1").arg(SALTWICK_CLI)});
    QVERIFY(shell.waitForFinished(60000));
    const QByteArray said = shell.readAllStandardError();
    if (deep)
        removeDeep(AT_FDCWD, QFile::encodeName(path(level)).constData());
    QCOMPARE(shell.exitCode(), 76);
    QVERIFY2(said.contains("movie.avi cannot be found: the current folder was removed, or its path "
                           "is too long"),
             said.constData());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"data"});
}

void TestCli::exitsWith128AndTheSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("status");

    QTest::newRow("hangup") << int(SIGHUP) << 129;
    QTest::newRow("interrupt") << int(SIGINT) << 130;
    QTest::newRow("terminate") << int(SIGTERM) << 143;
}

void TestCli::exitsWith128AndTheSignal()
{
    QFETCH(int, signal);
    QFETCH(int, status);

    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_original.left(10)));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_original.left(10)));
    // A tail of holes: long enough to be stopped, and no disk space used until it is copied.
    QVERIFY(QFile::resize(path("movie.avi"), qint64(4) << 30));
    QProcess tool;
    tool.setWorkingDirectory(m_dir->path());
    tool.start(QStringLiteral(SALTWICK_CLI), {"merge", "movie.QQQ"});
    QVERIFY(tool.waitForStarted());
    // Once the good part grows, the copy runs.
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo(path("movie.QQQ")).size() > 10 || tool.state() != QProcess::Running, 60000);
    if (tool.state() != QProcess::Running)
        QSKIP("the copy ended before it could be stopped (too little free space?)");
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(120000));

    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), status);
    QVERIFY(tool.readAllStandardError().contains("Interrupted"));
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_original.left(10));
    QVERIFY(!QFile::exists(path("movie-.avi")));
}

void TestCli::completesInBash_data()
{
    QTest::addColumn<QStringList>("words"); // the last one is being completed
    QTest::addColumn<QStringList>("offered");

    QTest::newRow("command") << QStringList{"sp"} << QStringList{"split"};
    QTest::newRow("tool-options") << QStringList{"--"} << QStringList{"--help", "--version"};
    QTest::newRow("merge-option") << QStringList{"merge", "--f"} << QStringList{"--force"};
    QTest::newRow("file-to-split")
        << QStringList{"split", "mo"} << QStringList{"movie.QQQ", "movie.avi"};
    QTest::newRow("no-file-for-the-size") << QStringList{"split", "movie.avi", ""} << QStringList();
    QTest::newRow("good-parts-and-folders")
        << QStringList{"merge", ""} << QStringList{"data", "folder", "movie.QQQ"};
    QTest::newRow("folders") << QStringList{"list", ""} << QStringList{"data", "folder"};
    QTest::newRow("command-help") << QStringList{"help", "m"} << QStringList{"merge"};
    QTest::newRow("good-part-to-fetch")
        << QStringList{"fetch", ""} << QStringList{"data", "folder", "movie.QQQ"};
    QTest::newRow("new-file-of-merge-with")
        << QStringList{"merge", "--with", "mo"} << QStringList{"movie.QQQ", "movie.avi"};
    QTest::newRow("good-part-after-with")
        << QStringList{"merge", "--with", "movie.avi", "m"} << QStringList{"movie.QQQ"};
    QTest::newRow("no-file-for-a-size") << QStringList{"repair", "--at", ""} << QStringList();
}

void TestCli::completesInBash()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);

    QVERIFY(TestFiles::Write(path("movie.QQQ"), "x"));
    QVERIFY(TestFiles::Write(path("movie.avi"), "x"));
    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    QStringList quoted;
    for (const QString &word : QStringList{"saltwick-cli"} + words)
        quoted << u'\'' + word + u'\'';
    const QString script = QStringLiteral("source '%1' && COMP_WORDS=(%2) && COMP_CWORD=%3 && "
                                          "_saltwick_cli && printf '%s\\n' \"${COMPREPLY[@]}\"")
                               .arg(QStringLiteral(SALTWICK_COMPLETION), quoted.join(u' '),
                                    QString::number(words.size()));
    QProcess bash;
    bash.setWorkingDirectory(m_dir->path());
    bash.start("bash", {"-c", script});
    QVERIFY(bash.waitForFinished(30000));
    QCOMPARE(bash.exitCode(), 0);
    QStringList shown = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n');
    shown.removeAll(QString());
    shown.sort();
    QCOMPARE(shown, offered);
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
