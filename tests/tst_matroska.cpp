#include "MatroskaScanner.h"
#include "MediaScanner.h"
#include "TestFolder.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {

const qint64 NoDamage = -1;
const qint64 Refused = -2;

// A block of a real file: where its element starts, and its size with the header.
struct Packet
{
    qint64 header = 0;
    qint64 span = 0;
};

// A file made by ffmpeg: its bytes and its blocks as ffprobe lists them.
struct Sample
{
    QByteArray bytes;
    QList<Packet> blocks; // simple blocks only, whose headers the test can find
    qint64 packets = 0;
};

const QByteArray HtmlPage = "<html><head><title>504 Gateway Timeout</title></head><body><h1>"
                            "Gateway Timeout</h1><p>The proxy did not receive a timely response"
                            " from the upstream server.</p></body></html>\n";

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return false;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

int vintLength(quint8 first)
{
    int length = 1;
    while (length <= 8 && !(first & (0x80 >> (length - 1))))
        ++length;
    return length;
}

quint64 vintValue(const QByteArray &bytes, qsizetype at, int length)
{
    quint64 value = quint8(bytes[at]) & (0xFF >> length);
    for (int i = 1; i < length; ++i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

// A simple block is its id, its size, a one-byte track number, a timestamp and flags; ffprobe
// gives where its data begins, at the track number. Nothing for a block in a block group.
std::optional<qint64> simpleBlockStart(const QByteArray &bytes, qint64 data, qint64 frameSize)
{
    for (int length = 1; length <= 8; ++length) {
        const qint64 size = data - length;
        if (size < 1 || quint8(bytes[size - 1]) != 0xA3
            || vintLength(quint8(bytes[size])) != length)
            continue;
        if (vintValue(bytes, size, length) == quint64(frameSize) + 4)
            return size - 1;
    }
    return std::nullopt;
}

bool makeSample(Sample &sample, const QString &path, const QStringList &encoding)
{
    QStringList arguments = {"-v",
                             "error",
                             "-y",
                             "-f",
                             "lavfi",
                             "-i",
                             "testsrc=size=320x240:rate=25",
                             "-f",
                             "lavfi",
                             "-i",
                             "sine=frequency=440:sample_rate=48000",
                             "-t",
                             "4"};
    arguments << encoding << path;
    QByteArray listing;
    if (!run(QStringLiteral("ffmpeg"), arguments)
        || !run(QStringLiteral("ffprobe"),
                {"-v", "error", "-show_entries", "packet=pos,size", "-of", "csv=p=0", path},
                &listing))
        return false;
    sample.bytes = readFile(path);
    for (const QByteArray &line : listing.split('\n')) {
        // A packet with side data (the samples the last one drops) has a field more.
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() < 2)
            continue;
        ++sample.packets;
        const qint64 size = fields[0].toLongLong();
        const qint64 data = fields[1].toLongLong();
        if (const std::optional<qint64> start = simpleBlockStart(sample.bytes, data, size))
            sample.blocks.append({*start, data + 4 + size - *start});
    }
    return !sample.blocks.isEmpty();
}

// The same file as a live recording writes it: the segment and every cluster of unknown size.
// The size field of `length` bytes that says the size is unknown.
QByteArray allOnes(int length)
{
    return QByteArray(1, char(0xFF >> (length - 1))) + QByteArray(length - 1, char(0xFF));
}

QByteArray withUnknownSizes(QByteArray bytes)
{
    const qsizetype segment = bytes.indexOf("\x18\x53\x80\x67");
    const int segmentSize = vintLength(quint8(bytes[segment + 4]));
    qsizetype at = segment + 4 + segmentSize;
    bytes.replace(segment + 4, segmentSize, allOnes(segmentSize));
    while (at < bytes.size()) {
        const int idLength = vintLength(quint8(bytes[at]));
        const int sizeLength = vintLength(quint8(bytes[at + idLength]));
        const quint64 size = vintValue(bytes, at + idLength, sizeLength);
        if (bytes.mid(at, 4) == "\x1F\x43\xB6\x75")
            bytes.replace(at + 4, sizeLength, allOnes(sizeLength));
        at += idLength + sizeLength + qsizetype(size);
    }
    return bytes;
}

// EBML, written by hand: ids with their marker, sizes as short as they go unless told.
QByteArray idBytes(quint32 id)
{
    QByteArray bytes;
    for (quint32 rest = id; rest; rest >>= 8)
        bytes.prepend(char(rest & 0xFF));
    return bytes;
}

QByteArray sizeField(quint64 size, int length = 0)
{
    if (length == 0) {
        length = 1;
        while (size >= (quint64(1) << (7 * length)) - 1)
            ++length;
    }
    QByteArray bytes(length, '\0');
    for (int i = length - 1; i >= 0; --i, size >>= 8)
        bytes[i] = char(size & 0xFF);
    bytes[0] = char(bytes[0] | (0x80 >> (length - 1)));
    return bytes;
}

QByteArray element(quint32 id, const QByteArray &data, int sizeLength = 0)
{
    return idBytes(id) + sizeField(quint64(data.size()), sizeLength) + data;
}

QByteArray number(quint32 id, quint64 value, int bytes = 1)
{
    QByteArray data(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        data[i] = char(value & 0xFF);
    return element(id, data);
}

QByteArray simpleBlock(int track, int payload, char fill)
{
    return element(0xA3, QByteArray(1, char(0x80 | track)) + QByteArray("\x00\x00\x80", 3)
                             + QByteArray(payload, fill));
}

// A small Matroska file with a seek head, one track, one cluster and a cue, and where its
// parts are.
struct HandMade
{
    QByteArray bytes;
    qint64 segmentSize = 0; // of the size field, 8 bytes
    qint64 cluster = 0;
    qint64 clusterSize = 0; // of the size field, 4 bytes
    QList<qint64> blocks;
    qint64 seeks[3] = {}; // for the info, the tracks and the cues
    qint64 cuePositions = 0;
};

HandMade handMade(int blocks = 3, int payload = 1000, bool cues = true)
{
    HandMade file;
    const QByteArray header = element(
        0x1A45DFA3, number(0x4286, 1) + number(0x42F7, 1) + number(0x42F2, 4) + number(0x42F3, 8)
                        + element(0x4282, "matroska") + number(0x4287, 4) + number(0x4285, 2));
    const QByteArray info
        = element(0x1549A966, number(0x2AD7B1, 1000000, 3) + element(0x4D80, "hand"));
    const QByteArray tracks = element(
        0x1654AE6B, element(0xAE, number(0xD7, 1) + number(0x83, 1) + element(0x86, "V_TEST")));
    QByteArray clusterData = number(0xE7, 0);
    QList<qint64> blockOffsets;
    for (int i = 0; i < blocks; ++i) {
        blockOffsets.append(clusterData.size());
        clusterData += simpleBlock(1, payload, char('a' + i % 26));
    }
    const QByteArray cluster = element(0x1F43B675, clusterData, 4);
    const auto seek = [](quint32 id, quint64 position) {
        return element(0x4DBB, element(0x53AB, idBytes(id)) + number(0x53AC, position, 4));
    };
    // Positions take four bytes, so the seek head's size does not depend on them.
    const qint64 seekHeadSize
        = element(0x114D9B74, seek(0x1549A966, 0) + seek(0x1654AE6B, 0) + seek(0x1C53BB6B, 0))
              .size();
    const qint64 infoAt = seekHeadSize;
    const qint64 tracksAt = infoAt + info.size();
    const qint64 clusterAt = tracksAt + tracks.size();
    const qint64 cuesAt = clusterAt + cluster.size();
    const QByteArray seekHead = element(0x114D9B74, seek(0x1549A966, quint64(infoAt))
                                                        + seek(0x1654AE6B, quint64(tracksAt))
                                                        + seek(0x1C53BB6B, quint64(cuesAt)));
    const qint64 relative = blockOffsets.value(1, 0);
    const QByteArray cueList = element(
        0x1C53BB6B,
        element(0xBB, number(0xB3, 0)
                          + element(0xB7, number(0xF7, 1) + number(0xF1, quint64(clusterAt), 4)
                                              + number(0xF0, quint64(relative), 4))));
    const QByteArray segmentData
        = seekHead + info + tracks + cluster + (cues ? cueList : QByteArray());
    file.bytes = header + element(0x18538067, segmentData, 8);

    const qint64 segmentDataAt = header.size() + 12;
    file.segmentSize = header.size() + 4;
    file.cluster = segmentDataAt + clusterAt;
    file.clusterSize = file.cluster + 4;
    for (qint64 offset : blockOffsets)
        file.blocks.append(file.cluster + 8 + offset);
    for (int i = 0; i < 3; ++i)
        file.seeks[i] = segmentDataAt + 5 + i * 17;
    file.cuePositions = segmentDataAt + cuesAt + 5 + 2 + 3;
    return file;
}

void patch(QByteArray &bytes, qint64 at, const QByteArray &with)
{
    bytes.replace(at, with.size(), with);
}

Expected<ScanFinding> scanFile(const QString &path, const CopyHooks &hooks = {})
{
    MatroskaScanner scanner(path);
    return scanner.scan(hooks);
}

qint64 outcome(const Expected<ScanFinding> &result)
{
    if (!result)
        return result.failure().reason() == RepairFailure::Reason::NotReadable ? Refused : -3;
    return result->damage.value_or(NoDamage);
}

} // namespace

class TestMatroska : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void intactFiles_data();
    void intactFiles();
    void damagedFiles_data();
    void damagedFiles();
    void handMadeFiles_data();
    void handMadeFiles();
    void beyond4GiB_data();
    void beyond4GiB();
    void pickedByContentAndStoppable();

private:
    const Sample *sample(const QString &name) const;

    std::unique_ptr<TestFolder> m_dir;
    Sample m_mkv;
    Sample m_webm;
    Sample m_live;
};

void TestMatroska::initTestCase()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    // MPEG-4 and PCM with cues after the clusters and checksums; VP8 and Opus with the cues
    // before them and a block group at the end.
    makeSample(m_mkv, m_dir->filePath("sample.mkv"), {"-c:v", "mpeg4", "-c:a", "pcm_s16le"});
    makeSample(m_webm, m_dir->filePath("sample.webm"),
               {"-c:v", "libvpx", "-b:v", "400k", "-c:a", "libopus", "-cues_to_front", "1"});
    if (!m_mkv.blocks.isEmpty()) {
        m_live = m_mkv;
        m_live.bytes = withUnknownSizes(m_mkv.bytes);
    }
}

const Sample *TestMatroska::sample(const QString &name) const
{
    const Sample *found = name == "mkv" ? &m_mkv : name == "webm" ? &m_webm : &m_live;
    return found->blocks.isEmpty() ? nullptr : found;
}

void TestMatroska::intactFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("matroska-cues-after-checksums") << "mkv";
    QTest::newRow("webm-cues-before") << "webm";
    QTest::newRow("unknown-sizes") << "live";
}

void TestMatroska::intactFiles()
{
    QFETCH(QString, name);
    const Sample *file = sample(name);
    if (!file)
        QSKIP("ffmpeg and ffprobe could not make the test file");
    const Expected<ScanFinding> result
        = scanFile(writeFile(m_dir->filePath("intact.mkv"), file->bytes));
    QVERIFY(result);
    QCOMPARE(result->damage, std::nullopt);
    // Every packet ffprobe found is a block the scan checked.
    QVERIFY2(result->checked.contains(QStringLiteral(" %1 blocks").arg(file->packets)),
             qPrintable(result->checked));
    if (name == "mkv")
        QVERIFY(!result->checked.endsWith(QLatin1String(" 0 checksums")));
}

void TestMatroska::damagedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("damage");
    for (const char *name : {"mkv", "webm", "live"}) {
        for (const char *damage :
             {"zeros", "zeros-from-a-header", "random", "html", "cut-out", "cut-end"})
            QTest::addRow("%s-%s", name, damage) << QString(name) << QString(damage);
    }
}

// The damage starts in the middle of a block's media, as a broken download does.
void TestMatroska::damagedFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, damage);
    const Sample *file = sample(name);
    if (!file)
        QSKIP("ffmpeg and ffprobe could not make the test file");

    const qint64 from = file->bytes.size() * 6 / 10;
    Packet hit;
    for (const Packet &block : file->blocks) {
        if (block.header >= from && block.span > 32) {
            hit = block;
            break;
        }
    }
    QVERIFY(hit.span > 0);
    // Zeros from a header on are the case where the block before must not be blamed.
    const qint64 damageAt
        = damage == "zeros-from-a-header" ? hit.header : hit.header + hit.span / 2;
    const qint64 run = std::min<qint64>(64 * 1024, file->bytes.size() - damageAt);
    QByteArray bytes = file->bytes;
    if (damage.startsWith("zeros")) {
        patch(bytes, damageAt, QByteArray(run, '\0'));
    } else if (damage == "random") {
        QByteArray noise(run, '\0');
        QRandomGenerator generator(7);
        for (char &byte : noise)
            byte = char(generator.bounded(256));
        patch(bytes, damageAt, noise);
    } else if (damage == "html") {
        bytes.insert(damageAt, HtmlPage);
    } else if (damage == "cut-out") {
        bytes.remove(damageAt, run);
    } else {
        bytes.truncate(damageAt);
    }

    const Expected<ScanFinding> result = scanFile(writeFile(m_dir->filePath("damaged.mkv"), bytes));
    QVERIFY(result);
    QVERIFY(result->damage);
    // Never past the first damaged byte, and never more than its block before it.
    const qint64 offset = *result->damage;
    QVERIFY2(offset <= damageAt, qPrintable(QStringLiteral("%1 > %2").arg(offset).arg(damageAt)));
    QVERIFY2(damageAt - offset <= hit.span,
             qPrintable(QStringLiteral("%1 - %2 > %3").arg(damageAt).arg(offset).arg(hit.span)));
}

void TestMatroska::handMadeFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("offset");

    const HandMade file = handMade();
    const QByteArray &mkv = file.bytes;
    const qint64 length = mkv.size();
    QTest::newRow("intact") << mkv << NoDamage;

    QByteArray unknownSizes = mkv;
    patch(unknownSizes, file.segmentSize, allOnes(8));
    patch(unknownSizes, file.clusterSize, allOnes(4));
    QTest::newRow("unknown-sizes") << unknownSizes << NoDamage;
    // Cut between two blocks, where the sizes cannot tell: the seek head still names the cues.
    QTest::newRow("unknown-sizes-cut-between-blocks")
        << unknownSizes.left(file.blocks[2]) << file.blocks[2];

    QByteArray blockAllOnes = mkv;
    blockAllOnes.replace(file.blocks[1] + 1, 2, allOnes(8));
    QTest::newRow("block-size-all-ones") << blockAllOnes << file.blocks[0];
    QByteArray blockOverflows = mkv;
    blockOverflows.replace(file.blocks[1] + 1, 2, QByteArray::fromHex("01fffffffffffffe"));
    QTest::newRow("block-size-overflows") << blockOverflows << file.blocks[0];
    QByteArray segmentHuge = mkv;
    patch(segmentHuge, file.segmentSize, QByteArray::fromHex("01fffffffffffffe"));
    QTest::newRow("segment-size-past-the-end") << segmentHuge << length;
    QByteArray ebmlUnknown = mkv;
    ebmlUnknown[4] = char(0xFF);
    QTest::newRow("header-size-all-ones") << ebmlUnknown << qint64(0);

    // A cluster that holds itself: a cluster header claiming all of its parent.
    QByteArray containsItself = mkv;
    const qint64 clusterData = file.cluster + 8;
    const qint64 clusterLength = qint64(vintValue(mkv, file.clusterSize, 4));
    containsItself.insert(clusterData,
                          idBytes(0x1F43B675) + sizeField(quint64(clusterLength + 8), 4));
    patch(containsItself, file.clusterSize, sizeField(quint64(clusterLength + 8), 4));
    QTest::newRow("cluster-inside-itself") << containsItself << clusterData;

    // Padding among the blocks would let a walk through damaged media find its way back.
    QByteArray voidAmongBlocks = mkv;
    voidAmongBlocks.insert(file.blocks[2], QByteArray("\xEC\x81\x00", 3));
    patch(voidAmongBlocks, file.clusterSize, sizeField(vintValue(mkv, file.clusterSize, 4) + 3, 4));
    QTest::newRow("void-among-blocks") << voidAmongBlocks << file.blocks[1];

    QByteArray unknownTrack = mkv;
    unknownTrack[file.blocks[1] + 3] = char(0x85);
    QTest::newRow("block-of-unknown-track") << unknownTrack << file.blocks[0];

    QByteArray seekPastEnd = mkv;
    patch(seekPastEnd, file.seeks[2] + 13, QByteArray::fromHex("7ffffff0"));
    QTest::newRow("seek-past-the-end") << seekPastEnd << length;
    QByteArray seekAside = mkv;
    seekAside[file.seeks[1] + 16] = char(seekAside[file.seeks[1] + 16] + 1);
    QTest::newRow("seek-beside-its-element") << seekAside << file.seeks[1];
    QByteArray cueAside = mkv;
    cueAside[file.cuePositions + 10] = char(cueAside[file.cuePositions + 10] + 1);
    QTest::newRow("cue-beside-its-cluster") << cueAside << file.cuePositions;
    QByteArray cueBlockAside = mkv;
    cueBlockAside[file.cuePositions + 16] = char(cueBlockAside[file.cuePositions + 16] + 1);
    QTest::newRow("cue-beside-its-block") << cueBlockAside << file.cuePositions;

    QTest::newRow("html-appended") << mkv + HtmlPage << length;
    QTest::newRow("zeros-appended") << mkv + QByteArray(4096, '\0') << length;

    QByteArray otherFormat = mkv;
    otherFormat.replace("matroska", QByteArray("notamkv\0", 8));
    QTest::newRow("other-ebml-format") << otherFormat << Refused;
    QTest::newRow("empty") << QByteArray() << Refused;
    QTest::newRow("web-page") << HtmlPage << Refused;
}

void TestMatroska::handMadeFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, offset);
    QCOMPARE(outcome(scanFile(writeFile(m_dir->filePath("hand.mkv"), bytes))), offset);
}

void TestMatroska::beyond4GiB_data()
{
    QTest::addColumn<bool>("wrapped");
    QTest::newRow("intact") << false;
    QTest::newRow("cue-position-wrapped") << true;
}

// A cluster beyond 4 GiB behind a void element, in a sparse file, with a cue that points at
// it in eight bytes: positions held in 32 bits would wrap.
void TestMatroska::beyond4GiB()
{
    QFETCH(bool, wrapped);
    const HandMade start = handMade(2, 100, false);
    const QByteArray head = start.bytes.left(start.cluster);
    const QByteArray firstCluster = start.bytes.mid(start.cluster);
    const qint64 segmentData = start.segmentSize + 8;
    const qint64 gap = (qint64(9) << 29) + 12345; // 4.5 GiB of void
    const QByteArray voidHeader = QByteArray("\xEC", 1) + sizeField(quint64(gap), 8);
    const qint64 farCluster = start.cluster + firstCluster.size() + voidHeader.size() + gap;
    const QByteArray cluster
        = element(0x1F43B675, number(0xE7, 1000, 2) + simpleBlock(1, 100, 'z'), 4);
    const quint64 cuePosition
        = quint64(farCluster - segmentData) - (wrapped ? (quint64(1) << 32) : 0);
    const QByteArray cues = element(
        0x1C53BB6B,
        element(0xBB, number(0xB3, 1000, 2)
                          + element(0xB7, number(0xF7, 1) + number(0xF1, cuePosition, 8))));
    const qint64 length = farCluster + cluster.size() + cues.size();

    const QString path = m_dir->filePath("large.mkv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QByteArray segmentSize = sizeField(quint64(length - segmentData), 8);
    QByteArray prefix = head;
    patch(prefix, start.segmentSize, segmentSize);
    // The seek head names the first cluster where the small file had its cues.
    patch(prefix, start.seeks[2] + 6, idBytes(0x1F43B675));
    QByteArray position(4, '\0');
    qToBigEndian(quint32(start.cluster - segmentData), position.data());
    patch(prefix, start.seeks[2] + 13, position);
    QVERIFY(file.write(prefix + firstCluster + voidHeader) > 0);
    QVERIFY(file.resize(farCluster));
    QVERIFY(file.seek(farCluster));
    QVERIFY(file.write(cluster + cues) > 0);
    file.close();
    QCOMPARE(QFileInfo(path).size(), length);

    const qint64 cueTrackPositions = farCluster + cluster.size() + 5 + 2 + 4;
    QCOMPARE(outcome(scanFile(path)), wrapped ? cueTrackPositions : NoDamage);
    QVERIFY(QFile::remove(path));
}

void TestMatroska::pickedByContentAndStoppable()
{
    // The name says AVI; the bytes say Matroska.
    const QString path = writeFile(m_dir->filePath("movie.avi"), handMade(5000, 10).bytes);
    const Expected<ScanFinding> found = MediaScanner::Scan(path, {});
    QVERIFY(found);
    QCOMPARE(found->damage, std::nullopt);
    QVERIFY2(found->checked.contains(QLatin1String(" 5000 blocks")), qPrintable(found->checked));
    QByteArray otherFormat = handMade().bytes;
    otherFormat.replace("matroska", QByteArray("notamkv\0", 8));
    const Expected<ScanFinding> refused
        = MediaScanner::Scan(writeFile(m_dir->filePath("other.avi"), otherFormat), {});
    QVERIFY(!refused);
    QCOMPARE(refused.failure().description(), MediaScanner::NotReadableMessage("other.avi"));

    int yields = 0;
    CopyHooks hooks;
    hooks.yield = [&] { ++yields; };
    hooks.stopRequested = [&] { return yields >= 2; };
    const Expected<ScanFinding> stopped = scanFile(path, hooks);
    QVERIFY(!stopped);
    QCOMPARE(stopped.failure().reason(), RepairFailure::Reason::Interrupted);
    QCOMPARE(yields, 2);
}

QTEST_GUILESS_MAIN(TestMatroska)
#include "tst_matroska.moc"
