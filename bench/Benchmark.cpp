#include "Benchmark.h"

#include "GoodPartSplit.h"
#include "MergeBack.h"
#include "PatternFile.h"
#include "Report.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

using Report::Fixed;
using Report::Median;
using Report::Say;

namespace {

// The part of the longer input beyond the split size, and the good part a merge starts from.
const qint64 ExtraBytes = 100 * 1024 * 1024;

double Milliseconds(qint64 nanoseconds)
{
    return nanoseconds / 1e6;
}

double Best(const QList<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

// A copy must keep up with every tool that copies the bytes, best round against best round.
const double CopyTarget = 1.0;
// Where blocks are shared, the time is mostly fixed costs (opening, syncing, renaming): at
// most twice what `cp --reflink` takes, plus this much.
const double SharedSlackSeconds = 0.05;
// New space a shared copy may take, in KiB: its unaligned ends and the file system's records.
const double SharedSpaceTargetKiB = 64;

const double MemoryTargetMB = 8;

// saltwick-cli runs the same copy in its own process; it may lose no more than a tenth to
// starting up and printing its progress.
const QString CommandLineTool = QStringLiteral("saltwick-cli");
const double CommandLineTarget = 0.9;

CommandStep Step(const QString &program, const QStringList &arguments,
                 const QString &outputFile = {}, bool appendOutput = false)
{
    return {program, arguments, outputFile, appendOutput};
}

} // namespace

Benchmark::Benchmark(const QString &folder, qint64 size, int rounds, Yardstick yardstick)
    : m_folder(folder), m_size(size), m_extra(ExtraBytes), m_rounds(rounds), m_yardstick(yardstick)
{
}

bool Benchmark::run(const QList<Job> &jobs)
{
    Say(QStringLiteral("Folder %1, split size %2 bytes, %3 rounds; MB = 1,000,000 bytes; "
                       "figures are the best round and the median of the rounds.")
            .arg(m_folder)
            .arg(m_size)
            .arg(m_rounds));
    const QStringList inputs = inputsFor(jobs);
    if (!writeInputs(inputs))
        return false;
    for (Job job : jobs) {
        if (!measure(operation(job)))
            return false;
    }
    return inputsUnchanged(inputs);
}

QString Benchmark::path(const QString &name) const
{
    return m_folder + u'/' + name;
}

bool Benchmark::fail(const QString &why) const
{
    std::fprintf(stderr, "saltwick-bench: %s\n", qPrintable(why));
    return false;
}

// Lets the writes and deletes of the last run reach the disk before the next one starts,
// so that no run pays for another's writeback.
bool Benchmark::settle() const
{
    const int descriptor = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return fail(QStringLiteral("cannot open %1").arg(m_folder));
    const bool synced = ::syncfs(descriptor) == 0;
    ::close(descriptor);
    return synced || fail(QStringLiteral("cannot sync %1").arg(m_folder));
}

// XFS gives back the blocks of a removed file in the background, after the sync: the count
// is taken once it stops changing, so that no run is credited with another's removal.
qint64 Benchmark::settledUsedBytes() const
{
    qint64 used = usedBytes();
    for (int check = 0; check < 40; ++check) {
        QThread::msleep(50);
        settle();
        const qint64 now = usedBytes();
        if (now == used)
            break;
        used = now;
    }
    return used;
}

qint64 Benchmark::usedBytes() const
{
    struct statvfs status = {};
    if (::statvfs(QFile::encodeName(m_folder).constData(), &status) != 0)
        return 0;
    return qint64(status.f_blocks - status.f_bfree) * qint64(status.f_frsize);
}

// A whole file to split, and a longer one to split part of and to merge from.
QStringList Benchmark::inputsFor(const QList<Job> &jobs) const
{
    QStringList inputs;
    if (jobs.contains(SplitWhole))
        inputs << QStringLiteral("whole.avi");
    if (jobs.contains(SplitPart) || jobs.contains(Merge))
        inputs << QStringLiteral("long.avi");
    return inputs;
}

qint64 Benchmark::inputLength(const QString &name) const
{
    return name == QLatin1String("whole.avi") ? m_size : m_size + m_extra;
}

bool Benchmark::writeInputs(const QStringList &inputs) const
{
    for (const QString &input : inputs) {
        QString error;
        if (!PatternFile::Write(path(input), inputLength(input), error))
            return fail(error);
    }
    return settle();
}

bool Benchmark::inputsUnchanged(const QStringList &inputs) const
{
    for (const QString &input : inputs) {
        QString why;
        if (!PatternFile::Matches(path(input), inputLength(input), why))
            return fail(QStringLiteral("an input file changed: ") + why);
    }
    Say(QStringLiteral("Inputs unchanged."));
    return true;
}

Benchmark::Contender Benchmark::reference(const QString &name, const QString &output,
                                          const QList<CommandStep> &steps) const
{
    Contender contender;
    contender.name = name;
    contender.output = output;
    contender.shownAs = Describe(steps);
    contender.prepare = [] { return true; };
    contender.run = [this, steps]() -> std::optional<Measured> {
        QString error;
        const std::optional<double> seconds = RunTimed(steps, m_folder, error);
        if (!seconds) {
            fail(error);
            return std::nullopt;
        }
        return Measured{*seconds, std::nullopt};
    };
    return contender;
}

// A merge appends to a good part, so each run needs its own, written before the clock starts.
Benchmark::Contender Benchmark::withFreshGoodPart(Contender contender,
                                                  const QString &goodPart) const
{
    contender.prepare = [this, goodPart] {
        QString error;
        return PatternFile::Write(path(goodPart), m_extra, error) || fail(error);
    };
    return contender;
}

Benchmark::Contender Benchmark::saltwickSplit(const QString &source, const QString &goodPart) const
{
    Contender contender;
    contender.name = QStringLiteral("saltwick");
    contender.output = goodPart;
    contender.shownAs
        = QStringLiteral("GoodPartSplit %1 -> %2, %3 bytes").arg(source, goodPart).arg(m_size);
    contender.prepare = [] { return true; };
    contender.run = [this, source, goodPart] { return runSplit(source, goodPart); };
    return contender;
}

// The same bytes as a Split of the whole file or a Merge Back from `source`, shared.
Benchmark::Contender Benchmark::sharedCopy(const QString &source) const
{
    return reference(
        QStringLiteral("cp-reflink"), QStringLiteral("ref-cp"),
        {Step("cp", {"--reflink=always", source, "ref-cp"}), Step("sync", {"ref-cp"})});
}

Benchmark::Operation Benchmark::operation(Job job) const
{
    switch (job) {
    case SplitWhole:
        return splitWhole();
    case SplitPart:
        return splitPart();
    case Merge:
        break;
    }
    return mergeBack();
}

Benchmark::Operation Benchmark::splitWhole() const
{
    Operation operation{QStringLiteral("split-whole"), m_size, m_size, {}};
    operation.contenders << saltwickSplit(QStringLiteral("whole.avi"), QStringLiteral("whole.QQQ"));
    if (m_yardstick == SharedBlocks) {
        operation.contenders << sharedCopy(QStringLiteral("whole.avi"));
        return operation;
    }
    operation.contenders << reference(
        QStringLiteral("cp"), QStringLiteral("ref-cp"),
        {Step("cp", {"whole.avi", "ref-cp"}), Step("sync", {"ref-cp"})})
                         << reference(QStringLiteral("dd"), QStringLiteral("ref-dd"),
                                      {Step("dd", {"if=whole.avi", "of=ref-dd", "bs=3000000",
                                                   "conv=fsync", "status=none"})});
    return operation;
}

Benchmark::Operation Benchmark::splitPart() const
{
    const QString size = QString::number(m_size);
    Operation operation{QStringLiteral("split-part"), m_size, m_size, {}};
    operation.contenders << saltwickSplit(QStringLiteral("long.avi"), QStringLiteral("long.QQQ"))
                         << reference(QStringLiteral("dd"), QStringLiteral("ref-dd"),
                                      {Step("dd", {"if=long.avi", "of=ref-dd", "bs=3000000",
                                                   "count=" + size, "iflag=count_bytes",
                                                   "conv=fsync", "status=none"})})
                         << reference(QStringLiteral("head"), QStringLiteral("ref-head"),
                                      {Step("head", {"-c", size, "long.avi"}, "ref-head"),
                                       Step("sync", {"ref-head"})})
                         << reference(CommandLineTool, QStringLiteral("long.QQQ"),
                                      {Step(SALTWICK_CLI, {"split", "long.avi", size})});
    return operation;
}

Benchmark::Operation Benchmark::mergeBack() const
{
    const QString goodLength = QString::number(m_extra);
    Contender saltwick;
    saltwick.name = QStringLiteral("saltwick");
    // The merged good part leaves under the fixed name.
    saltwick.output = QStringLiteral("long-.avi");
    saltwick.shownAs
        = QStringLiteral("MergeBack long.QQQ (%1 bytes) + long.avi -> long-.avi").arg(goodLength);
    saltwick.run = [this] { return runMerge(QStringLiteral("long.QQQ")); };

    Operation operation{QStringLiteral("merge"), m_size, m_size + m_extra, {}};
    operation.contenders << withFreshGoodPart(saltwick, QStringLiteral("long.QQQ"));
    if (m_yardstick == SharedBlocks) {
        // cp cannot append, so it shares the whole companion: the tail and a little more.
        operation.contenders << sharedCopy(QStringLiteral("long.avi"));
        return operation;
    }
    operation.contenders
        << withFreshGoodPart(reference(QStringLiteral("dd"), QStringLiteral("ref-dd"),
                                       {Step("dd", {"if=long.avi", "of=ref-dd", "bs=3000000",
                                                    "skip=" + goodLength, "seek=" + goodLength,
                                                    "iflag=skip_bytes", "oflag=seek_bytes",
                                                    "conv=notrunc,fsync", "status=none"})}),
                             QStringLiteral("ref-dd"))
        << withFreshGoodPart(
               reference(QStringLiteral("tail"), QStringLiteral("ref-tail"),
                         {Step("tail", {"-c", "+" + QString::number(m_extra + 1), "long.avi"},
                               "ref-tail", true),
                          Step("sync", {"ref-tail"})}),
               QStringLiteral("ref-tail"))
        << withFreshGoodPart(reference(CommandLineTool, QStringLiteral("long-.avi"),
                                       {Step(SALTWICK_CLI, {"merge", "long.QQQ"})}),
                             QStringLiteral("long.QQQ"));
    return operation;
}

std::optional<Benchmark::Measured> Benchmark::runSplit(const QString &source,
                                                       const QString &goodPart) const
{
    // A new buffer each time, as on the window's first copy: its allocation counts too.
    QByteArray chunkBuffer;
    CopyWatch watch(m_size / PieceCopier::PieceStride);
    const CopyHooks hooks = watch.hooks();
    GoodPartSplit split(path(source), m_size);
    if (split.goodPartPath() != path(goodPart)) {
        fail(QStringLiteral("%1 is not the good part of %2").arg(goodPart, source));
        return std::nullopt;
    }
    QElapsedTimer clock;
    watch.start();
    clock.start();
    const Expected<void> written = split.run(chunkBuffer, hooks);
    const qint64 elapsed = clock.nsecsElapsed();
    const CopyStats stats = watch.finish();
    if (!written) {
        fail(written.failure().message());
        return std::nullopt;
    }
    return Measured{elapsed / 1e9, stats};
}

std::optional<Benchmark::Measured> Benchmark::runMerge(const QString &goodPart) const
{
    QByteArray chunkBuffer;
    CopyWatch watch(m_size / PieceCopier::PieceStride);
    const CopyHooks hooks = watch.hooks();
    MergeBack merge(path(goodPart));
    QElapsedTimer clock;
    watch.start();
    clock.start();
    const Expected<void> merged = merge.run(chunkBuffer, hooks);
    const qint64 elapsed = clock.nsecsElapsed();
    const CopyStats stats = watch.finish();
    if (!merged) {
        fail(merged.failure().message());
        return std::nullopt;
    }
    return Measured{elapsed / 1e9, stats};
}

bool Benchmark::measure(const Operation &operation) const
{
    Say(QString());
    Say(QStringLiteral("%1: %2 bytes copied").arg(operation.name).arg(operation.copied));
    for (const Contender &contender : operation.contenders)
        Say(QStringLiteral("  %1: %2").arg(contender.name, -8).arg(contender.shownAs));

    const qsizetype count = operation.contenders.size();
    QList<QList<Measured>> results(count);
    for (int round = 0; round < m_rounds; ++round) {
        QStringList line;
        for (qsizetype turn = 0; turn < count; ++turn) {
            const qsizetype index = (round + turn) % count;
            const Contender &contender = operation.contenders[index];
            if (!contender.prepare() || !settle())
                return false;
            const qint64 usedBefore = settledUsedBytes();
            std::optional<Measured> measured = contender.run();
            if (!measured || !settle())
                return false;
            measured->spaceTaken = usedBytes() - usedBefore;
            QString why;
            if (!PatternFile::Matches(path(contender.output), operation.outputLength, why)) {
                return fail(QStringLiteral("%1 made a wrong %2: %3")
                                .arg(contender.name, contender.output, why));
            }
            if (!QFile::remove(path(contender.output)) || !settle())
                return fail(QStringLiteral("cannot remove %1").arg(contender.output));
            results[index] << *measured;
            line << QStringLiteral("%1 %2 s").arg(contender.name, Fixed(measured->seconds, 3));
        }
        Say(QStringLiteral("  round %1: %2 (all outputs verified)")
                .arg(round + 1)
                .arg(line.join(QStringLiteral(", "))));
    }
    report(operation, results);
    return true;
}

void Benchmark::report(const Operation &operation, const QList<QList<Measured>> &results) const
{
    QStringList fields{QStringLiteral("op=") + operation.name,
                       QStringLiteral("bytes=%1").arg(operation.copied),
                       QStringLiteral("rounds=%1").arg(m_rounds)};
    QStringList ratios;
    double saltwickBest = 0;
    double saltwickMedian = 0;
    for (qsizetype i = 0; i < operation.contenders.size(); ++i) {
        QList<double> seconds;
        QList<double> space;
        for (const Measured &measured : results[i]) {
            seconds << measured.seconds;
            space << measured.spaceTaken / 1024.0;
        }
        const double best = Best(seconds);
        const double median = Median(seconds);
        const QString &name = operation.contenders[i].name;
        fields << QStringLiteral("%1_best_s=%2").arg(name, Fixed(best, 3))
               << QStringLiteral("%1_median_s=%2").arg(name, Fixed(median, 3))
               << QStringLiteral("%1_space_kib=%2").arg(name, Fixed(Median(space), 0));
        const QString times
            = QStringLiteral("%1 best %2 s (%3 MB/s), median %4 s (%5 MB/s), space taken %6 KiB")
                  .arg(name, -10)
                  .arg(Fixed(best, 3), Fixed(operation.copied / best / 1e6, 0), Fixed(median, 3),
                       Fixed(operation.copied / median / 1e6, 0), Fixed(Median(space), 0));
        if (i == 0) {
            saltwickBest = best;
            saltwickMedian = median;
            Say(QStringLiteral("  ") + times);
            if (m_yardstick == SharedBlocks) {
                const double spaceKiB = *std::max_element(space.begin(), space.end());
                Say(QStringLiteral("    space: at most %1 KiB in any round (target at most %2 "
                                   "KiB: %3)")
                        .arg(Fixed(spaceKiB, 0), Fixed(SharedSpaceTargetKiB, 0),
                             spaceKiB <= SharedSpaceTargetKiB ? QStringLiteral("met")
                                                              : QStringLiteral("NOT met")));
            }
            continue;
        }
        if (name == CommandLineTool) {
            // The same copy in its own process: its speed against the window's.
            const double ratio = saltwickBest / best;
            ratios << QStringLiteral("ratio_cli_to_saltwick=%1").arg(Fixed(ratio, 3));
            Say(QStringLiteral("  %1; %2/Saltwick = %3 best (target at least %4: %5)")
                    .arg(times, name, Fixed(ratio, 3), Fixed(CommandLineTarget, 1),
                         ratio >= CommandLineTarget ? QStringLiteral("met")
                                                    : QStringLiteral("NOT met")));
            continue;
        }
        // Speed ratios: above 1 means Saltwick was faster.
        const double bestRatio = best / saltwickBest;
        const double medianRatio = median / saltwickMedian;
        ratios << QStringLiteral("ratio_%1_best=%2").arg(name, Fixed(bestRatio, 3))
               << QStringLiteral("ratio_%1_median=%2").arg(name, Fixed(medianRatio, 3));
        QString verdict;
        if (m_yardstick == SharedBlocks) {
            const double limit = 2 * best + SharedSlackSeconds;
            verdict = QStringLiteral("target best at most 2 x %1 + %2 s = %3 s: %4")
                          .arg(name, Fixed(SharedSlackSeconds, 2), Fixed(limit, 3),
                               saltwickBest <= limit ? QStringLiteral("met")
                                                     : QStringLiteral("NOT met"));
        } else {
            verdict = QStringLiteral("target at least %1 best against best: %2")
                          .arg(Fixed(CopyTarget, 1), bestRatio >= CopyTarget
                                                         ? QStringLiteral("met")
                                                         : QStringLiteral("NOT met"));
        }
        Say(QStringLiteral("  %1; Saltwick/%2 = %3 best, %4 median (%5)")
                .arg(times, name, Fixed(bestRatio, 3), Fixed(medianRatio, 3), verdict));
    }
    fields << ratios;
    reportResponsiveness(results[0], fields);
    Say(QStringLiteral("RESULT ") + fields.join(u' '));
}

void Benchmark::reportResponsiveness(const QList<Measured> &saltwick, QStringList &fields) const
{
    // The worst of the rounds, except the piece time, which is typical.
    CopyStats worst;
    QList<double> pieceTimes;
    for (const Measured &measured : saltwick) {
        const CopyStats &stats = *measured.copy;
        worst.peakAboveBaseline = std::max(worst.peakAboveBaseline, stats.peakAboveBaseline);
        worst.peakSampled = worst.peakSampled || stats.peakSampled;
        worst.yields = std::max(worst.yields, stats.yields);
        worst.longestYieldGapNs = std::max(worst.longestYieldGapNs, stats.longestYieldGapNs);
        worst.firstYieldNs = std::max(worst.firstYieldNs, stats.firstYieldNs);
        worst.lastYieldToEndNs = std::max(worst.lastYieldToEndNs, stats.lastYieldToEndNs);
        worst.longestPieceNs = std::max(worst.longestPieceNs, stats.longestPieceNs);
        pieceTimes << Milliseconds(stats.medianPieceNs);
    }
    const double peakMB = worst.peakAboveBaseline / 1e6;
    const double pieceMs = Median(pieceTimes);
    const double gapMs = Milliseconds(worst.longestYieldGapNs);
    Say(QStringLiteral("  memory: peak %1 MB above the resident size before the copy (%2; "
                       "target at most %3 MB: %4)")
            .arg(Fixed(peakMB, 2),
                 worst.peakSampled ? QStringLiteral("sampled at each piece")
                                   : QStringLiteral("VmHWM reset through clear_refs"),
                 Fixed(MemoryTargetMB, 0),
                 peakMB <= MemoryTargetMB ? QStringLiteral("met") : QStringLiteral("NOT met")));
    const double longestPieceMs = Milliseconds(worst.longestPieceNs);
    // A gap that spans more than the slowest piece would mean a piece went by without a yield.
    Say(QStringLiteral("  yields: %1 per copy; pieces take %2 ms (median), %3 ms (slowest); "
                       "longest gap between yields %4 ms (within one piece: %5); start to first "
                       "yield %6 ms; last yield to the end %7 ms (final piece, sync, rename)")
            .arg(worst.yields)
            .arg(Fixed(pieceMs, 2), Fixed(longestPieceMs, 2), Fixed(gapMs, 2),
                 gapMs <= longestPieceMs ? QStringLiteral("yes") : QStringLiteral("NO"),
                 Fixed(Milliseconds(worst.firstYieldNs), 2),
                 Fixed(Milliseconds(worst.lastYieldToEndNs), 2)));
    fields << QStringLiteral("peak_rss_mb=") + Fixed(peakMB, 2)
           << QStringLiteral("max_yield_gap_ms=") + Fixed(gapMs, 2)
           << QStringLiteral("piece_ms=") + Fixed(pieceMs, 2)
           << QStringLiteral("slowest_piece_ms=") + Fixed(longestPieceMs, 2)
           << QStringLiteral("first_yield_ms=") + Fixed(Milliseconds(worst.firstYieldNs), 2)
           << QStringLiteral("last_yield_to_end_ms=")
                  + Fixed(Milliseconds(worst.lastYieldToEndNs), 2)
           << QStringLiteral("verified=yes");
}
