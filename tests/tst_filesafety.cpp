#include "FileProbe.h"
#include "GoodPartSplit.h"
#include "MergeBack.h"
#include "Outcome.h"
#include "TerminationSignals.h"
#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"

#include <QFile>
#include <QUrl>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

// What Saltwick promises about the files it touches: links, races, odd names, leftovers.
class TestFileSafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void mergeNeverWritesThroughALink_data();
    void mergeNeverWritesThroughALink();
    void splitRefusesWhatItMustNotReplace_data();
    void splitRefusesWhatItMustNotReplace();
    void splitNeverCutsDownItsSource();
    void secondWindowIsRefusedWhileACopyRuns_data();
    void secondWindowIsRefusedWhileACopyRuns();
    void mergeStopsWhenItsFilesChangeMeanwhile_data();
    void mergeStopsWhenItsFilesChangeMeanwhile();
    void mergeRefusesBeforeWritingInAFolderItCannotWrite();
    void refusesWhenTheDiskIsFull();
    void fallbackCopyRefusesAShortRead();
    void namesThatDoNotDecodeAreRefused_data();
    void namesThatDoNotDecodeAreRefused();
    void startUpSkipsNamesThatDoNotDecode();
    void namesAtTheFileSystemsLimits();
    void killedSplitLeavesNothingOnceStartedAgain();
    void terminationSignalStopsACopyAndCleansUp();
    void shortCompanionIsToldBeforeAnExistingFixedFile();
    void dropFromAnotherHostIsIgnored();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QStringList entries() const
    {
        return QDir(m_dir->path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }
    // Entries of the test's folder, counted by their bytes.
    int rawEntries() const;
    // Makes movie.QQQ, and movie.avi longer by more than a piece.
    void writeMergeFiles();
    // Starts the window in the test's folder and selects the good part.
    static void selectGoodPart(TestWindow &window);

    QByteArray m_good;
    QByteArray m_companion;
    std::unique_ptr<TestFolder> m_dir;
    std::unique_ptr<CurrentFolder> m_here;
};

namespace {

const qint64 GoodLength = 1000000;
const qint64 CompanionLength = 8000000;

QByteArray raw(const QString &path)
{
    return QFile::encodeName(path);
}

// Creates a file under exact bytes, which need not be valid text.
bool writeRawName(const QByteArray &path, const QByteArray &bytes)
{
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (descriptor < 0)
        return false;
    const bool written = ::write(descriptor, bytes.constData(), bytes.size()) == bytes.size();
    return ::close(descriptor) == 0 && written;
}

// Runs `work` in a child process as the unprivileged user nobody, so that permissions hold
// even when the tests run as root; returns its exit status, or -1.
int runAsNobody(const std::function<int()> &work)
{
    if (::geteuid() != 0)
        return work();
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
            ::_exit(100);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

qint64 NoFreeSpace(const QString &)
{
    return 10;
}

} // namespace

void TestFileSafety::initTestCase()
{
    std::signal(SIGXFSZ, SIG_IGN);
    m_companion = TestFiles::Pattern(CompanionLength, 22);
    // The good part matches the file fetched again at the join, as a real one does.
    m_good = m_companion.left(GoodLength);
}

void TestFileSafety::init()
{
    m_here.reset();
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    // Others may enter the folder, as the unprivileged user of some tests must.
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner
                                                     | QFile::ExeOwner | QFile::ReadOther
                                                     | QFile::ExeOther));
    m_here = std::make_unique<CurrentFolder>(m_dir->path());
}

int TestFileSafety::rawEntries() const
{
    DIR *folder = ::opendir(raw(m_dir->path()).constData());
    int count = 0;
    while (const dirent *entry = folder ? ::readdir(folder) : nullptr)
        count += entry->d_name[0] != '.';
    if (folder)
        ::closedir(folder);
    return count;
}

void TestFileSafety::cleanup()
{
    // Qt cannot name entries that are not valid text, so it cannot clear them away.
    const QByteArray folder = raw(m_dir->path()) + '/';
    DIR *entries = ::opendir(folder.constData());
    QList<QByteArray> undecodable;
    while (const dirent *entry = entries ? ::readdir(entries) : nullptr) {
        if (raw(QFile::decodeName(entry->d_name)) != entry->d_name)
            undecodable << folder + entry->d_name;
    }
    if (entries)
        ::closedir(entries);
    for (const QByteArray &path : undecodable)
        ::unlink(path.constData());
}

void TestFileSafety::writeMergeFiles()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion));
}

void TestFileSafety::selectGoodPart(TestWindow &window)
{
    window.form.Form_Load(QString());
    auto *list = window.get<QListWidget>("List1");
    QCOMPARE(list->count(), 1);
    list->item(0)->setSelected(true);
}

void TestFileSafety::mergeNeverWritesThroughALink_data()
{
    QTest::addColumn<bool>("symbolic");
    QTest::newRow("symbolic-link") << true;
    QTest::newRow("second-hard-link") << false;
}

void TestFileSafety::mergeNeverWritesThroughALink()
{
    QFETCH(bool, symbolic);
    TestFolder elsewhere;
    const QString other = elsewhere.filePath("precious.bin");
    QVERIFY(TestFiles::Write(other, m_good));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion));
    if (symbolic)
        QVERIFY(QFile::link(other, path("movie.QQQ")));
    else
        QCOMPARE(::link(raw(other).constData(), raw(path("movie.QQQ")).constData()), 0);

    TestWindow window;
    window.form.Form_Load(QString());
    window.get<QListWidget>("List1")->item(0)->setSelected(true);
    window.click("cmdMerge");

    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY2(window.prompts.messages.first().startsWith("75: "),
             qPrintable(window.prompts.messages.first()));
    QCOMPARE(TestFiles::Read(other), m_good);
    QCOMPARE(TestFiles::Read(path("movie.avi")), m_companion);
    QVERIFY(!QFile::exists(path("movie-.avi")));
}

void TestFileSafety::splitRefusesWhatItMustNotReplace_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("pipe") << "pipe";
    QTest::newRow("link-elsewhere") << "link";
}

void TestFileSafety::splitRefusesWhatItMustNotReplace()
{
    QFETCH(QString, obstacle);
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion));
    TestFolder elsewhere;
    const QString other = elsewhere.filePath("other.bin");
    QVERIFY(TestFiles::Write(other, m_good));
    if (obstacle == "pipe")
        QCOMPARE(::mkfifo(raw(path("movie.QQQ")).constData(), 0644), 0);
    else
        QVERIFY(QFile::link(other, path("movie.QQQ")));

    TestWindow window;
    window.form.Form_Load(path("movie.avi"));
    window.setSizeBox("1000");
    window.click("cmdSplit");

    // Nothing to agree to: the question is never asked, and nothing is replaced.
    QCOMPARE(window.prompts.questions, QStringList());
    QCOMPARE(window.prompts.messages.size(), 1);
    QVERIFY(window.prompts.messages.first().startsWith("75: "));
    QVERIFY(window.status() != "Done");
    const QFileInfo standing(path("movie.QQQ"));
    QVERIFY(obstacle == "pipe" ? !standing.isFile() : standing.isSymLink());
    QCOMPARE(TestFiles::Read(other), m_good);
    QCOMPARE(entries(), QStringList({"movie.QQQ", "movie.avi"}));
}

void TestFileSafety::splitNeverCutsDownItsSource()
{
    // A source already named like its good part, and one reached through a link to it.
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_companion));
    QVERIFY(QFile::link(path("movie.QQQ"), path("movie.avi")));
    for (const QString &source : {path("movie.QQQ"), path("movie.avi")}) {
        QByteArray chunkBuffer;
        GoodPartSplit split(source, 1000);
        QCOMPARE(ReasonOf(split.run(chunkBuffer, {})), std::optional(Reason::SourceIsGoodPart));
        QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_companion);
    }
}

void TestFileSafety::secondWindowIsRefusedWhileACopyRuns_data()
{
    QTest::addColumn<bool>("mergeFirst");
    QTest::newRow("split-during-merge") << true;
    QTest::newRow("merge-during-split") << false;
}

void TestFileSafety::secondWindowIsRefusedWhileACopyRuns()
{
    QFETCH(bool, mergeFirst);
    writeMergeFiles();
    TestWindow first;
    selectGoodPart(first);
    TestWindow second;
    second.form.Form_Load(QString());

    bool secondRan = false;
    int yields = 0;
    // The second yield falls inside the copy in both directions.
    QObject::connect(&first.form, &Form1::copyYielded, [&] {
        if (++yields != 2)
            return;
        secondRan = true;
        if (mergeFirst) {
            second.form.Form_Load(path("movie.avi"));
            second.setSizeBox("1000");
            second.click("cmdSplit");
        } else {
            second.get<QListWidget>("List1")->item(0)->setSelected(true);
            second.click("cmdMerge");
        }
    });
    if (mergeFirst) {
        first.click("cmdMerge");
    } else {
        first.form.Form_Load(path("movie.avi"));
        first.setSizeBox("7000000");
        first.click("cmdSplit");
    }

    QVERIFY(secondRan);
    QCOMPARE(second.prompts.messages.size(), 1);
    QVERIFY2(second.prompts.messages.first().contains("in use by another Saltwick"),
             qPrintable(second.prompts.messages.first()));
    QCOMPARE(first.prompts.messages, QStringList());
    if (mergeFirst) {
        QCOMPARE(TestFiles::Read(path("movie-.avi")), m_good + m_companion.mid(GoodLength));
        QVERIFY(!QFile::exists(path("movie.QQQ")));
    } else {
        QCOMPARE(first.status(), QStringLiteral("Done"));
        QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_companion.left(7000000));
        QVERIFY(!QFile::exists(path("movie-.avi")));
    }
    QCOMPARE(TestFiles::Read(path("movie.avi")), m_companion);
}

void TestFileSafety::mergeStopsWhenItsFilesChangeMeanwhile_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reported");
    QTest::newRow("fixed-file-appears") << "fixed"
                                        << "75: ";
    QTest::newRow("good-part-replaced") << "replaced"
                                        << "75: ";
    QTest::newRow("good-part-removed") << "removed"
                                       << "53: ";
}

void TestFileSafety::mergeStopsWhenItsFilesChangeMeanwhile()
{
    QFETCH(QString, change);
    QFETCH(QString, reported);
    writeMergeFiles();
    TestWindow window;
    selectGoodPart(window);
    const QByteArray intruder = TestFiles::Pattern(500, 23);
    QFile goodPart(path("movie.QQQ"));
    QVERIFY(goodPart.open(QIODevice::ReadOnly));
    int yields = 0;
    // The first yield comes before the merge starts, the second inside its copy.
    QObject::connect(&window.form, &Form1::copyYielded, [&] {
        if (++yields != 2)
            return;
        if (change == "fixed") {
            TestFiles::Write(path("movie-.avi"), intruder);
        } else if (change == "replaced") {
            QFile::rename(path("movie.QQQ"), path("moved.bin"));
            TestFiles::Write(path("movie.QQQ"), intruder);
        } else {
            QFile::remove(path("movie.QQQ"));
        }
    });
    window.click("cmdMerge");

    QCOMPARE(window.prompts.messages.size(), 1);
    const QString message = window.prompts.messages.first();
    QVERIFY2(message.startsWith(reported), qPrintable(message));
    // The message names the file that caused it.
    QVERIFY2(message.contains(change == "fixed" ? "movie-.avi" : "movie.QQQ"), qPrintable(message));
    QVERIFY(window.status() != "Done" && !window.status().startsWith("Merge complete"));
    // The good part, wherever it went, is back at its old length.
    QCOMPARE(goodPart.size(), GoodLength);
    QCOMPARE(goodPart.readAll(), m_good);
    if (change == "fixed")
        QCOMPARE(TestFiles::Read(path("movie-.avi")), intruder);
    else
        QVERIFY(!QFile::exists(path("movie-.avi")));
    if (change == "replaced")
        QCOMPARE(TestFiles::Read(path("movie.QQQ")), intruder);
}

void TestFileSafety::mergeRefusesBeforeWritingInAFolderItCannotWrite()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion));
    const QByteArray goodPart = raw(path("movie.QQQ"));
    if (::geteuid() == 0)
        QCOMPARE(::chown(goodPart.constData(), ::getpwnam("nobody")->pw_uid, -1), 0);
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
    const QString goodPartPath = path("movie.QQQ");
    const int code = runAsNobody([goodPartPath] {
        QByteArray chunkBuffer;
        MergeBack merge(goodPartPath);
        const Expected<void> status = merge.run(chunkBuffer, {});
        return status ? 0 : int(status.failure().code());
    });
    QVERIFY(QFile::setPermissions(m_dir->path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (code == -1)
        QSKIP("no unprivileged user to run as");
    QCOMPARE(code, int(RepairFailure::PermissionDenied));
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_good);
}

void TestFileSafety::refusesWhenTheDiskIsFull()
{
    writeMergeFiles();
    TestWindow window;
    selectGoodPart(window);
    const FileProbe::FreeBytesSource previous = FileProbe::SetFreeBytesSource(NoFreeSpace);
    window.click("cmdMerge");
    window.form.Form_Load(path("movie.avi"));
    window.setSizeBox("5000000");
    window.click("cmdSplit");
    FileProbe::SetFreeBytesSource(previous);

    QCOMPARE(window.prompts.messages.size(), 2);
    QVERIFY(window.prompts.messages.at(0).startsWith("61: "));
    QVERIFY(window.prompts.messages.at(1).startsWith("61: "));
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_good);
    QCOMPARE(entries(), QStringList({"movie.QQQ", "movie.avi"}));
}

void TestFileSafety::fallbackCopyRefusesAShortRead()
{
    // Between two file systems the pieces go through memory; a source that shrinks under
    // the copy must fail it, not fill the good part with whatever the buffer held.
    TestFolder elsewhere(QStringLiteral("/dev/shm/saltwick-XXXXXX"));
    if (!elsewhere.isValid())
        QSKIP("no second file system at /dev/shm");
    const QString far = elsewhere.filePath("movie.avi");
    QVERIFY(TestFiles::Write(far, m_companion));
    struct stat here = {};
    struct stat there = {};
    QCOMPARE(::stat(raw(m_dir->path()).constData(), &here), 0);
    QCOMPARE(::stat(raw(far).constData(), &there), 0);
    if (here.st_dev == there.st_dev)
        QSKIP("/dev/shm is on the same file system as the test folder");
    QVERIFY(QFile::link(far, path("movie.avi")));

    QByteArray chunkBuffer;
    GoodPartSplit split(path("movie.avi"), CompanionLength);
    const CopyHooks hooks{[&far] { QFile::resize(far, 4000000); }, {}};
    const Expected<void> outcome = split.run(chunkBuffer, hooks);
    QCOMPARE(ReasonOf(outcome), std::optional(Reason::Failed));
    QVERIFY2(outcome.failure().code() == RepairFailure::DeviceIoError,
             qPrintable(outcome.failure().message()));
    QCOMPARE(entries(), QStringList({"movie.avi"}));
}

void TestFileSafety::namesThatDoNotDecodeAreRefused_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("lookAlike");
    for (const char *entry : {"command-line", "drop", "dialog"}) {
        QTest::addRow("%s-beside-a-look-alike", entry) << entry << true;
        QTest::addRow("%s-alone", entry) << entry << false;
    }
}

void TestFileSafety::namesThatDoNotDecodeAreRefused()
{
    QFETCH(QString, entry);
    QFETCH(bool, lookAlike);
    // "m\xff.avi" is not valid text; it decodes to the same text as "m\ufffd.avi".
    const QByteArray folder = raw(m_dir->path()) + '/';
    QVERIFY(writeRawName(folder + "m\xff.avi", m_good));
    if (lookAlike)
        QVERIFY(writeRawName(folder + "m\xef\xbf\xbd.avi", m_companion));
    const QString named = QFile::decodeName(folder + "m\xff.avi");

    TestWindow window;
    if (entry == "command-line") {
        window.form.Form_Load(named);
    } else if (entry == "drop") {
        QMimeData data;
        data.setUrls({QUrl::fromEncoded("file://" + folder.toPercentEncoding("/") + "m%FF.avi")});
        SendDrop(&window.form, data);
    } else {
        window.dialog.choices = {named};
        window.click("cmdBrowse");
    }

    QVERIFY2(window.status().contains("cannot be handled"), qPrintable(window.status()));
    QCOMPARE(window.fileBox(), QString());
    QCOMPARE(window.sizeBox(), QString());
    window.setSizeBox("1000");
    window.click("cmdSplit");
    QVERIFY(window.status() != "Done");
    QCOMPARE(rawEntries(), lookAlike ? 2 : 1);
}

void TestFileSafety::startUpSkipsNamesThatDoNotDecode()
{
    const QByteArray folder = raw(m_dir->path()) + '/';
    QVERIFY(writeRawName(folder + "m\xff.QQQ", m_good));
    QVERIFY(writeRawName(folder + "m\xff.avi", m_companion));
    TestWindow window;
    window.form.Form_Load(QString());
    QCOMPARE(window.listed(), QStringList());
    QVERIFY2(window.status().contains("cannot be handled"), qPrintable(window.status()));
}

void TestFileSafety::namesAtTheFileSystemsLimits()
{
    // The longest name the file system takes, in three-byte characters, and a path close
    // to the longest path: both split, and merge back while the fixed name still fits.
    const QString longest = QString(83, QChar(0x6620)) + ".avi"; // 253 bytes
    QString deep = m_dir->path();
    while (raw(deep).size() < PATH_MAX - 250)
        deep += '/' + QString(49, 'd');
    QVERIFY(QDir().mkpath(deep));
    const qsizetype nameLength = PATH_MAX - 1 - 19 - raw(deep).size() - 1 - 4;
    const QString nearLimit = deep + '/' + QString(nameLength, 'n') + ".avi";
    for (const QString &source : {path(longest), nearLimit}) {
        QVERIFY(TestFiles::Write(source, m_companion));
        TestWindow window;
        window.form.Form_Load(source);
        window.setSizeBox("1000000");
        window.click("cmdSplit");
        QCOMPARE(window.prompts.messages, QStringList());
        QCOMPARE(window.status(), QStringLiteral("Done"));
        const QString goodPart = source.left(source.size() - 3) + "QQQ";
        QCOMPARE(TestFiles::Read(goodPart), m_companion.left(1000000));

        QByteArray chunkBuffer;
        MergeBack merge(goodPart);
        QCOMPARE(ReasonOf(merge.run(chunkBuffer, {})), std::nullopt);
        QCOMPARE(TestFiles::Read(merge.fixedPath()), m_companion);
    }

    // A good part whose fixed name would be one byte too long is refused before writing.
    const QString tooLong = path(QString(255 - 4, 'x') + ".QQQ");
    QVERIFY(TestFiles::Write(tooLong, m_good));
    QVERIFY(TestFiles::Write(tooLong.left(tooLong.size() - 3) + "avi", m_companion));
    QByteArray chunkBuffer;
    MergeBack merge(tooLong);
    const Expected<void> outcome = merge.run(chunkBuffer, {});
    QCOMPARE(ReasonOf(outcome), std::optional(Reason::Failed));
    QVERIFY2(outcome.failure().message().contains("too long for the file system"),
             qPrintable(outcome.failure().message()));
    QCOMPARE(TestFiles::Read(tooLong), m_good);
}

void TestFileSafety::killedSplitLeavesNothingOnceStartedAgain()
{
    QVERIFY(TestFiles::Write(path("movie.avi"), m_companion));
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        QByteArray chunkBuffer;
        GoodPartSplit split(path("movie.avi"), CompanionLength);
        const CopyHooks hooks{[&] {
                                  const char byte = 1;
                                  [[maybe_unused]] auto written = ::write(ready[1], &byte, 1);
                                  ::pause();
                              },
                              {}};
        (void)split.run(chunkBuffer, hooks);
        ::_exit(0);
    }
    char byte = 0;
    QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    // Working files as a killed copy leaves them where the file system has no unnamed
    // files, and as older versions left them; a user's own file that merely looks alike,
    // and a working file that a running Saltwick still holds, stay.
    for (const char *name : {".saltwick-a1B2c3", ".movie.QQQ.saltwick-1f2e", ".saltwick-notes"})
        QVERIFY(TestFiles::Write(path(name), m_good));
    QVERIFY(TestFiles::Write(path(".saltwick-Held01"), m_good));
    QFile held(path(".saltwick-Held01"));
    QVERIFY(held.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);

    TestWindow again;
    again.form.Form_Load(QString());
    QCOMPARE(entries(), QStringList({".saltwick-Held01", ".saltwick-notes", "movie.avi"}));
}

void TestFileSafety::terminationSignalStopsACopyAndCleansUp()
{
    TerminationSignals termination;
    writeMergeFiles();
    TestWindow window;
    selectGoodPart(window);
    bool closed = false;
    QObject::connect(&termination, &TerminationSignals::arrived, &window.form, [&] {
        closed = true;
        window.form.close();
    });
    bool raised = false;
    QObject::connect(&window.form, &Form1::copyYielded, [&] {
        if (!raised)
            ::raise(SIGTERM);
        raised = true;
    });
    window.click("cmdMerge");
    QTRY_VERIFY(closed);

    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), m_good);
    QVERIFY(!QFile::exists(path("movie-.avi")));

    // A Split stopped the same way leaves no working file at all.
    QByteArray chunkBuffer;
    GoodPartSplit split(path("movie.avi"), CompanionLength);
    QCOMPARE(ReasonOf(split.run(chunkBuffer, {{}, {}, &TerminationSignals::received})),
             std::optional(Reason::Interrupted));
    QCOMPARE(entries(), QStringList({"movie.QQQ", "movie.avi"}));
}

void TestFileSafety::shortCompanionIsToldBeforeAnExistingFixedFile()
{
    QVERIFY(TestFiles::Write(path("movie.QQQ"), m_good));
    QVERIFY(TestFiles::Write(path("movie.avi"), m_good.left(10)));
    QVERIFY(TestFiles::Write(path("movie-.avi"), m_good.left(20)));
    TestWindow window;
    window.form.Form_Load(QString());
    window.get<QListWidget>("List1")->item(0)->setSelected(true);
    window.click("cmdMerge");
    QCOMPARE(window.prompts.messages, QStringList{"Avi shorter than QQQ"});
}

void TestFileSafety::dropFromAnotherHostIsIgnored()
{
    QVERIFY(TestFiles::Write(path("movie.avi"), m_good));
    TestWindow window;
    window.form.Form_Load(QString());
    QMimeData data;
    data.setUrls({QUrl("file://otherhost" + m_dir->path() + "/movie.avi")});
    QVERIFY(!SendDrop(&window.form, data));
    QCOMPARE(window.fileBox(), QString());
    QCOMPARE(window.status(), QStringLiteral("No file loaded."));
}

QTEST_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
