#include "ScanBenchmark.h"

#include "AviScanner.h"
#include "MatroskaScanner.h"
#include "ProcessMemory.h"
#include "Report.h"
#include "TimedCommand.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <cstdio>

using Report::Fixed;
using Report::Median;
using Report::Say;

namespace {

// AVI: raw 640x480 frames at 25 a second and 8 kHz audio, quick to make, and about 37,000
// chunks and their index entries in 4 GiB. Matroska: raw 320x240 frames and 11 kHz audio,
// about 53,000 blocks in 4 GiB.
const double AviBytesPerSecond = 640 * 480 * 3 / 2 * 25 + 8000;
const double MatroskaBytesPerSecond = 320 * 240 * 3 / 2 * 25 + 11025 * 2;
const double AviRatioTarget = 10;
const double MatroskaRatioTarget = 8;
const double MemoryTargetMB = 8;

QString Met(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("NOT met");
}

} // namespace

ScanBenchmark::ScanBenchmark(const QString &folder, int rounds, const QStringList &rows)
    : m_folder(folder), m_rounds(rounds), m_rows(rows)
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
                             {QStringLiteral("scan-mkv-4GiB"), 4 * gibibyte, Format::Matroska}};
    for (const Row &row : rows) {
        if (!m_rows.isEmpty() && !m_rows.contains(row.name))
            continue;
        const QString path
            = m_folder + u'/' + row.name
              + (row.format == Format::Avi ? QStringLiteral(".avi") : QStringLiteral(".mkv"));
        const bool measured
            = makeFile(path, row.size, row.format) && measure(row.name, path, row.format);
        QFile::remove(path);
        if (!measured)
            return false;
    }
    return true;
}

bool ScanBenchmark::makeFile(const QString &path, qint64 atLeast, Format format) const
{
    const bool avi = format == Format::Avi;
    const double bytesPerSecond = avi ? AviBytesPerSecond : MatroskaBytesPerSecond;
    const QString seconds = QString::number(int(atLeast / bytesPerSecond) + 2);
    const QList<CommandStep> make
        = {{QStringLiteral("ffmpeg"),
            {"-v",
             "error",
             "-y",
             "-f",
             "lavfi",
             "-i",
             avi ? "color=c=gray:size=640x480:rate=25" : "color=c=gray:size=320x240:rate=25",
             "-f",
             "lavfi",
             "-i",
             avi ? "sine=frequency=440:sample_rate=8000" : "sine=frequency=440:sample_rate=11025",
             "-t",
             seconds,
             "-c:v",
             "rawvideo",
             "-pix_fmt",
             "yuv420p",
             "-c:a",
             avi ? "pcm_u8" : "pcm_s16le",
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

bool ScanBenchmark::measure(const QString &name, const QString &path, Format format) const
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
        const Expected<ScanFinding> result = format == Format::Avi
                                                 ? AviScanner(path).scan(hooks)
                                                 : MatroskaScanner(path).scan(hooks);
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
    const double ratioTarget = format == Format::Avi ? AviRatioTarget : MatroskaRatioTarget;
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
