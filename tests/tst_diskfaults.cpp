#include "LoopMount.h"
#include "MergeBack.h"
#include "Outcome.h"
#include "Repair.h"
#include "TestFiles.h"
#include "TestFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

// A disk that dies in the middle of a merge. The file system is shut down as a pulled disk
// would be, its log written first, at one point of the copy after another; it is mounted
// again, and Saltwick starts again on it.
class TestDiskFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void goodPartSurvivesADyingDisk_data();
    void goodPartSurvivesADyingDisk();

private:
    QByteArray m_companion;
    QByteArray m_good;
};

namespace {

const qint64 GoodLength = 4000000;
// A tail of 22 full pieces and a short last one: the copy reports progress 23 times.
const qint64 TailLength = 66000000;

// Merges in a child process that shuts the file system down at the `point`-th report of
// progress (the last comes once every byte is copied, before the rename). True when the
// shutdown happened.
bool mergeCutAt(const LoopMount &mount, int point)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int reports = 0;
        bool down = false;
        QByteArray chunkBuffer;
        MergeBack merge(mount.filePath(QStringLiteral("movie.QQQ")));
        const CopyHooks hooks{{}, [&](qint64, qint64) {
                                  if (++reports == point)
                                      down = mount.shutDown();
                              }};
        (void)merge.run(chunkBuffer, hooks);
        ::_exit(down ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Written long before the disk died: on it, not only in the cache.
bool writeToDisk(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
}

} // namespace

void TestDiskFaults::initTestCase()
{
    m_companion = TestFiles::Pattern(GoodLength + TailLength, 41);
    m_good = m_companion.left(GoodLength);
}

void TestDiskFaults::goodPartSurvivesADyingDisk_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<qint64>("imageBytes");
    QTest::newRow("ext4") << "ext4" << qint64(256) * 1024 * 1024;
    // XFS takes no smaller file system.
    QTest::newRow("xfs") << "xfs" << qint64(320) * 1024 * 1024;
}

void TestDiskFaults::goodPartSurvivesADyingDisk()
{
    QFETCH(QString, type);
    QFETCH(qint64, imageBytes);
    TestFolder work;
    QVERIFY(work.isValid());
    LoopMount mount(work.path(), type, imageBytes);
    if (!mount.isMounted())
        QSKIP(qPrintable(mount.whyNot()));
    const QString goodPart = mount.filePath(QStringLiteral("movie.QQQ"));
    const QString companion = mount.filePath(QStringLiteral("movie.avi"));
    const QString fixed = mount.filePath(QStringLiteral("movie-.avi"));
    QVERIFY(writeToDisk(companion, m_companion));

    int longerAfterTheCrash = 0;
    const int points = 23;
    for (int point = 1; point <= points; ++point) {
        QVERIFY(writeToDisk(goodPart, m_good));
        QVERIFY2(mergeCutAt(mount, point),
                 qPrintable(QStringLiteral("no shutdown at %1").arg(point)));
        QVERIFY2(mount.remount(), qPrintable(mount.whyNot()));
        longerAfterTheCrash += QFileInfo(goodPart).size() > GoodLength;

        // The next start, before anything else.
        const QStringList told = Repair::giveBackCutShortMerges(mount.mountPoint() + u'/');
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains(goodPart), qPrintable(told.first()));
        QVERIFY2(TestFiles::Read(goodPart) == m_good,
                 qPrintable(QStringLiteral("good part changed, cut at %1").arg(point)));
        QVERIFY(!QFile::exists(fixed));

        QByteArray chunkBuffer;
        MergeBack merge(goodPart);
        const Expected<void> merged = merge.run(chunkBuffer, {});
        QVERIFY2(merged, qPrintable(MessageOf(merged)));
        QVERIFY(TestFiles::Read(fixed) == m_companion);
        QVERIFY(QFile::remove(fixed));
    }
    QVERIFY(TestFiles::Read(companion) == m_companion);
    qInfo("%s: %d of %d cut merges left the good part longer until the next start",
          qPrintable(type), longerAfterTheCrash, points);
}

QTEST_GUILESS_MAIN(TestDiskFaults)
#include "tst_diskfaults.moc"
