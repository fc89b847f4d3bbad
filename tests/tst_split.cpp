#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"
#include "Trash.h"

#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>

#include <sys/stat.h>

#include <csignal>

class TestSplit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void copiesTheLeadingBytes_data();
    void copiesTheLeadingBytes();
    void copiesFromAnotherFileSystem();
    void replacesAnOlderLongerGoodPart();
    void refusesASizeBeyondTheFile();
    void neverWritesOverTheSource_data();
    void neverWritesOverTheSource();
    void refusesAMissingFile_data();
    void refusesAMissingFile();
    void refusesAnIncorrectSize_data();
    void refusesAnIncorrectSize();
    void refusesAShortName();
    void asksBeforeOverwriting_data();
    void asksBeforeOverwriting();
    void reportsAFullDisk();
    void ignoresCommandsAndDefersCloseWhileCopying();

private:
    QString makeSource(const QString &name, qint64 size);
    QByteArray m_pattern;
    std::unique_ptr<TestFolder> m_dir;
    std::unique_ptr<TestFolder> m_dataHome;
};

void TestSplit::initTestCase()
{
    std::signal(SIGXFSZ, SIG_IGN);
    m_pattern = TestFiles::Pattern(10000000);
}

void TestSplit::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    // The desktop trash, where a folder in the good part's way goes, is the test's own.
    m_dataHome = std::make_unique<TestFolder>();
    QVERIFY(m_dataHome->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome->filePath("data")));
}

QString TestSplit::makeSource(const QString &name, qint64 size)
{
    const QString path = m_dir->filePath(name);
    if (!TestFiles::Write(path, m_pattern.left(size)))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestSplit::copiesTheLeadingBytes_data()
{
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<QString>("box");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("fullPieces");
    QTest::addColumn<QString>("boxAfter");

    QTest::newRow("below-one-piece")
        << qint64(10000000) << "1184567" << qint64(1184567) << 0 << "1184567";
    QTest::newRow("one-byte") << qint64(10) << "1" << qint64(1) << 0 << "1";
    QTest::newRow("exactly-one-piece")
        << qint64(10000000) << "3000000" << qint64(3000000) << 1 << "3000000";
    QTest::newRow("just-below-two")
        << qint64(10000000) << "5999998" << qint64(5999998) << 1 << "5999998";
    QTest::newRow("two-full-pieces")
        << qint64(10000000) << "5999999" << qint64(5999999) << 2 << "5999999";
    QTest::newRow("whole-file") << qint64(10000000) << "10000000" << qint64(10000000) << 3
                                << "10000000";
    QTest::newRow("pasted-error-line") << qint64(10000000) << "Error at offset: 1234567 (12D687h)"
                                       << qint64(1184567) << 0 << "1184567";
    QTest::newRow("rounded-size") << qint64(5000) << "1000.5" << qint64(1000) << 0 << "1000.5";
}

void TestSplit::copiesTheLeadingBytes()
{
    QFETCH(qint64, fileSize);
    QFETCH(QString, box);
    QFETCH(qint64, size);
    QFETCH(int, fullPieces);
    QFETCH(QString, boxAfter);

    const QString source = makeSource("movie.avi", fileSize);
    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox(box);
    QSignalSpy yields(&window.form, &Form1::copyYielded);
    window.click("cmdSplit");

    const QString goodPart = m_dir->filePath("movie.QQQ");
    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(goodPart), m_pattern.left(size));
    QCOMPARE(TestFiles::Read(source), m_pattern.left(fileSize));
    // Two hand-overs per full piece: after it is read and after it is written.
    QCOMPARE(yields.count(), 2 * fullPieces);
    QCOMPARE(window.status(), QStringLiteral("Done"));
    QCOMPARE(window.prompts.beeps, 1);
    QCOMPARE(window.sizeBox(), boxAfter);
    QCOMPARE(window.get<QLabel>("lblOut")->text(), source);
    QCOMPARE(window.form.fileLength(), fileSize);
    QCOMPARE(window.form.chunkBuffer().size(), size - 2999999 * fullPieces);
    auto *files = window.get<QListWidget>("File1");
    QVERIFY(files->isVisibleTo(&window.form));
    QVERIFY(!window.get("txt")->isVisibleTo(&window.form));
    QVERIFY(!files->findItems("movie.QQQ", Qt::MatchExactly).isEmpty());
    // Nothing but the good part is left beside the source.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestSplit::copiesFromAnotherFileSystem()
{
    // The kernel will not copy between two file systems; the pieces then go through memory.
    TestFolder elsewhere(QStringLiteral("/dev/shm/saltwick-XXXXXX"));
    if (!elsewhere.isValid())
        QSKIP("no second file system at /dev/shm");
    const QString far = elsewhere.filePath("movie.avi");
    QVERIFY(TestFiles::Write(far, m_pattern.left(7000000)));
    struct stat here = {};
    struct stat there = {};
    QCOMPARE(::stat(qPrintable(m_dir->path()), &here), 0);
    QCOMPARE(::stat(qPrintable(far), &there), 0);
    if (here.st_dev == there.st_dev)
        QSKIP("/dev/shm is on the same file system as the test folder");
    const QString source = m_dir->filePath("movie.avi");
    QVERIFY(QFile::link(far, source));

    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox("6500000");
    window.click("cmdSplit");

    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(m_dir->filePath("movie.QQQ")), m_pattern.left(6500000));
    QCOMPARE(window.status(), QStringLiteral("Done"));
}

void TestSplit::replacesAnOlderLongerGoodPart()
{
    const QString source = makeSource("movie.avi", 4000000);
    const QString goodPart = m_dir->filePath("movie.QQQ");
    QVERIFY(TestFiles::WritePattern(goodPart, 5000000, 7));

    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox("1000");
    window.click("cmdSplit");

    QCOMPARE(window.status(), QStringLiteral("Done"));
    QCOMPARE(TestFiles::Read(goodPart), m_pattern.left(1000));
}

void TestSplit::refusesASizeBeyondTheFile()
{
    const QString source = makeSource("movie.avi", 10000);
    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox("10001");
    window.click("cmdSplit");

    QCOMPARE(window.prompts.messages, QStringList{"Split size is larger than the file"});
    QCOMPARE(window.focused(), QStringLiteral("txtSize"));
    QVERIFY(window.status() != QStringLiteral("Done"));
    QVERIFY(!QFile::exists(m_dir->filePath("movie.QQQ")));
}

void TestSplit::neverWritesOverTheSource_data()
{
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<QString>("goodPartLink"); // "hard", "symbolic" or empty

    QTest::newRow("named-like-a-good-part") << "movie.QQQ"
                                            << "";
    QTest::newRow("hard-link-at-good-part") << "movie.avi"
                                            << "hard";
    QTest::newRow("symbolic-link-at-good-part") << "movie.avi"
                                                << "symbolic";
}

void TestSplit::neverWritesOverTheSource()
{
    QFETCH(QString, sourceName);
    QFETCH(QString, goodPartLink);

    const QString source = makeSource(sourceName, 5000000);
    const QString goodPart = m_dir->filePath("movie.QQQ");
    if (goodPartLink == "hard")
        QCOMPARE(::link(qPrintable(source), qPrintable(goodPart)), 0);
    else if (goodPartLink == "symbolic")
        QVERIFY(QFile::link(source, goodPart));

    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox("3500000");
    window.click("cmdSplit");

    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY(window.prompts.messages.first().contains("good part's name"));
    QCOMPARE(TestFiles::Read(source), m_pattern.left(5000000));
    QVERIFY(window.status() != QStringLiteral("Done"));
}

void TestSplit::refusesAMissingFile_data()
{
    QTest::addColumn<QString>("fileBox");
    QTest::addColumn<QString>("status");

    QTest::newRow("empty") << ""
                           << "No file to load";
    QTest::newRow("blanks") << "   "
                            << "Making a new file, please wait...";
    QTest::newRow("missing") << "nofile.avi"
                             << "Making a new file, please wait...";
    QTest::newRow("folder") << "films"
                            << "Making a new file, please wait...";
    QTest::newRow("hidden") << ".hidden.avi"
                            << "Making a new file, please wait...";
}

void TestSplit::refusesAMissingFile()
{
    QFETCH(QString, fileBox);
    QFETCH(QString, status);

    QVERIFY(QDir(m_dir->path()).mkpath("films"));
    makeSource(".hidden.avi", 1000);
    TestWindow window;
    window.get<QLineEdit>("txtFile")->setText(
        fileBox.trimmed().isEmpty() ? fileBox : m_dir->filePath(fileBox));
    window.setSizeBox("100");
    window.click("cmdSplit");

    QCOMPARE(window.prompts.messages, QStringList{"File doesn't exist"});
    QCOMPARE(window.focused(), QStringLiteral("cmdBrowse"));
    QCOMPARE(window.status(), status);
    QCOMPARE(window.get<QLabel>("lblOut")->text(), QStringLiteral("File"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{".hidden.avi"});
}

void TestSplit::refusesAnIncorrectSize_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("boxAfter");

    QTest::newRow("zero") << "0"
                          << "0";
    QTest::newRow("negative") << "-5"
                              << "-5";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("below-one") << "0.6"
                               << "0.6";
    QTest::newRow("offset-within-margin") << "at offset: 40000"
                                          << "-10000";
    QTest::newRow("offset-at-margin") << "at offset: 50000 (x)"
                                      << "0";
    QTest::newRow("unreadable-offset") << "at offset: 12D687h"
                                       << "at offset: 12D687h";
    QTest::newRow("keyword-at-the-end") << "bad offset"
                                        << "bad offset";
}

void TestSplit::refusesAnIncorrectSize()
{
    QFETCH(QString, box);
    QFETCH(QString, boxAfter);

    const QString source = makeSource("movie.avi", 100000);
    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox(box);
    window.click("cmdSplit");

    QCOMPARE(window.prompts.messages, QStringList{"Incorrect split size"});
    QCOMPARE(window.focused(), QStringLiteral("txtSize"));
    QCOMPARE(window.sizeBox(), boxAfter);
    QVERIFY(!QFile::exists(m_dir->filePath("movie.QQQ")));
}

void TestSplit::refusesAShortName()
{
    const QString source = makeSource("ab", 1000);
    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox("10");
    window.click("cmdSplit");

    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY(window.prompts.messages.first().startsWith("5: "));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ab"});
}

void TestSplit::asksBeforeOverwriting_data()
{
    QTest::addColumn<QString>("obstacle"); // "read-only", "folder" or "folder-with-folder"
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("read-only-no") << "read-only" << false << false;
    QTest::newRow("read-only-yes") << "read-only" << true << true;
    QTest::newRow("folder-no") << "folder" << false << false;
    QTest::newRow("folder-yes") << "folder" << true << true;
    QTest::newRow("folder-with-folder-yes") << "folder-with-folder" << true << true;
}

void TestSplit::asksBeforeOverwriting()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, yes);
    QFETCH(bool, replaced);

    const QString source = makeSource("movie.avi", 4000000);
    makeSource("neighbour.avi", 10);
    const QString goodPart = m_dir->filePath("movie.QQQ");
    if (obstacle == "read-only") {
        QVERIFY(TestFiles::WritePattern(goodPart, 10, 3));
        QVERIFY(QFile::setPermissions(goodPart, QFile::ReadOwner));
    } else {
        QVERIFY(QDir(m_dir->path()).mkpath("movie.QQQ"));
        QVERIFY(TestFiles::WritePattern(goodPart + "/inside.bin", 10));
        QVERIFY(TestFiles::WritePattern(goodPart + "/.hidden", 10));
        if (obstacle == "folder-with-folder")
            QVERIFY(QDir(goodPart).mkpath("deeper"));
    }

    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox("3500000");
    window.prompts.answers = {yes};
    // The trash of another file system than the home's lies outside the test's folders.
    const auto emptyTrash = qScopeGuard([&] { Trash::Remove(goodPart); });
    window.click("cmdSplit");

    QCOMPARE(window.prompts.questions,
             QStringList{"Split folder already exist. Would you like to overwrite it?"});
    if (replaced) {
        QCOMPARE(window.prompts.messages, QStringList());
        QCOMPARE(window.status(), QStringLiteral("Done"));
        QCOMPARE(TestFiles::Read(goodPart), m_pattern.left(3500000));
        // A folder is not deleted: it waits in the trash, whole.
        if (obstacle != "read-only") {
            const QString trashed = Trash::Find(goodPart);
            QVERIFY2(!trashed.isEmpty(), "not in any trash");
            QCOMPARE(TestFiles::Read(trashed + "/inside.bin"), TestFiles::Pattern(10));
            QCOMPARE(QFileInfo(trashed + "/deeper").isDir(), obstacle == "folder-with-folder");
        }
    } else {
        QVERIFY(window.status() != QStringLiteral("Done"));
        QVERIFY(QFileInfo(goodPart).isDir() || TestFiles::Read(goodPart).size() == 10);
        if (yes) {
            QCOMPARE(window.prompts.messages.size(), 1);
            QVERIFY(window.prompts.messages.first().startsWith("75: "));
            QVERIFY(QFile::exists(goodPart + "/inside.bin"));
        } else {
            QCOMPARE(window.get<QLabel>("lblOut")->text(), QStringLiteral("Output Directory"));
            QCOMPARE(window.prompts.messages, QStringList());
        }
    }
    QCOMPARE(TestFiles::Read(source), m_pattern.left(4000000));
    QCOMPARE(TestFiles::Read(m_dir->filePath("neighbour.avi")), m_pattern.left(10));
}

void TestSplit::reportsAFullDisk()
{
    const QString source = makeSource("movie.avi", 8000000);
    TestWindow window;
    window.form.Form_Load(source);
    window.setSizeBox("7000000");
    {
        FileSizeLimit limit(4000000);
        window.click("cmdSplit");
    }

    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY2(window.prompts.messages.first().startsWith("61: "),
             qPrintable(window.prompts.messages.first()));
    QVERIFY(window.status() != QStringLiteral("Done"));
    QCOMPARE(window.prompts.beeps, 0);
    QCOMPARE(TestFiles::Read(source), m_pattern.left(8000000));
    // No good part and no half-written working file are left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"movie.avi"});
}

void TestSplit::ignoresCommandsAndDefersCloseWhileCopying()
{
    const QString source = makeSource("movie.avi", 10000000);
    const QString other = makeSource("other.avi", 100);
    TestWindow window;
    window.form.show();
    window.form.Form_Load(source);
    window.setSizeBox("9000000");
    window.get<QPushButton>("cmdMerge")->setEnabled(true);

    bool closedDuringCopy = true;
    bool tried = false;
    QObject::connect(&window.form, &Form1::copyYielded, &window.form, [&] {
        if (tried)
            return;
        tried = true;
        closedDuringCopy = window.tryEveryCommandAndClose(other);
    });
    window.click("cmdSplit");

    QVERIFY(tried);
    QVERIFY(!closedDuringCopy);
    QCOMPARE(window.dialog.opened, 0);
    QCOMPARE(window.fileBox(), source);
    QCOMPARE(window.prompts.beeps, 1);
    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(m_dir->filePath("movie.QQQ")), m_pattern.left(9000000));
    // The close asked for during the copy happens once it is over.
    QVERIFY(!window.form.isVisible());
}

QTEST_MAIN(TestSplit)
#include "tst_split.moc"
