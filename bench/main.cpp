#include "Benchmark.h"
#include "FetchBenchmark.h"
#include "LoopMount.h"
#include "ScanBenchmark.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Split of the whole file and Merge Back at the chosen size, and Split of four times as
// much, on a file system of `type` made in an image and mounted for the purpose.
bool RunOnSharedBlocks(const QString &type, const QString &folder, qint64 size, int rounds)
{
    std::printf("\n== %s image, mounted through a loop device; yardstick cp --reflink=always\n",
                qPrintable(type));
    const QTemporaryDir imageFolder(folder + QStringLiteral("/saltwick-image-XXXXXX"));
    // Room for the largest input twice over, in case nothing can be shared after all.
    LoopMount mount(imageFolder.path(), type, 8 * size + (qint64(1) << 30));
    if (!mount.isMounted()) {
        std::printf("Skipped: %s\n", qPrintable(mount.whyNot()));
        return true;
    }
    for (const qint64 bytes : {size, 4 * size}) {
        const QTemporaryDir work(mount.filePath(QStringLiteral("saltwick-bench-XXXXXX")));
        Benchmark benchmark(work.path(), bytes, rounds, Benchmark::SharedBlocks);
        const QList<Benchmark::Job> jobs = bytes == size
                                               ? QList{Benchmark::SplitWhole, Benchmark::Merge}
                                               : QList{Benchmark::SplitWhole};
        if (!benchmark.run(jobs))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // The copies yield to an event loop, as they do in the window.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("saltwick-bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times Split and Merge Back against cp, dd, head and tail, and against "
                       "cp --reflink=always on XFS and btrfs."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(
        QStringLiteral("dir"),
        QStringLiteral("Folder to make the working folder in (default: the current folder)."),
        QStringLiteral("folder"), QStringLiteral("."));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Bytes to copy, in MiB (default 1024)."),
                                        QStringLiteral("MiB"), QStringLiteral("1024"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"),
                                          QStringLiteral("Rounds to take the median of "
                                                         "(default 3)."),
                                          QStringLiteral("count"), QStringLiteral("3"));
    const QCommandLineOption sharedOption(
        QStringLiteral("shared"),
        QStringLiteral("File systems that share blocks to measure in loop-mounted images, as "
                       "root (default xfs,btrfs; none to leave them out)."),
        QStringLiteral("types"), QStringLiteral("xfs,btrfs"));
    const QCommandLineOption sharedOnlyOption(
        QStringLiteral("shared-only"),
        QStringLiteral("Measure only on the file systems that share blocks."));
    const QCommandLineOption scanOption(
        QStringLiteral("scan"),
        QStringLiteral("Time the damage scan of 1 GiB and 4 GiB AVI, Matroska and MP4 files "
                       "against ffprobe instead."));
    const QCommandLineOption scanRowsOption(
        QStringLiteral("scan-rows"),
        QStringLiteral("With --scan, only these rows (scan-1GiB, scan-4GiB, scan-mkv-1GiB, "
                       "scan-mkv-4GiB, scan-mp4-1GiB, scan-mp4-4GiB, stalling), separated by "
                       "commas."),
        QStringLiteral("names"));
    const QCommandLineOption fetchOption(
        QStringLiteral("fetch"),
        QStringLiteral("Time the fetch of a tail of --size MiB from nginx on this machine "
                       "against curl and sync instead."));
    parser.addOptions({dirOption, sizeOption, roundsOption, sharedOption, sharedOnlyOption,
                       scanOption, scanRowsOption, fetchOption});
    parser.process(application);

    bool sizeRead = false;
    bool roundsRead = false;
    const qint64 mebibytes = parser.value(sizeOption).toLongLong(&sizeRead);
    const int rounds = parser.value(roundsOption).toInt(&roundsRead);
    if (!sizeRead || mebibytes < 1 || !roundsRead || rounds < 1) {
        std::fprintf(stderr, "saltwick-bench: --size and --rounds take whole numbers of "
                             "at least 1\n");
        return 2;
    }

    const QString folder = QDir(parser.value(dirOption)).absolutePath();
    const qint64 size = mebibytes * 1024 * 1024;
    if (parser.isSet(scanOption)) {
        const QTemporaryDir work(folder + QStringLiteral("/saltwick-bench-XXXXXX"));
        if (!work.isValid()) {
            std::fprintf(stderr, "saltwick-bench: %s\n", qPrintable(work.errorString()));
            return 1;
        }
        ScanBenchmark scans(work.path(), rounds,
                            parser.value(scanRowsOption).split(u',', Qt::SkipEmptyParts));
        return scans.run() ? 0 : 1;
    }
    if (parser.isSet(fetchOption)) {
        const QTemporaryDir work(folder + QStringLiteral("/saltwick-bench-XXXXXX"));
        if (!work.isValid()) {
            std::fprintf(stderr, "saltwick-bench: %s\n", qPrintable(work.errorString()));
            return 1;
        }
        FetchBenchmark fetch(work.path(), size, rounds);
        return fetch.run() ? 0 : 1;
    }
    if (!parser.isSet(sharedOnlyOption)) {
        // Inside the chosen folder, so that the files share its file system, and removed after.
        const QTemporaryDir work(folder + QStringLiteral("/saltwick-bench-XXXXXX"));
        if (!work.isValid()) {
            std::fprintf(stderr, "saltwick-bench: %s\n", qPrintable(work.errorString()));
            return 1;
        }
        std::printf("== the folder's own file system; yardsticks that copy every byte\n");
        Benchmark benchmark(work.path(), size, rounds, Benchmark::CopyingTools);
        if (!benchmark.run({Benchmark::SplitWhole, Benchmark::SplitPart, Benchmark::Merge}))
            return 1;
    }
    const QString types = parser.value(sharedOption);
    if (types == QLatin1String("none"))
        return 0;
    for (const QString &type : types.split(u',', Qt::SkipEmptyParts)) {
        if (!RunOnSharedBlocks(type, folder, size, rounds))
            return 1;
    }
    return 0;
}
