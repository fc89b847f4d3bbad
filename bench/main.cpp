#include "Benchmark.h"
#include "ScanBenchmark.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The copies yield to an event loop, as they do in the window.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("saltwick-bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times Split and Merge Back against cp, dd, head and tail."));
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
    const QCommandLineOption scanOption(
        QStringLiteral("scan"),
        QStringLiteral("Time the damage scan of 1 GiB and 4 GiB AVIs against ffprobe instead."));
    parser.addOptions({dirOption, sizeOption, roundsOption, scanOption});
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

    // Inside the chosen folder, so that the files share its file system, and removed after.
    const QTemporaryDir folder(
        QDir(parser.value(dirOption)).absoluteFilePath(QStringLiteral("saltwick-bench-XXXXXX")));
    if (!folder.isValid()) {
        std::fprintf(stderr, "saltwick-bench: %s\n", qPrintable(folder.errorString()));
        return 1;
    }
    if (parser.isSet(scanOption)) {
        ScanBenchmark scans(folder.path(), rounds);
        return scans.run() ? 0 : 1;
    }
    Benchmark benchmark(folder.path(), mebibytes * 1024 * 1024, rounds);
    return benchmark.run() ? 0 : 1;
}
