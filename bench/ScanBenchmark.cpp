#include "ScanBenchmark.h"

#include "AviScanner.h"
#include "MediaScanner.h"
#include "ProcessMemory.h"
#include "Report.h"
#include "TimedCommand.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

using Report::Fixed;
using Report::Median;
using Report::Say;

namespace {

// Raw 640x480 frames at 25 a second and 8 kHz audio: quick to make, and about 37,000
// chunks and their index entries in 4 GiB.
const double BytesPerSecond = 640 * 480 * 3 / 2 * 25 + 8000;
// An MP4 is ten seconds of H.264 and AAC, made once and repeated without encoding again:
// about 1.2 MB a second, so 4 GiB hold about 90,000 video and 170,000 audio samples.
const int Mp4ClipSeconds = 10;
// Raw 320x240 frames and 11 kHz audio in Matroska: about 53,000 blocks in 4 GiB.
const double MatroskaBytesPerSecond = 320 * 240 * 3 / 2 * 25 + 11025 * 2;
const double RatioTarget = 10;
const double MatroskaRatioTarget = 8;
const double MemoryTargetMB = 8;

// A file made to stall the scan takes it at most this long per 100 MB.
const double StallingSecondsPer100MB = 1;

QString Met(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("NOT met");
}

QByteArray Le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray Chunk(const char *id, const QByteArray &data)
{
    return QByteArray(id, 4) + Le32(quint32(data.size())) + data;
}

// More empty JUNK chunks than the scanner keeps the headers of, two frames behind them and
// an ix00 of 10 million entries that point at the two in turn: 82 MB.
QByteArray StallingAvi()
{
    QByteArray mainHeader(56, '\0');
    mainHeader.replace(24, 4, Le32(1));
    const QByteArray strl
        = Chunk("LIST", QByteArray("strl") + Chunk("strh", "vids" + QByteArray(52, '\0'))
                            + Chunk("strf", QByteArray(40, '\0')));
    const QByteArray hdrl = Chunk("LIST", QByteArray("hdrl") + Chunk("avih", mainHeader) + strl);
    QByteArray movi = Chunk("JUNK", {}).repeated(200001);
    const qint64 childrenStart = 12 + hdrl.size() + 12;
    QByteArray pair;
    for (int i = 0; i < 2; ++i) {
        pair += Le32(quint32(childrenStart + movi.size() + 8)) + Le32(4096);
        movi += Chunk("00dc", QByteArray(4096, 'v'));
    }
    const qint64 entries = 10000000;
    const QByteArray fields = QByteArray("\x02\x00\x00\x01", 4) + Le32(quint32(entries))
                              + QByteArray("00dc") + QByteArray(12, '\0');
    movi += Chunk("ix00", fields + pair.repeated(entries / 2));
    return Chunk("RIFF", QByteArray("AVI ") + hdrl + Chunk("LIST", QByteArray("movi") + movi));
}

} // namespace

ScanBenchmark::ScanBenchmark(const QString &folder, int rounds, const QStringList &only)
    : m_folder(folder), m_rounds(rounds), m_only(only)
{
}

bool ScanBenchmark::run()
{
    Say(QStringLiteral("Folder %1, %2 rounds; each figure is the median of the rounds, with "
                       "the file in the page cache.")
            .arg(m_folder)
            .arg(m_rounds));
    const qint64 gibibyte = qint64(1) << 30;
    struct Row
    {
        QString name;
        qint64 size;
        Format format;
    };
    const QList<Row> rows = {{QStringLiteral("scan-1GiB"), gibibyte, Format::Avi},
                             {QStringLiteral("scan-4GiB"), 4 * gibibyte, Format::Avi},
                             {QStringLiteral("scan-mkv-1GiB"), gibibyte, Format::Matroska},
                             {QStringLiteral("scan-mkv-4GiB"), 4 * gibibyte, Format::Matroska},
                             {QStringLiteral("scan-mp4-1GiB"), gibibyte, Format::Mp4},
                             {QStringLiteral("scan-mp4-4GiB"), 4 * gibibyte, Format::Mp4}};
    for (const Row &row : rows) {
        if (!m_only.isEmpty() && !m_only.contains(row.name))
            continue;
        const QString extension = row.format == Format::Avi        ? QStringLiteral(".avi")
                                  : row.format == Format::Matroska ? QStringLiteral(".mkv")
                                                                   : QStringLiteral(".mp4");
        const QString path = m_folder + u'/' + row.name + extension;
        const bool made = row.format == Format::Avi        ? makeAvi(path, row.size)
                          : row.format == Format::Matroska ? makeMatroska(path, row.size)
                                                           : makeMp4(path, row.size);
        const bool measured
            = made
              && measure(row.name, path,
                         row.format == Format::Matroska ? MatroskaRatioTarget : RatioTarget);
        QFile::remove(path);
        if (!measured)
            return false;
    }
    if (!m_only.isEmpty() && !m_only.contains(QStringLiteral("stalling")))
        return true;
    return measureStalling();
}

bool ScanBenchmark::measureStalling() const
{
    const QString path = m_folder + QStringLiteral("/stalling.avi");
    QFile file(path);
    const QByteArray bytes = StallingAvi();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    file.close();
    const CopyHooks hooks{[] { QCoreApplication::processEvents(); }, {}};
    QList<double> seconds;
    qint64 reads = 0;
    for (int round = -1; round < m_rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        AviScanner scanner(path);
        const Expected<ScanFinding> result = scanner.scan(hooks);
        if (round >= 0)
            seconds << clock.nsecsElapsed() / 1e9;
        reads = scanner.readsMade();
        if (!result || result->damage) {
            fail(QStringLiteral("the scan of %1 did not say \"no damage found\"").arg(path));
            QFile::remove(path);
            return false;
        }
    }
    QFile::remove(path);
    const double per100MB = Median(seconds) / (bytes.size() / 1e8);
    Say(QStringLiteral("stalling: %1 bytes, 200,001 empty JUNK chunks and an ix00 of 10 million "
                       "entries pointing beyond the kept headers")
            .arg(bytes.size()));
    Say(QStringLiteral("  saltwick scan %1 ms, %2 reads of the file; %3 s per 100 MB (target "
                       "at most %4: %5)")
            .arg(Fixed(Median(seconds) * 1000, 1))
            .arg(reads)
            .arg(Fixed(per100MB, 3), Fixed(StallingSecondsPer100MB, 0),
                 Met(per100MB <= StallingSecondsPer100MB)));
    Say(QStringLiteral("RESULT op=stalling bytes=%1 rounds=%2 stat=median saltwick_ms=%3 reads=%4")
            .arg(bytes.size())
            .arg(m_rounds)
            .arg(Fixed(Median(seconds) * 1000, 2))
            .arg(reads));
    return true;
}

bool ScanBenchmark::makeAvi(const QString &path, qint64 atLeast) const
{
    const QString seconds = QString::number(int(atLeast / BytesPerSecond) + 2);
    const QList<CommandStep> make = {{QStringLiteral("ffmpeg"),
                                      {"-v",
                                       "error",
                                       "-y",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "color=c=gray:size=640x480:rate=25",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=440:sample_rate=8000",
                                       "-t",
                                       seconds,
                                       "-c:v",
                                       "rawvideo",
                                       "-pix_fmt",
                                       "yuv420p",
                                       "-c:a",
                                       "pcm_u8",
                                       path},
                                      {},
                                      false}};
    QString error;
    Say(QStringLiteral("Making %1 with ffmpeg...").arg(path));
    if (!RunTimed(make, m_folder, error)) {
        fail(error);
        return false;
    }
    return true;
}

bool ScanBenchmark::makeMatroska(const QString &path, qint64 atLeast) const
{
    const QString seconds = QString::number(int(atLeast / MatroskaBytesPerSecond) + 2);
    const QList<CommandStep> make = {{QStringLiteral("ffmpeg"),
                                      {"-v",
                                       "error",
                                       "-y",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "color=c=gray:size=320x240:rate=25",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=440:sample_rate=11025",
                                       "-t",
                                       seconds,
                                       "-c:v",
                                       "rawvideo",
                                       "-pix_fmt",
                                       "yuv420p",
                                       "-c:a",
                                       "pcm_s16le",
                                       path},
                                      {},
                                      false}};
    QString error;
    Say(QStringLiteral("Making %1 with ffmpeg...").arg(path));
    if (!RunTimed(make, m_folder, error)) {
        fail(error);
        return false;
    }
    return true;
}

bool ScanBenchmark::makeMp4(const QString &path, qint64 atLeast) const
{
    const QString clip = m_folder + QStringLiteral("/clip.mp4");
    const QList<CommandStep> encode = {{QStringLiteral("ffmpeg"),
                                        {"-v",
                                         "error",
                                         "-y",
                                         "-f",
                                         "lavfi",
                                         "-i",
                                         "testsrc2=size=1280x720:rate=25",
                                         "-f",
                                         "lavfi",
                                         "-i",
                                         "sine=frequency=440:sample_rate=48000",
                                         "-t",
                                         QString::number(Mp4ClipSeconds),
                                         "-c:v",
                                         "libx264",
                                         "-preset",
                                         "ultrafast",
                                         "-qp",
                                         "12",
                                         "-g",
                                         "50",
                                         "-c:a",
                                         "aac",
                                         clip},
                                        {},
                                        false}};
    QString error;
    Say(QStringLiteral("Making %1 with ffmpeg...").arg(path));
    if (!RunTimed(encode, m_folder, error)) {
        fail(error);
        return false;
    }
    const qint64 clipBytes = QFileInfo(clip).size();
    const QString loops = QString::number(atLeast / std::max<qint64>(clipBytes, 1));
    const QList<CommandStep> repeat
        = {{QStringLiteral("ffmpeg"),
            {"-v", "error", "-y", "-stream_loop", loops, "-i", clip, "-c", "copy", path},
            {},
            false}};
    const bool made = RunTimed(repeat, m_folder, error).has_value();
    QFile::remove(clip);
    if (!made)
        fail(error);
    return made;
}

bool ScanBenchmark::measure(const QString &name, const QString &path, double ratioTarget) const
{
    const QList<CommandStep> ffprobe
        = {{QStringLiteral("ffprobe"),
            {"-v", "error", "-show_entries", "packet=pos", "-of", "csv", path},
            QStringLiteral("packets.csv"),
            false}};
    const CopyHooks hooks{[] { QCoreApplication::processEvents(); }, {}};
    QList<double> scanSeconds;
    QList<double> ffprobeSeconds;
    qint64 peak = 0;
    QString checked;
    QString error;
    // The first round of each only fills the page cache.
    for (int round = -1; round < m_rounds; ++round) {
        const qint64 baseline = ProcessMemory::Resident();
        const bool peakReset = ProcessMemory::ResetPeak();
        QElapsedTimer clock;
        clock.start();
        const Expected<ScanFinding> result = MediaScanner::Scan(path, hooks);
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (!result || result->damage) {
            fail(QStringLiteral("the scan of the intact %1 did not say \"no damage found\"")
                     .arg(path));
            return false;
        }
        if (peakReset)
            peak = std::max(peak, ProcessMemory::Peak() - baseline);
        checked = result->checked;
        const std::optional<double> probed = RunTimed(ffprobe, m_folder, error);
        if (!probed) {
            fail(error);
            return false;
        }
        if (round >= 0) {
            scanSeconds << seconds;
            ffprobeSeconds << *probed;
        }
    }
    QFile::remove(m_folder + QStringLiteral("/packets.csv"));

    const double scanMs = Median(scanSeconds) * 1000;
    const double ffprobeMs = Median(ffprobeSeconds) * 1000;
    const double ratio = ffprobeMs / scanMs;
    const double peakMB = peak / 1e6;
    const qint64 bytes = QFileInfo(path).size();
    Say(QStringLiteral("%1: %2 bytes, %3").arg(name).arg(bytes).arg(checked));
    Say(QStringLiteral("  saltwick scan %1 ms, %2 %3 ms, ffprobe/saltwick = %4 (target at "
                       "least %5: %6)")
            .arg(Fixed(scanMs, 1), Describe(ffprobe), Fixed(ffprobeMs, 1), Fixed(ratio, 1),
                 Fixed(ratioTarget, 0), Met(ratio >= ratioTarget)));
    Say(QStringLiteral("  memory: peak %1 MB above the resident size before the scan (target "
                       "at most %2 MB: %3)")
            .arg(Fixed(peakMB, 2), Fixed(MemoryTargetMB, 0), Met(peakMB <= MemoryTargetMB)));
    Say(QStringLiteral("RESULT op=%1 bytes=%2 rounds=%3 stat=median saltwick_ms=%4 "
                       "ffprobe_ms=%5 ratio_ffprobe=%6 peak_rss_mb=%7")
            .arg(name)
            .arg(bytes)
            .arg(m_rounds)
            .arg(Fixed(scanMs, 2), Fixed(ffprobeMs, 2), Fixed(ratio, 1), Fixed(peakMB, 2)));
    return true;
}

void ScanBenchmark::fail(const QString &why) const
{
    std::fprintf(stderr, "saltwick-bench: %s\n", qPrintable(why));
}
