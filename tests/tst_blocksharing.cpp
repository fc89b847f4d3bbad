#include "GoodPartSplit.h"
#include "LoopMount.h"
#include "MergeBack.h"
#include "Outcome.h"
#include "TestFiles.h"
#include "TestFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/statvfs.h>

#include <memory>

// Split and Merge Back on file systems that share blocks between files (XFS, btrfs), each
// in a small image mounted through a loop device. Run as root with loop devices; skipped
// otherwise. The bulk of a copy must be shared, the unaligned ends copied, and the bytes
// must come out as on any other file system.
class TestBlockSharing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void init();
    void cleanup();
    void splitSharesTheAlignedBulk_data();
    void splitSharesTheAlignedBulk();
    void mergeSharesTheAlignedBulkOfTheTail_data();
    void mergeSharesTheAlignedBulkOfTheTail();
    void splitFitsWhereOnlyTheEndsAreWritten();
    void largeSplitTakesAlmostNoNewSpace();

private:
    QString path(const QString &name) const { return m_mount->filePath(name); }

    std::unique_ptr<TestFolder> m_dir;
    std::unique_ptr<LoopMount> m_mount;
};

namespace {

const qint64 ImageBytes = 320 * 1024 * 1024;
const qint64 SourceBytes = 20000001;
// New space a shared copy may take: its two unaligned ends and the file system's records.
const qint64 SharedCopySlack = 512 * 1024;

// Writes over a stretch in the middle of a file and brings it to the disk.
bool Scribble(const QString &path, qint64 offset)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset))
        return false;
    const QByteArray bytes(100000, 'x');
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

void TestBlockSharing::initTestCase_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("xfs") << "xfs";
    QTest::newRow("btrfs") << "btrfs";
}

void TestBlockSharing::init()
{
    QFETCH_GLOBAL(QString, type);
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    m_mount = std::make_unique<LoopMount>(m_dir->path(), type, ImageBytes);
    if (!m_mount->isMounted())
        QSKIP(qPrintable(
            QStringLiteral("No %1 to share blocks on: %2").arg(type, m_mount->whyNot())));
}

void TestBlockSharing::cleanup()
{
    // Unmounted before the folder holding the image goes.
    m_mount.reset();
    m_dir.reset();
}

void TestBlockSharing::splitSharesTheAlignedBulk_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("whole-file-unaligned-end") << SourceBytes;
    QTest::newRow("part-ending-on-a-boundary") << qint64(16 * 1024 * 1024);
    QTest::newRow("part-ending-past-a-boundary") << qint64(16 * 1024 * 1024 + 1);
    QTest::newRow("part-ending-before-a-boundary") << qint64(16 * 1024 * 1024 - 1);
}

void TestBlockSharing::splitSharesTheAlignedBulk()
{
    QFETCH(qint64, size);
    const QByteArray source = TestFiles::Pattern(SourceBytes);
    QVERIFY(TestFiles::Write(path("movie.avi"), source));
    const qint64 usedBefore = m_mount->usedBytes();

    QByteArray chunkBuffer;
    int yields = 0;
    const CopyHooks hooks{[&yields] { ++yields; }, {}};
    GoodPartSplit split(path("movie.avi"), size);
    const Expected<void> outcome = split.run(chunkBuffer, hooks);
    QVERIFY2(outcome, qPrintable(MessageOf(outcome)));

    QCOMPARE(TestFiles::Read(path("movie.QQQ")), source.left(size));
    QVERIFY2(m_mount->usedBytes() - usedBefore <= SharedCopySlack,
             qPrintable(QStringLiteral("the good part took %1 new bytes")
                            .arg(m_mount->usedBytes() - usedBefore)));
    // Sharing leaves the hand-overs to the window as they are.
    QCOMPARE(yields, 2 * int((size - 1) / 2999999));
    // The blocks the two files share are copied as soon as either is written to.
    QVERIFY(Scribble(path("movie.QQQ"), 5000000));
    QCOMPARE(TestFiles::Read(path("movie.avi")), source);
}

void TestBlockSharing::mergeSharesTheAlignedBulkOfTheTail_data()
{
    QTest::addColumn<qint64>("goodLength");
    // On a block boundary whatever the block size, up to 1 MiB.
    const qint64 boundary = 1024 * 1024;
    QTest::newRow("tail-from-a-byte-before-a-boundary") << boundary - 1;
    QTest::newRow("tail-from-a-boundary") << boundary;
    QTest::newRow("tail-from-a-byte-after-a-boundary") << boundary + 1;
    QTest::newRow("empty-good-part") << qint64(0);
}

void TestBlockSharing::mergeSharesTheAlignedBulkOfTheTail()
{
    QFETCH(qint64, goodLength);
    const QByteArray good = TestFiles::Pattern(goodLength, 2);
    const QByteArray companion = TestFiles::Pattern(SourceBytes, 3);
    QVERIFY(TestFiles::Write(path("movie.QQQ"), good));
    QVERIFY(TestFiles::Write(path("movie.avi"), companion));
    const qint64 usedBefore = m_mount->usedBytes();

    QByteArray chunkBuffer;
    MergeBack merge(path("movie.QQQ"));
    // Good part and companion differ everywhere, so that a byte from the wrong one shows.
    merge.acceptDifferentJoin();
    const Expected<void> status = merge.run(chunkBuffer, {});
    QVERIFY2(status, qPrintable(MessageOf(status)));

    QCOMPARE(TestFiles::Read(path("movie-.avi")), good + companion.mid(goodLength));
    QVERIFY2(
        m_mount->usedBytes() - usedBefore <= SharedCopySlack,
        qPrintable(
            QStringLiteral("the merge took %1 new bytes").arg(m_mount->usedBytes() - usedBefore)));
    QVERIFY(Scribble(path("movie-.avi"), 5000000));
    QCOMPARE(TestFiles::Read(path("movie.avi")), companion);
}

void TestBlockSharing::splitFitsWhereOnlyTheEndsAreWritten()
{
    const QByteArray source = TestFiles::Pattern(SourceBytes);
    QVERIFY(TestFiles::Write(path("movie.avi"), source));
    // Fill the file system, then give back far less than the good part's length.
    QFile filler(path("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const qint64 step = 1024 * 1024;
    qint64 filled = 0;
    while (::posix_fallocate(filler.handle(), filled, step) == 0)
        filled += step;
    QVERIFY(filler.resize(filled - 4 * step));
    filler.close();
    m_mount->usedBytes(); // the freed blocks count as free once synced
    struct statvfs status = {};
    QCOMPARE(::statvfs(QFile::encodeName(path(QString())).constData(), &status), 0);
    QVERIFY(qint64(status.f_bavail) * qint64(status.f_frsize) < SourceBytes / 2);

    QByteArray chunkBuffer;
    GoodPartSplit split(path("movie.avi"), SourceBytes - 1);
    const Expected<void> outcome = split.run(chunkBuffer, {});
    QVERIFY2(outcome, qPrintable(MessageOf(outcome)));
    QCOMPARE(TestFiles::Read(path("movie.QQQ")), source.left(SourceBytes - 1));
}

// The file system's own records of what is shared grow with each call that shares blocks:
// a Split of gibibytes must share them in few calls, as cp --reflink does in one.
void TestBlockSharing::largeSplitTakesAlmostNoNewSpace()
{
    QFETCH_GLOBAL(QString, type);
    const qint64 size = qint64(2) << 30;
    // A sparse image of its own, with a source whose blocks are reserved but never written,
    // so that gibibytes cost the test no writing.
    QVERIFY(QDir(m_dir->path()).mkdir("large"));
    LoopMount large(m_dir->path() + QStringLiteral("/large"), type, size + (qint64(1) << 30));
    if (!large.isMounted())
        QSKIP(qPrintable(large.whyNot()));
    QFile source(large.filePath("movie.avi"));
    QVERIFY(source.open(QIODevice::WriteOnly));
    QCOMPARE(::posix_fallocate(source.handle(), 0, size + 1), 0);
    source.close();
    const qint64 usedBefore = large.usedBytes();

    QByteArray chunkBuffer;
    int yields = 0;
    const CopyHooks hooks{[&yields] { ++yields; }, {}};
    GoodPartSplit split(large.filePath("movie.avi"), size);
    const Expected<void> outcome = split.run(chunkBuffer, hooks);
    QVERIFY2(outcome, qPrintable(MessageOf(outcome)));

    const qint64 taken = large.usedBytes() - usedBefore;
    QVERIFY2(taken <= 64 * 1024,
             qPrintable(QStringLiteral("the good part took %1 new bytes").arg(taken)));
    QCOMPARE(yields, 2 * int((size - 1) / 2999999));
    QFile goodPart(large.filePath("movie.QQQ"));
    QVERIFY(goodPart.open(QIODevice::ReadOnly));
    QCOMPARE(goodPart.size(), size);
    for (const qint64 at : {qint64(0), (qint64(128) << 20) - 4096, size - 4096}) {
        QVERIFY(goodPart.seek(at));
        QCOMPARE(goodPart.read(4096), QByteArray(4096, '\0'));
    }
}

QTEST_GUILESS_MAIN(TestBlockSharing)
#include "tst_blocksharing.moc"
