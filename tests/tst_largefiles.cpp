#include "GoodPartSplit.h"
#include "MergeBack.h"
#include "Outcome.h"
#include "TestFolder.h"

#include <QFile>
#include <QMap>
#include <QTest>

#include <sys/stat.h>

#include <memory>

// Split and Merge Back beyond 2 GiB and 4 GiB, where a length or position held in 32 bits
// would wrap. The files are sparse: a few marked bytes in long runs of holes, so a file of
// over 4 GiB costs nothing to make, and only the bytes a copy actually moves are written.
class TestLargeFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void splitOfAFileOver4GiB_data();
    void splitOfAFileOver4GiB();
    void mergeBackBeyond2And4GiB_data();
    void mergeBackBeyond2And4GiB();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<TestFolder> m_dir;
};

namespace {

const qint64 GiB2 = qint64(1) << 31;
const qint64 GiB4 = qint64(1) << 32;
// Pieces start this far apart, so consecutive ones share a byte.
const qint64 Stride = 2999999;

// Above this a copy fills that many bytes of holes with real zeros on file systems that
// cannot share blocks (ext4, tmpfs): seconds of writing and gigabytes of disk.
const qint64 CheapCopy = 64 * 1024 * 1024;
const char *const LargeCopiesVariable = "SALTWICK_TEST_LARGE_COPIES";

// A sparse file as the test means it: its length and the few bytes that are not zero.
struct SparseFile
{
    qint64 length = 0;
    QMap<qint64, char> marks;

    char at(qint64 offset) const { return marks.value(offset, 0); }
};

// Marks the given offsets that lie inside the file. Each file gets its own seed, so a byte
// taken from the wrong file or the wrong place shows.
SparseFile Layout(qint64 length, const QList<qint64> &offsets, quint32 seed)
{
    SparseFile file;
    file.length = length;
    for (qint64 offset : offsets) {
        if (offset >= 0 && offset < length)
            file.marks[offset] = char(1 + (quint64(offset) * 2654435761u + seed * 40503u) % 255);
    }
    return file;
}

// The bytes on either side of the 2 GiB and 4 GiB lines, 0-based.
QList<qint64> Boundaries()
{
    return {GiB2 - 2, GiB2 - 1, GiB2, GiB2 + 1, GiB4 - 2, GiB4 - 1, GiB4, GiB4 + 1, GiB4 + 2};
}

// The bytes either side of `offset`: the places an off-by-one shows.
QList<qint64> Around(qint64 offset)
{
    return {offset - 2, offset - 1, offset, offset + 1};
}

// Where a copy that starts at offset `start` joins on: the start itself and the bytes that
// consecutive pieces share.
QList<qint64> Seams(qint64 start, qint64 end)
{
    QList<qint64> offsets = Around(start);
    for (qint64 seam = start + Stride; seam < end && seam < start + 4 * Stride; seam += Stride)
        offsets << Around(seam);
    return offsets << Around(end - 1);
}

QString Create(const QString &path, const SparseFile &file)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || !out.resize(file.length))
        return out.errorString();
    for (auto mark = file.marks.cbegin(); mark != file.marks.cend(); ++mark) {
        if (!out.seek(mark.key()) || !out.putChar(mark.value()))
            return out.errorString();
    }
    return {};
}

QByteArray ReadAt(QFile &file, qint64 offset, qint64 count)
{
    return file.seek(offset) ? file.read(count) : QByteArray();
}

bool LargeCopiesWanted()
{
    return qEnvironmentVariableIntValue(LargeCopiesVariable) == 1;
}

} // namespace

void TestLargeFiles::initTestCase()
{
    // A file system that cannot keep holes would write every byte of these files.
    TestFolder dir;
    QVERIFY(dir.isValid());
    QFile probe(dir.filePath(QStringLiteral("probe")));
    QVERIFY(probe.open(QIODevice::WriteOnly));
    if (!probe.resize(GiB4 + 2))
        QSKIP("The temporary folder's file system cannot hold a file over 4 GiB");
    struct stat status = {};
    QCOMPARE(::stat(QFile::encodeName(probe.fileName()).constData(), &status), 0);
    if (qint64(status.st_blocks) * 512 > CheapCopy)
        QSKIP("The temporary folder's file system does not keep sparse files sparse");
}

void TestLargeFiles::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
}

void TestLargeFiles::splitOfAFileOver4GiB_data()
{
    QTest::addColumn<qint64>("sourceLength");
    QTest::addColumn<qint64>("size");

    // Two full pieces and a last one of a single byte, from a source longer than 4 GiB.
    QTest::newRow("small-part") << GiB4 + 3000000 << qint64(5999999);
    // These copy gigabytes of holes as zeros; see LargeCopiesVariable.
    QTest::newRow("across-2gib") << GiB4 + 3000000 << GiB2 + 1;
    QTest::newRow("across-4gib") << GiB4 + 3000000 << GiB4 + 2;
    QTest::newRow("whole-file") << GiB4 + 3000000 << GiB4 + 3000000;
}

void TestLargeFiles::splitOfAFileOver4GiB()
{
    QFETCH(qint64, sourceLength);
    QFETCH(qint64, size);
    if (size > CheapCopy && !LargeCopiesWanted()) {
        QSKIP(qPrintable(QStringLiteral("Copies %1 bytes of holes as real zeros where the file "
                                        "system cannot share blocks; set %2=1 to run it")
                             .arg(size)
                             .arg(QLatin1String(LargeCopiesVariable))));
    }

    const SparseFile source = Layout(sourceLength, Boundaries() + Seams(0, size), 1);
    const QString sourcePath = path(QStringLiteral("movie.avi"));
    const QString goodPartPath = path(QStringLiteral("movie.QQQ"));
    QCOMPARE(Create(sourcePath, source), QString());

    QByteArray chunkBuffer;
    int yields = 0;
    const CopyHooks hooks{[&yields] { ++yields; }, {}};
    GoodPartSplit split(sourcePath, size);
    const Expected<void> outcome = split.run(chunkBuffer, hooks);
    if (!outcome && outcome.failure().code() == RepairFailure::DiskFull)
        QSKIP(qPrintable(QStringLiteral("Too little free space for the check: ")
                         + outcome.failure().message()));
    QCOMPARE(split.goodPartPath(), goodPartPath);
    QVERIFY2(outcome, qPrintable(MessageOf(outcome)));
    QCOMPARE(yields, 2 * int((size - 1) / Stride));

    QFile goodPart(goodPartPath);
    QVERIFY(goodPart.open(QIODevice::ReadOnly));
    QCOMPARE(goodPart.size(), size);
    for (auto mark = source.marks.cbegin(); mark != source.marks.cend(); ++mark) {
        for (qint64 offset = mark.key() - 2; offset <= mark.key() + 2; ++offset) {
            if (offset < 0 || offset >= size)
                continue;
            QVERIFY2(ReadAt(goodPart, offset, 1) == QByteArray(1, source.at(offset)),
                     qPrintable(QStringLiteral("byte at offset %1").arg(offset)));
        }
    }
    if (size <= CheapCopy) {
        QFile whole(sourcePath);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QVERIFY(ReadAt(goodPart, 0, size) == ReadAt(whole, 0, size));
    }

    // The source is only read.
    QFile after(sourcePath);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.size(), sourceLength);
    for (auto mark = source.marks.cbegin(); mark != source.marks.cend(); ++mark)
        QCOMPARE(ReadAt(after, mark.key(), 1), QByteArray(1, mark.value()));
}

void TestLargeFiles::mergeBackBeyond2And4GiB_data()
{
    QTest::addColumn<qint64>("goodLength");
    QTest::addColumn<qint64>("companionLength");

    // The tails are a few pieces long and cross the lines, so only megabytes are copied.
    QTest::newRow("tail-across-2gib") << GiB2 - 3 << GiB2 + 3000003;
    QTest::newRow("tail-across-4gib") << GiB4 - 3 << GiB4 + 6000000;
    // The byte two pieces share lands on the first byte past 4 GiB.
    QTest::newRow("seam-on-4gib") << GiB4 - Stride << GiB4 + 3000001;
    // The good part alone is over 4 GiB and keeps its own bytes at both lines.
    QTest::newRow("good-part-over-4gib") << GiB4 + 5 << GiB4 + 5 + 3000001;
    QTest::newRow("one-piece-tail-over-4gib") << GiB4 << GiB4 + 3000000;
    QTest::newRow("one-byte-tail-over-4gib") << GiB4 + 1 << GiB4 + 2;
}

void TestLargeFiles::mergeBackBeyond2And4GiB()
{
    QFETCH(qint64, goodLength);
    QFETCH(qint64, companionLength);

    const QList<qint64> offsets = Boundaries() + Seams(goodLength, companionLength);
    const SparseFile good = Layout(goodLength, offsets, 2);
    const SparseFile companion = Layout(companionLength, offsets, 3);
    const QString goodPartPath = path(QStringLiteral("movie.QQQ"));
    const QString companionPath = path(QStringLiteral("movie.avi"));
    const QString fixedPath = path(QStringLiteral("movie-.avi"));
    QCOMPARE(Create(goodPartPath, good), QString());
    QCOMPARE(Create(companionPath, companion), QString());

    QByteArray chunkBuffer;
    MergeBack merge(goodPartPath);
    // The two files carry different marks, so that each byte shows where it came from.
    merge.acceptDifferentJoin();
    const Expected<void> status = merge.run(chunkBuffer, {});
    if (!status && status.failure().code() == RepairFailure::DiskFull)
        QSKIP(qPrintable(QStringLiteral("Too little free space for the check: ")
                         + status.failure().message()));
    QVERIFY2(status, qPrintable(MessageOf(status)));
    QCOMPARE(merge.goodPartLength(), goodLength);
    QVERIFY(!QFile::exists(goodPartPath));

    QFile fixed(fixedPath);
    QVERIFY(fixed.open(QIODevice::ReadOnly));
    QCOMPARE(fixed.size(), companionLength);
    QFile companionAfter(companionPath);
    QVERIFY(companionAfter.open(QIODevice::ReadOnly));
    QCOMPARE(companionAfter.size(), companionLength);

    // The good part's own bytes stay; the companion's take over from its length on.
    for (qint64 mark : offsets) {
        for (qint64 offset = mark - 2; offset <= mark + 2; ++offset) {
            if (offset < 0 || offset >= companionLength)
                continue;
            const char expected = offset < goodLength ? good.at(offset) : companion.at(offset);
            QVERIFY2(ReadAt(fixed, offset, 1) == QByteArray(1, expected),
                     qPrintable(QStringLiteral("byte at offset %1").arg(offset)));
            QCOMPARE(ReadAt(companionAfter, offset, 1), QByteArray(1, companion.at(offset)));
        }
    }
    const qint64 tail = companionLength - goodLength;
    QVERIFY(ReadAt(fixed, goodLength, tail) == ReadAt(companionAfter, goodLength, tail));
}

QTEST_GUILESS_MAIN(TestLargeFiles)
#include "tst_largefiles.moc"
