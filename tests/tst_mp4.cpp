#include "MediaScanner.h"
#include "Mp4Scanner.h"
#include "TestFolder.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {

// A sample of a file made by ffmpeg, as ffprobe lists it.
struct Packet
{
    qint64 pos = 0;
    qint64 size = 0;
    bool video = false;
};

struct Sample
{
    QString path;
    QByteArray bytes;
    QList<Packet> packets;
};

const qint64 Slack = 64 * 1024;

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

QList<Packet> packetsOf(const QString &path)
{
    QByteArray listing;
    if (!run(QStringLiteral("ffprobe"),
             {"-v", "error", "-show_entries", "packet=codec_type,pos,size", "-of", "csv=p=0", path},
             &listing))
        return {};
    QList<Packet> packets;
    for (const QByteArray &line : listing.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() == 3)
            packets.append({fields[2].toLongLong(), fields[1].toLongLong(), fields[0] == "video"});
    }
    return packets;
}

Expected<ScanFinding> scanFile(const QString &path, const CopyHooks &hooks = {})
{
    Mp4Scanner scanner(path);
    return scanner.scan(hooks);
}

QByteArray be16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be64(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray box(const char *type, const QByteArray &content)
{
    return be32(quint32(8 + content.size())) + QByteArray(type, 4) + content;
}

QByteArray fullBox(const char *type, const QByteArray &content)
{
    return box(type, be32(0) + content);
}

void patch(QByteArray &bytes, qsizetype at, const QByteArray &with)
{
    bytes.replace(at, with.size(), with);
}

// Where the first box of a type starts.
qsizetype boxAt(const QByteArray &bytes, const char *type)
{
    return bytes.indexOf(QByteArray(type, 4)) - 4;
}

// The index and media data header of a small MP4 made by hand: one track whose samples
// have the given sizes, the index before the media data.
struct Layout
{
    QByteArray head;
    QList<qint64> samples; // where each sample starts
    qsizetype chunkEntries = 0;
};

struct LayoutOptions
{
    bool h264 = true;
    bool chunkPerSample = false;
    bool wideOffsets = false;
    bool largeMediaData = false;
};

Layout layoutMp4(const QList<quint32> &sizes, LayoutOptions options = {})
{
    QByteArray entry = QByteArray(6, '\0') + be16(1);
    if (options.h264) {
        // Four-byte NAL lengths, no parameter sets.
        const QByteArray avcC = box("avcC", QByteArray("\x01\x64\x00\x1f\xff\xe0\x00", 7));
        entry = box("avc1", entry + QByteArray(70, '\0') + avcC);
    } else {
        entry = box("mp4a", entry + QByteArray(20, '\0'));
    }
    qint64 mediaBytes = 0;
    for (quint32 size : sizes)
        mediaBytes += size;
    const QByteArray ftyp = box("ftyp", QByteArray("isom\0\0\0\0isomavc1", 16));
    const QByteArray mediaHeader = options.largeMediaData
                                       ? be32(1) + "mdat" + be64(quint64(16 + mediaBytes))
                                       : be32(quint32(8 + mediaBytes)) + "mdat";

    Layout layout;
    QByteArray moov;
    // Offsets do not change the index's size: made once to learn where the data begins.
    for (int pass = 0; pass < 2; ++pass) {
        QByteArray sizeEntries;
        for (quint32 size : sizes)
            sizeEntries += be32(size);
        QByteArray chunkEntries;
        for (int i = 0; i < (options.chunkPerSample ? sizes.size() : 1); ++i) {
            const qint64 offset = layout.samples.isEmpty() ? 0 : layout.samples[i];
            chunkEntries += options.wideOffsets ? be64(quint64(offset)) : be32(quint32(offset));
        }
        const quint32 chunks = options.chunkPerSample ? sizes.size() : 1;
        const quint32 perChunk = options.chunkPerSample ? 1 : sizes.size();
        const QByteArray stbl
            = box("stbl", fullBox("stsd", be32(1) + entry)
                              + fullBox("stsz", be32(0) + be32(sizes.size()) + sizeEntries)
                              + fullBox("stsc", be32(1) + be32(1) + be32(perChunk) + be32(1))
                              + fullBox(options.wideOffsets ? "co64" : "stco",
                                        be32(chunks) + chunkEntries));
        const QByteArray trak
            = box("trak", fullBox("tkhd", QByteArray(8, '\0') + be32(1) + QByteArray(68, '\0'))
                              + box("mdia", box("minf", stbl)));
        moov = box("moov", fullBox("mvhd", QByteArray(96, '\0')) + trak);
        layout.samples.clear();
        qint64 at = ftyp.size() + moov.size() + mediaHeader.size();
        for (quint32 size : sizes) {
            layout.samples.append(at);
            at += size;
        }
    }
    layout.head = ftyp + moov + mediaHeader;
    layout.chunkEntries = boxAt(layout.head, options.wideOffsets ? "co64" : "stco") + 16;
    return layout;
}

// A sample that is one NAL unit (a slice of an IDR picture), filled with one letter.
QByteArray nalSample(quint32 size, int letter)
{
    return be32(size - 4) + QByteArray(1, '\x65')
           + QByteArray(int(size) - 5, char('a' + letter % 26));
}

struct HandMade
{
    QByteArray bytes;
    QList<qint64> samples;
    qsizetype chunkEntries = 0;
};

HandMade handMadeMp4(const QList<quint32> &sizes, LayoutOptions options = {})
{
    const Layout layout = layoutMp4(sizes, options);
    HandMade made{layout.head, layout.samples, layout.chunkEntries};
    for (int i = 0; i < sizes.size(); ++i)
        made.bytes += nalSample(sizes[i], i);
    return made;
}

HandMade handMadeMp4()
{
    return handMadeMp4({300, 301, 400, 250});
}

} // namespace

class TestMp4 : public QObject
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
    void fragmentIndexes_data();
    void fragmentIndexes();
    void chosenByContent();
    void stopsWhenAsked();
    void pastFourGibibytes_data();
    void pastFourGibibytes();

private:
    const Sample *sample(const QString &name) const;
    QString write(const QString &name, const QByteArray &bytes);

    std::unique_ptr<TestFolder> m_dir;
    QMap<QString, Sample> m_samples;
};

void TestMp4::initTestCase()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    // A few seconds of H.264 or H.265 with AAC, its keyframes a second apart; long enough
    // that damage 60% into it does not reach an index at the end.
    const QStringList h264 = {"-c:v", "libx264", "-preset", "ultrafast", "-g", "25"};
    const QStringList h265 = {"-c:v",           "libx265", "-preset", "ultrafast", "-x265-params",
                              "log-level=none", "-g",      "25",      "-tag:v",    "hvc1"};
    const QList<std::pair<QString, QStringList>> files = {
        {"faststart", h264 + QStringList{"-movflags", "+faststart"}},
        {"index-at-end", h264},
        {"fragmented", h264 + QStringList{"-movflags", "frag_keyframe+empty_moov"}},
        {"h265", h265},
    };
    for (const auto &[name, encoding] : files) {
        Sample made;
        made.path = m_dir->filePath(name + ".mp4");
        QStringList arguments = {"-v",
                                 "error",
                                 "-y",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "testsrc=size=640x480:rate=25",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=frequency=440:sample_rate=44100",
                                 "-t",
                                 "6"};
        arguments << encoding << "-c:a"
                  << "aac" << made.path;
        if (run(QStringLiteral("ffmpeg"), arguments))
            made.packets = packetsOf(made.path);
        QFile file(made.path);
        if (!made.packets.isEmpty() && file.open(QIODevice::ReadOnly))
            made.bytes = file.readAll();
        m_samples.insert(name, made);
    }
}

const Sample *TestMp4::sample(const QString &name) const
{
    const auto found = m_samples.constFind(name);
    return found == m_samples.cend() || found->bytes.isEmpty() ? nullptr : &*found;
}

QString TestMp4::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestMp4::intactFiles_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"faststart", "index-at-end", "fragmented", "h265"})
        QTest::newRow(name) << QString(name);
}

void TestMp4::intactFiles()
{
    QFETCH(QString, name);
    const Sample *file = sample(name);
    if (!file)
        QSKIP("ffmpeg and ffprobe could not make the test file");
    const Expected<ScanFinding> result = scanFile(file->path);
    QVERIFY(result);
    QVERIFY2(!result->damage, qPrintable(QString::number(result->damage.value_or(-1))));
    QVERIFY(!result->checked.isEmpty());
}

void TestMp4::damagedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("inVideo");
    for (const char *name : {"faststart", "index-at-end", "fragmented", "h265"}) {
        for (const char *damage :
             {"zeros", "zeros-from-a-sample", "random", "html", "cut-out", "cut-end"}) {
            for (bool inVideo : {true, false}) {
                QTest::addRow("%s-%s-%s", name, damage, inVideo ? "video" : "audio")
                    << QString(name) << QString(damage) << inVideo;
            }
        }
    }
}

// The damage starts in a video or audio sample 60% into the file, as a broken download does. The
// scan must not report it later than its first byte, nor earlier than the sample holding
// that byte and 64 KiB more, so that a split before it keeps the good samples.
void TestMp4::damagedFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, damage);
    QFETCH(bool, inVideo);
    const Sample *file = sample(name);
    if (!file)
        QSKIP("ffmpeg and ffprobe could not make the test file");

    const qint64 from = file->bytes.size() * 6 / 10;
    Packet hit;
    for (const Packet &packet : file->packets) {
        if (packet.pos >= from && packet.size > 16 && packet.video == inVideo) {
            hit = packet;
            break;
        }
    }
    QVERIFY(hit.size > 0);
    const qint64 damageAt = damage == "zeros-from-a-sample" ? hit.pos : hit.pos + hit.size / 2;
    QByteArray bytes = file->bytes;
    const qint64 run = std::min<qint64>(Slack, bytes.size() - damageAt);
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

    const Expected<ScanFinding> result = scanFile(write("damaged.mp4", bytes));
    QVERIFY(result);
    QVERIFY2(result->damage, qPrintable(result->checked));
    const qint64 offset = *result->damage;
    QVERIFY2(offset <= damageAt, qPrintable(QStringLiteral("%1 > %2").arg(offset).arg(damageAt)));
    QVERIFY2(damageAt - offset <= hit.size + Slack,
             qPrintable(
                 QStringLiteral("%1 - %2 > %3 + 64 KiB").arg(damageAt).arg(offset).arg(hit.size)));
    // Cut before its index was written, a file is damaged where it ends, so that fetching the
    // rest completes it.
    if (name == "index-at-end" && damage == "cut-end")
        QCOMPARE(offset, damageAt);
}

void TestMp4::handMadeFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("offset"); // -1: no damage; -2: refused

    const HandMade mp4 = handMadeMp4();
    const QByteArray &intact = mp4.bytes;
    const qint64 length = intact.size();
    const qsizetype mvhd = boxAt(intact, "mvhd");
    const qsizetype trak = boxAt(intact, "trak");
    const qsizetype stsz = boxAt(intact, "stsz");
    const qsizetype stco = boxAt(intact, "stco");
    const qsizetype mdat = boxAt(intact, "mdat");
    QTest::newRow("intact") << intact << qint64(-1);

    // A size past the file's end says the file was cut short.
    QByteArray mdatSizeMax = intact;
    patch(mdatSizeMax, mdat, be32(0xFFFFFFFF));
    QTest::newRow("media-data-size-max") << mdatSizeMax << length;
    QByteArray trakSizeMax = intact;
    patch(trakSizeMax, trak, be32(0xFFFFFFFF));
    QTest::newRow("track-size-max") << trakSizeMax << qint64(mvhd);

    // Size 0 makes the index run to the end of the file, over the media data.
    QByteArray moovToTheEnd = intact;
    patch(moovToTheEnd, boxAt(intact, "moov"), be32(0));
    QTest::newRow("index-contains-the-media") << moovToTheEnd << qint64(mp4.chunkEntries);

    const HandMade large = handMadeMp4({300, 301, 400, 250}, {.largeMediaData = true});
    const qsizetype largeMdat = boxAt(large.bytes, "mdat");
    QByteArray overflows = large.bytes;
    patch(overflows, largeMdat + 8, be64(0xFFFFFFFFFFFFFFF0ull));
    QTest::newRow("large-size-overflows") << overflows << qint64(large.bytes.size());
    QByteArray belowHeader = large.bytes;
    patch(belowHeader, largeMdat + 8, be64(8));
    QTest::newRow("large-size-below-header") << belowHeader << qint64(boxAt(large.bytes, "stco"));

    const HandMade wide = handMadeMp4({300, 301, 400, 250}, {.wideOffsets = true});
    QByteArray pastTheEnd = wide.bytes;
    patch(pastTheEnd, wide.chunkEntries, be64(quint64(wide.bytes.size()) + 1000));
    QTest::newRow("co64-past-the-end") << pastTheEnd << qint64(wide.chunkEntries);

    QByteArray billionEntries = intact;
    patch(billionEntries, stsz + 16, be32(1000000000));
    QTest::newRow("size-table-a-billion-long") << billionEntries << qint64(stsz + 16);
    // A billion one-byte samples in one chunk, of a track whose samples are not looked into.
    const HandMade audio = handMadeMp4({300, 301, 400, 250}, {.h264 = false});
    QByteArray billionSamples = audio.bytes;
    patch(billionSamples, boxAt(audio.bytes, "stsz") + 12, be32(1) + be32(1000000000));
    patch(billionSamples, boxAt(audio.bytes, "stsc") + 20, be32(1000000000));
    QTest::newRow("a-billion-samples") << billionSamples << qint64(audio.chunkEntries);

    const HandMade chunks = handMadeMp4({300, 301, 400, 250}, {.chunkPerSample = true});
    QByteArray overlap = chunks.bytes;
    patch(overlap, chunks.chunkEntries + 8, be32(quint32(chunks.samples[0])));
    QTest::newRow("chunks-overlap") << overlap << qint64(chunks.chunkEntries + 8);
    QByteArray backwards = chunks.bytes;
    patch(backwards, chunks.chunkEntries + 8, be32(quint32(stco)));
    QTest::newRow("chunk-inside-the-index") << backwards << qint64(chunks.chunkEntries + 8);

    // Zeros over a prefix began where the zeros begin; other bytes that break the prefixes
    // may have begun anywhere after the last prefix that held.
    QByteArray zeroedPrefix = intact;
    patch(zeroedPrefix, mp4.samples[2], QByteArray(5, '\0'));
    QTest::newRow("prefix-zeroed") << zeroedPrefix << mp4.samples[2];
    QByteArray tooLong = intact;
    patch(tooLong, mp4.samples[2], be32(400 - 4 + 1));
    QTest::newRow("prefix-too-long") << tooLong << mp4.samples[1] + 5;
    QByteArray forbiddenBit = intact;
    patch(forbiddenBit, mp4.samples[3] + 4, QByteArray(1, '\xe5'));
    QTest::newRow("forbidden-bit") << forbiddenBit << mp4.samples[2] + 5;

    QTest::newRow("html-appended") << intact + HtmlPage << mp4.samples[3] + 5;
    QTest::newRow("cut-in-the-index") << intact.left(stco + 12) << qint64(stco + 12);
    QTest::newRow("empty") << QByteArray() << qint64(-2);
    QTest::newRow("web-page") << HtmlPage << qint64(-2);
    QTest::newRow("avi") << QByteArray("RIFF\x04\0\0\0AVI ", 12) << qint64(-2);
}

void TestMp4::handMadeFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, offset);

    const Expected<ScanFinding> result = scanFile(write("hand.mp4", bytes));
    if (offset == -2) {
        QVERIFY(!result);
        QCOMPARE(result.failure().reason(), RepairFailure::Reason::NotReadable);
        return;
    }
    QVERIFY(result);
    QCOMPARE(result->damage.value_or(-1), offset);
}

void TestMp4::fragmentIndexes_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("run-count-max") << "trun";
    QTest::newRow("random-access-points-past-the-end") << "tfra";
}

// The fragments' own tables, in the file ffmpeg made, pointing where nothing is.
void TestMp4::fragmentIndexes()
{
    QFETCH(QString, field);
    const Sample *file = sample("fragmented");
    if (!file)
        QSKIP("ffmpeg and ffprobe could not make the test file");
    QByteArray bytes = file->bytes;
    const qsizetype at = boxAt(bytes, qPrintable(field));
    QVERIFY(at > 0);
    qint64 expected = 0;
    if (field == "trun") {
        expected = at + 12;
        patch(bytes, expected, be32(0xFFFFFFFF));
    } else {
        QCOMPARE(bytes[at + 8], '\x01'); // 64-bit times and offsets
        expected = at + 8 + 16;
        patch(bytes, expected + 8, be64(0xFFFFFFFFFFFFull));
    }
    const Expected<ScanFinding> result = scanFile(write("fragments.mp4", bytes));
    QVERIFY(result);
    QCOMPARE(result->damage.value_or(-1), expected);
}

void TestMp4::chosenByContent()
{
    const HandMade mp4 = handMadeMp4();
    for (const char *name : {"movie.avi", "movie.bin"}) {
        const QString path = write(name, mp4.bytes + HtmlPage);
        const Expected<ScanFinding> result = MediaScanner::Scan(path, {});
        QVERIFY(result);
        QCOMPARE(result->damage.value_or(-1), mp4.samples[3] + 5);
    }
}

void TestMp4::stopsWhenAsked()
{
    // Enough samples that the scan asks several times.
    const HandMade mp4 = handMadeMp4(QList<quint32>(5000, 6));
    const QString path = write("long.mp4", mp4.bytes);
    int asked = 0;
    CopyHooks hooks;
    hooks.stopRequested = [&asked] { return ++asked == 2; };
    const Expected<ScanFinding> result = scanFile(path, hooks);
    QVERIFY(!result);
    QCOMPARE(result.failure().reason(), RepairFailure::Reason::Interrupted);
    QCOMPARE(asked, 2);
    QVERIFY(scanFile(path));
}

void TestMp4::pastFourGibibytes_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("intact") << "none";
    QTest::newRow("prefix-zeroed") << "zeros";
    QTest::newRow("cut-end") << "cut";
}

// Samples of 64 MiB whose payload is left as a hole, so the file takes no room: 64-bit
// chunk offsets and a 64-bit media data size.
void TestMp4::pastFourGibibytes()
{
    QFETCH(QString, damage);
    const quint32 sampleSize = 64 * 1024 * 1024;
    const Layout layout
        = layoutMp4(QList<quint32>(70, sampleSize),
                    {.chunkPerSample = true, .wideOffsets = true, .largeMediaData = true});
    const qint64 length = layout.samples.last() + sampleSize;
    QVERIFY(length > (qint64(1) << 32));
    const QString path = m_dir->filePath("large.mp4");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (!file.resize(length))
            QSKIP("The temporary folder's file system cannot hold a file over 4 GiB");
        QVERIFY(file.write(layout.head) == layout.head.size());
        for (qint64 at : layout.samples)
            QVERIFY(file.seek(at) && file.write(be32(sampleSize - 4) + '\x65') == 5);
    }
    // The first sample past 4 GiB.
    qint64 target = 0;
    for (qint64 at : layout.samples) {
        if (at > (qint64(1) << 32)) {
            target = at;
            break;
        }
    }
    qint64 expected = -1;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    if (damage == "zeros") {
        QVERIFY(file.seek(target) && file.write(QByteArray(5, '\0')) == 5);
        // The zeros before it are the payload of the sample before: a run too long to follow.
        expected = target - sampleSize + 5;
    } else if (damage == "cut") {
        QVERIFY(file.resize(target + 1000));
        expected = target;
    }
    file.close();
    const Expected<ScanFinding> result = scanFile(path);
    QFile::remove(path);
    QVERIFY(result);
    QCOMPARE(result->damage.value_or(-1), expected);
}

QTEST_GUILESS_MAIN(TestMp4)
#include "tst_mp4.moc"
