#include "AviScanner.h"
#include "ErrorOffset.h"
#include "MediaScanner.h"
#include "TestFiles.h"
#include "TestFolder.h"
#include "TestWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {

// A chunk of a real file as ffprobe lists it: where its header starts, and its size with
// the header.
struct Packet
{
    qint64 header = 0;
    qint64 span = 0;
};

// A file made by ffmpeg, its chunks, where its damage goes and how many bytes it covers.
struct Sample
{
    QString path;
    QList<Packet> packets;
    qint64 damageFrom = 0;
    qint64 damageLength = 0;
};

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

bool makeAvi(const QString &path, const QString &video, const QString &audio,
             const QStringList &encoding)
{
    QStringList arguments
        = {"-v", "error", "-y", "-f", "lavfi", "-i", video, "-f", "lavfi", "-i", audio};
    arguments << encoding << path;
    return run(QStringLiteral("ffmpeg"), arguments);
}

// ffprobe's packet positions point at the data, eight bytes past each chunk's header.
QList<Packet> packetsOf(const QString &path)
{
    QByteArray listing;
    if (!run(QStringLiteral("ffprobe"),
             {"-v", "error", "-show_entries", "packet=pos,size", "-of", "csv=p=0", path}, &listing))
        return {};
    QList<Packet> packets;
    for (const QByteArray &line : listing.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() == 2)
            packets.append({fields[1].toLongLong() - 8, fields[0].toLongLong() + 8});
    }
    return packets;
}

// What a scan came to, in one word and an offset.
struct Result
{
    enum Kind { DamageFound, NoDamageFound, NotAnAvi, Failed };
    Kind kind = NoDamageFound;
    qint64 offset = 0;
    QString checked;
    std::optional<RepairFailure> failure;
};

Result scanFile(const QString &path)
{
    const CopyHooks hooks;
    AviScanner scanner(path);
    const Expected<ScanFinding> found = scanner.scan(hooks);
    if (!found && found.failure().reason() == RepairFailure::Reason::NotReadable)
        return {Result::NotAnAvi, 0, {}, found.failure()};
    if (!found)
        return {Result::Failed, 0, {}, found.failure()};
    if (found->damage)
        return {Result::DamageFound, *found->damage, found->checked, std::nullopt};
    return {Result::NoDamageFound, 0, found->checked, std::nullopt};
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray le64(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char *id, const QByteArray &data)
{
    QByteArray bytes = QByteArray(id, 4) + le32(quint32(data.size())) + data;
    if (data.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray list(const char *id, const char *type, const QByteArray &children)
{
    return chunk(id, QByteArray(type, 4) + children);
}

void patch32(QByteArray &bytes, qsizetype at, quint32 value)
{
    bytes.replace(at, 4, le32(value));
}

const QByteArray HtmlPage = "<html><head><title>504 Gateway Timeout</title></head><body><h1>"
                            "Gateway Timeout</h1><p>The proxy did not receive a timely response"
                            " from the upstream server.</p></body></html>\n";

// A small AVI made by hand: one video stream with frames of the given sizes, an OpenDML
// chunk index after every `framesPerIndex` frames and a legacy index after the movie list.
QByteArray handMadeAvi(const QList<int> &frameSizes, int framesPerIndex = 0)
{
    QByteArray mainHeader(56, '\0');
    mainHeader.replace(24, 4, le32(1)); // one stream
    const QByteArray streamHeader = QByteArray("vids") + QByteArray(52, '\0');
    const QByteArray hdrl
        = list("LIST", "hdrl",
               chunk("avih", mainHeader)
                   + list("LIST", "strl",
                          chunk("strh", streamHeader) + chunk("strf", QByteArray(40, '\0'))));
    const qint64 moviFourcc = 12 + hdrl.size() + 8;
    if (framesPerIndex <= 0)
        framesPerIndex = int(frameSizes.size());

    QByteArray content;
    QByteArray legacyEntries;
    QByteArray chunkEntries;
    for (int i = 0; i < frameSizes.size(); ++i) {
        const qint64 offset = 4 + content.size();
        legacyEntries += QByteArray("00dc") + le32(0x10) + le32(quint32(offset))
                         + le32(quint32(frameSizes[i]));
        chunkEntries += le32(quint32(offset + 8)) + le32(quint32(frameSizes[i]));
        content += chunk("00dc", QByteArray(frameSizes[i], char('a' + i % 26)));
        if ((i + 1) % framesPerIndex == 0 || i + 1 == frameSizes.size()) {
            const QByteArray fields = QByteArray("\x02\x00\x00\x01", 4)
                                      + le32(quint32(chunkEntries.size() / 8)) + QByteArray("00dc")
                                      + le64(quint64(moviFourcc)) + le32(0);
            content += chunk("ix00", fields + chunkEntries);
            chunkEntries.clear();
        }
    }
    const QByteArray movi = list("LIST", "movi", content);
    return list("RIFF", "AVI ", hdrl + movi + chunk("idx1", legacyEntries));
}

QByteArray handMadeAvi()
{
    return handMadeAvi({2000, 2001, 3000});
}

// Where the legacy index's n-th entry begins.
qsizetype legacyEntry(const QByteArray &avi, int n)
{
    return avi.lastIndexOf("idx1") + 8 + 16 * n;
}

} // namespace

class TestFindDamage : public QObject
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
    void foldersAndMissingFilesFail();
    void damageLineIsReadAsAnErrorOffset();
    void windowReports_data();
    void windowReports();
    void splitKeepsThePartBeforeTheDamage();
    void ignoresCommandsAndDefersCloseWhileScanning();

private:
    const Sample *sample(const QString &name) const;
    QString write(const QString &name, const QByteArray &bytes);

    std::unique_ptr<TestFolder> m_dir;
    Sample m_small;
    Sample m_openDml;
};

void TestFindDamage::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("Saltwick"));
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());

    // Video and audio with a legacy index: a few seconds of MPEG-4 and PCM.
    m_small.path = m_dir->filePath("small.avi");
    if (makeAvi(m_small.path, "testsrc=size=320x240:rate=25",
                "sine=frequency=440:sample_rate=44100",
                {"-t", "4", "-c:v", "mpeg4", "-c:a", "pcm_s16le"}))
        m_small.packets = packetsOf(m_small.path);
    m_small.damageFrom = QFileInfo(m_small.path).size() * 6 / 10;
    m_small.damageLength = 64 * 1024;

    // Over 1 GiB, so that an OpenDML extension follows the first RIFF: raw frames are
    // quick to make. The damage goes into the extension, near the end.
    m_openDml.path = m_dir->filePath("opendml.avi");
    if (makeAvi(m_openDml.path, "color=c=gray:size=640x480:rate=25",
                "sine=frequency=440:sample_rate=8000",
                {"-t", "96", "-c:v", "rawvideo", "-pix_fmt", "yuv420p", "-c:a", "pcm_u8"}))
        m_openDml.packets = packetsOf(m_openDml.path);
    m_openDml.damageFrom = QFileInfo(m_openDml.path).size() - 8 * 1024 * 1024;
    m_openDml.damageLength = 2 * 1024 * 1024;
}

const Sample *TestFindDamage::sample(const QString &name) const
{
    const Sample *found = name == "small" ? &m_small : &m_openDml;
    return found->packets.isEmpty() ? nullptr : found;
}

QString TestFindDamage::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    if (!TestFiles::Write(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestFindDamage::intactFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("video-audio-legacy-index") << "small";
    QTest::newRow("opendml-over-1GiB") << "opendml";
}

void TestFindDamage::intactFiles()
{
    QFETCH(QString, name);
    const Sample *file = sample(name);
    if (!file)
        QSKIP("ffmpeg and ffprobe could not make the test file (missing, or no room)");
    if (name == "opendml")
        QVERIFY(QFileInfo(file->path).size() > (qint64(1) << 30));

    const Result result = scanFile(file->path);
    QCOMPARE(result.kind, Result::NoDamageFound);
    QVERIFY(!result.checked.isEmpty());
}

void TestFindDamage::damagedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("damage");
    for (const char *name : {"small", "opendml"}) {
        for (const char *damage :
             {"zeros", "zeros-from-a-header", "random", "html", "cut-out", "cut-end"})
            QTest::addRow("%s-%s", name, damage) << QString(name) << QString(damage);
    }
}

// The damage starts in the middle of a chunk's data, as a broken download does. The file is
// damaged in place and given back afterwards, which costs only its tail.
void TestFindDamage::damagedFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, damage);
    const Sample *file = sample(name);
    if (!file)
        QSKIP("ffmpeg and ffprobe could not make the test file (missing, or no room)");

    Packet hit;
    for (const Packet &packet : file->packets) {
        if (packet.header >= file->damageFrom && packet.span > 16) {
            hit = packet;
            break;
        }
    }
    QVERIFY(hit.span > 0);
    // Zeros from a header on are the case where the chunk before must not be blamed.
    const qint64 damageAt
        = damage == "zeros-from-a-header" ? hit.header : hit.header + hit.span / 2;

    QFile avi(file->path);
    QVERIFY(avi.open(QIODevice::ReadWrite));
    const qint64 length = avi.size();
    QVERIFY(avi.seek(damageAt));
    const QByteArray tail = avi.readAll();
    const qint64 run = qMin(file->damageLength, qint64(tail.size()));
    QVERIFY(avi.seek(damageAt));
    if (damage.startsWith("zeros")) {
        avi.write(QByteArray(run, '\0'));
    } else if (damage == "random") {
        QByteArray noise(run, '\0');
        QRandomGenerator generator(7);
        for (char &byte : noise)
            byte = char(generator.bounded(256));
        avi.write(noise);
    } else if (damage == "html") {
        avi.write(HtmlPage + tail);
    } else if (damage == "cut-out") {
        avi.write(tail.mid(run));
        QVERIFY(avi.resize(length - run));
    } else {
        QVERIFY(avi.resize(damageAt));
    }
    avi.flush();

    const Result result = scanFile(file->path);

    QVERIFY(avi.seek(damageAt));
    QCOMPARE(avi.write(tail), tail.size());
    QVERIFY(avi.resize(length));
    avi.close();

    QCOMPARE(result.kind, Result::DamageFound);
    // Never past the first damaged byte, and never more than its chunk before it.
    QVERIFY2(result.offset <= damageAt,
             qPrintable(QStringLiteral("%1 > %2").arg(result.offset).arg(damageAt)));
    QVERIFY2(
        damageAt - result.offset <= hit.span,
        qPrintable(QStringLiteral("%1 - %2 > %3").arg(damageAt).arg(result.offset).arg(hit.span)));
}

void TestFindDamage::handMadeFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Result::Kind>("kind");
    QTest::addColumn<qint64>("offset");

    const QByteArray avi = handMadeAvi();
    const qsizetype firstFrame = avi.indexOf("00dc");
    const qsizetype secondFrame = avi.indexOf("00dc", firstFrame + 8);
    const qsizetype chunkIndex = avi.indexOf("ix00");
    const auto damaged = Result::DamageFound;
    QTest::newRow("intact") << avi << Result::NoDamageFound << qint64(0);

    // Some writers count the legacy index's offsets from the file's start.
    QByteArray absoluteOffsets = avi;
    const quint32 moviFourcc = quint32(avi.indexOf("movi"));
    for (int n = 0; n < 3; ++n) {
        const qsizetype field = legacyEntry(avi, n) + 8;
        patch32(absoluteOffsets, field,
                qFromLittleEndian<quint32>(avi.constData() + field) + moviFourcc);
    }
    QTest::newRow("absolute-legacy-offsets")
        << absoluteOffsets << Result::NoDamageFound << qint64(0);

    QByteArray riffSizeMax = avi;
    patch32(riffSizeMax, 4, 0xFFFFFFFF);
    // The file is shorter than its own size says: damaged where it ends.
    QTest::newRow("riff-size-max") << riffSizeMax << damaged << qint64(avi.size());

    QByteArray frameSizeMax = avi;
    patch32(frameSizeMax, secondFrame + 4, 0xFFFFFFFF);
    QTest::newRow("chunk-size-max") << frameSizeMax << damaged << qint64(firstFrame);

    // A list inside the movie list that reaches past it, over its own parent.
    QByteArray containsItself = avi;
    containsItself.replace(firstFrame, 4, "LIST");
    containsItself.replace(firstFrame + 8, 4, "rec ");
    patch32(containsItself, firstFrame + 4, quint32(avi.size()));
    QTest::newRow("list-over-its-parent") << containsItself << damaged << qint64(firstFrame);

    QByteArray riffSizeZero = avi;
    patch32(riffSizeZero, 4, 0);
    QTest::newRow("riff-size-zero") << riffSizeZero << damaged << qint64(0);

    QByteArray unknownStream = avi;
    unknownStream.replace(secondFrame, 2, "07");
    QTest::newRow("unknown-stream") << unknownStream << damaged << qint64(firstFrame);

    QByteArray pointsBack = avi;
    patch32(pointsBack, legacyEntry(avi, 2) + 8, 4);
    QTest::newRow("index-points-backwards") << pointsBack << damaged << qint64(legacyEntry(avi, 2));

    QByteArray pointsPastEnd = avi;
    patch32(pointsPastEnd, legacyEntry(avi, 1) + 8, 0xFFFFFFF0);
    QTest::newRow("index-points-past-end")
        << pointsPastEnd << damaged << qint64(legacyEntry(avi, 1));

    QByteArray tooManyEntries = avi;
    patch32(tooManyEntries, chunkIndex + 12, 0xFFFFFFFF);
    QTest::newRow("index-count-max") << tooManyEntries << damaged << qint64(chunkIndex + 12);

    QByteArray baseOverflows = avi;
    baseOverflows.replace(chunkIndex + 20, 8, le64(0xFFFFFFFFFFFFFFF0ull));
    QTest::newRow("index-base-overflows")
        << baseOverflows << damaged << qint64(chunkIndex + 8 + 24);

    // More headers and index chunks than the scanner keeps from its walk.
    const QByteArray manyChunks = handMadeAvi(QList<int>(210000, 2), 40);
    QByteArray lastEntryWrong = manyChunks;
    patch32(lastEntryWrong, legacyEntry(manyChunks, 209999) + 12, 3);
    QTest::newRow("many-chunks-intact")
        << manyChunks << Result::NoDamageFound << qint64(0);
    QTest::newRow("many-chunks-last-entry")
        << lastEntryWrong << damaged << qint64(legacyEntry(manyChunks, 209999));
    QByteArray lastChunkIndexWrong = manyChunks;
    const qsizetype lastChunkIndex = manyChunks.lastIndexOf("ix00");
    patch32(lastChunkIndexWrong, lastChunkIndex + 8 + 24 + 4, 3);
    QTest::newRow("many-chunks-last-chunk-index")
        << lastChunkIndexWrong << damaged << qint64(lastChunkIndex + 8 + 24);

    QTest::newRow("html-appended") << avi + HtmlPage << damaged << qint64(avi.size());
    QTest::newRow("empty") << QByteArray() << Result::NotAnAvi << qint64(0);
    QTest::newRow("wave") << list("RIFF", "WAVE", chunk("fmt ", QByteArray(16, '\0')))
                          << Result::NotAnAvi << qint64(0);
    QTest::newRow("web-page") << HtmlPage << Result::NotAnAvi << qint64(0);
}

void TestFindDamage::handMadeFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Result::Kind, kind);
    QFETCH(qint64, offset);

    const Result result = scanFile(write("hand.avi", bytes));
    QCOMPARE(result.kind, kind);
    QCOMPARE(result.offset, offset);
}

void TestFindDamage::foldersAndMissingFilesFail()
{
    for (const QString &path : {m_dir->path(), m_dir->filePath("missing.avi")}) {
        const Result result = scanFile(path);
        QCOMPARE(result.kind, Result::Failed);
        QVERIFY(result.failure);
    }
}

void TestFindDamage::damageLineIsReadAsAnErrorOffset()
{
    QCOMPARE(MediaScanner::DamageLine(123456789),
             QStringLiteral("Damage found at offset: 123456789 (75BCD15h)"));
    const Expected<QString> entry
        = ErrorOffset::ApplyErrorOffset(MediaScanner::DamageLine(5000000000));
    QVERIFY(entry);
    QCOMPARE(*entry, QStringLiteral("4999950000"));
}

void TestFindDamage::windowReports_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("sizeBox");
    QTest::addColumn<QString>("status");

    const QByteArray avi = handMadeAvi({1000, 1000, 1000});
    const QString length = QString::number(avi.size());
    QTest::newRow("damaged")
        << avi + HtmlPage << MediaScanner::DamageLine(avi.size())
        << QStringLiteral("Damage found at byte %1,%2; press Split to keep the part before it")
               .arg(avi.size() / 1000)
               .arg(avi.size() % 1000, 3, 10, QLatin1Char('0'));
    QTest::newRow("intact") << avi << length << "No damage found in movie.avi";
    QTest::newRow("not-an-avi") << HtmlPage << QString::number(HtmlPage.size())
                                << "movie.avi is not a file Saltwick can read: AVI, Matroska and "
                                   "MP4 can be checked";
}

void TestFindDamage::windowReports()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sizeBox);
    QFETCH(QString, status);

    const QString path = write("movie.avi", bytes);
    TestWindow window;
    QVERIFY(window.showActive());
    window.form.Form_Load(path);
    QVERIFY(window.get<QLineEdit>("txtSize")->toolTip().contains("Ctrl+F"));
    QTest::keyClick(&window.form, Qt::Key_F, Qt::ControlModifier);

    QCOMPARE(window.sizeBox(), sizeBox);
    QCOMPARE(window.status(), status);
    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(path), bytes);
}

void TestFindDamage::splitKeepsThePartBeforeTheDamage()
{
    const QByteArray avi = handMadeAvi({30000, 30001, 30000});
    const QString path = write("movie.avi", avi + HtmlPage);
    TestWindow window;
    window.form.Form_Load(path);
    window.form.findChild<QAction *>("actFindDamage")->trigger();
    window.click("cmdSplit");

    QCOMPARE(window.prompts.messages, QStringList());
    QCOMPARE(TestFiles::Read(m_dir->filePath("movie.QQQ")), avi.left(avi.size() - 50000));
    QVERIFY(QFile::remove(m_dir->filePath("movie.QQQ")));
}

void TestFindDamage::ignoresCommandsAndDefersCloseWhileScanning()
{
    // Enough chunks that the scan hands control to the window several times.
    const QString path = write("movie.avi", handMadeAvi(QList<int>(5000, 2)));
    const QString other = write("other.avi", HtmlPage);
    TestWindow window;
    QVERIFY(window.showActive());
    window.form.Form_Load(path);
    window.get<QPushButton>("cmdMerge")->setEnabled(true);

    bool closedDuringScan = true;
    bool tried = false;
    QObject::connect(&window.form, &Form1::copyYielded, &window.form, [&] {
        if (tried)
            return;
        tried = true;
        closedDuringScan = window.tryEveryCommandAndClose(other);
    });
    QTest::keyClick(&window.form, Qt::Key_F, Qt::ControlModifier);

    QVERIFY(tried);
    QVERIFY(!closedDuringScan);
    QCOMPARE(window.dialog.opened, 0);
    QCOMPARE(window.fileBox(), path);
    QCOMPARE(window.status(), QStringLiteral("No damage found in movie.avi"));
    QVERIFY(!QFile::exists(m_dir->filePath("movie.QQQ")));
    QVERIFY(!window.form.isVisible());
}

QTEST_MAIN(TestFindDamage)
#include "tst_finddamage.moc"
