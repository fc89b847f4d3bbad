#include "FetchBenchmark.h"

#include "CopyWatch.h"
#include "FetchRest.h"
#include "PatternFile.h"
#include "Report.h"
#include "TestServer.h"
#include "TimedCommand.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

using Report::Fixed;
using Report::Median;
using Report::Say;

namespace {

const double SpeedTarget = 0.9;
const double MemoryTargetMB = 8;
const qint64 Overlap = 1024 * 1024;

double Best(const QList<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

} // namespace

FetchBenchmark::FetchBenchmark(const QString &folder, qint64 tail, int rounds)
    : m_folder(folder), m_tail(tail), m_goodPart(64 * 1024 * 1024), m_rounds(rounds)
{
}

bool FetchBenchmark::fail(const QString &why) const
{
    std::fprintf(stderr, "saltwick-bench: %s\n", qPrintable(why));
    return false;
}

bool FetchBenchmark::writeGoodPart() const
{
    QString error;
    return PatternFile::Write(path("film.QQQ"), m_goodPart, error) || fail(error);
}

bool FetchBenchmark::runSaltwick(const QString &address, Round &round) const
{
    CopyWatch watch(m_tail / (1024 * 1024));
    const CopyHooks hooks = watch.hooks();
    FetchRest fetch(path("film.QQQ"), address, path("film-.avi"));
    QElapsedTimer clock;
    watch.start();
    clock.start();
    const Expected<void> fetched = fetch.run(hooks);
    round.seconds = clock.nsecsElapsed() / 1e9;
    round.peakAboveBaseline = watch.finish().peakAboveBaseline;
    if (!fetched)
        return fail(fetched.failure().message());
    QString why;
    if (!PatternFile::Matches(path("film-.avi"), m_goodPart + m_tail, why))
        return fail(QStringLiteral("saltwick made a wrong film-.avi: ") + why);
    return QFile::remove(path("film-.avi"));
}

bool FetchBenchmark::runCommand(const QString &name, const QStringList &program, Round &round) const
{
    QString error;
    QList<CommandStep> steps{{program.first(), program.mid(1), {}, false}};
    if (name == QLatin1String("curl"))
        steps << CommandStep{QStringLiteral("sync"), {QStringLiteral("ref-curl")}, {}, false};
    const std::optional<double> seconds = RunTimed(steps, m_folder, error);
    if (!seconds)
        return fail(error);
    round.seconds = *seconds;
    if (name == QLatin1String("curl")) {
        // The tail alone, from the first byte asked for.
        if (QFileInfo(path("ref-curl")).size() != m_tail + Overlap)
            return fail(QStringLiteral("curl fetched a file of the wrong length"));
        return QFile::remove(path("ref-curl"));
    }
    QString why;
    if (!PatternFile::Matches(path("film-.avi"), m_goodPart + m_tail, why))
        return fail(name + QStringLiteral(" made a wrong film-.avi: ") + why);
    return QFile::remove(path("film-.avi"));
}

bool FetchBenchmark::run()
{
    const QString root = path("root");
    QDir().mkpath(root);
    QString error;
    Say(QStringLiteral("Folder %1: a %2-byte tail after a %3-byte good part, from nginx on "
                       "127.0.0.1; %4 rounds; MB = 1,000,000 bytes.")
            .arg(m_folder)
            .arg(m_tail)
            .arg(m_goodPart)
            .arg(m_rounds));
    if (!PatternFile::Write(root + QStringLiteral("/film.avi"), m_goodPart + m_tail, error))
        return fail(error);
    TestServer server(m_folder);
    if (!server.startNginx(root))
        return fail(QStringLiteral("nginx: ") + server.whyNot());
    const QString address = server.url(QStringLiteral("film.avi"));
    const QString first = QString::number(m_goodPart - Overlap) + u'-';
    const QStringList curl
        = {"curl", "--silent", "--show-error", "--fail", "-r", first, "-o", "ref-curl", address};
    const QStringList cli = {SALTWICK_CLI, "fetch", "--quiet", "film.QQQ", address};
    Say(QStringLiteral("  saltwick: FetchRest film.QQQ from %1").arg(address));
    Say(QStringLiteral("  saltwick-cli: %1").arg(cli.join(u' ')));
    Say(QStringLiteral("  curl: %1; sync ref-curl").arg(curl.join(u' ')));

    const QStringList names = {"saltwick", "saltwick-cli", "curl"};
    QList<QList<Round>> results(names.size());
    for (int round = 0; round < m_rounds; ++round) {
        QStringList line;
        for (qsizetype turn = 0; turn < names.size(); ++turn) {
            const qsizetype index = (round + turn) % names.size();
            const QString &name = names.at(index);
            if (name != QLatin1String("curl") && !writeGoodPart())
                return false;
            ::sync();
            const qint64 sentBefore = server.totalBytesSent();
            Round measured;
            const bool ran
                = name == QLatin1String("saltwick")
                      ? runSaltwick(address, measured)
                      : runCommand(name, name == QLatin1String("curl") ? curl : cli, measured);
            if (!ran)
                return false;
            // nginx logs an answer once it has sent it all.
            QElapsedTimer waited;
            waited.start();
            while (server.totalBytesSent() == sentBefore && waited.elapsed() < 5000)
                QThread::msleep(10);
            measured.wireBytes = server.totalBytesSent() - sentBefore;
            results[index] << measured;
            line << QStringLiteral("%1 %2 s").arg(name, Fixed(measured.seconds, 3));
        }
        Say(QStringLiteral("  round %1: %2 (outputs verified)")
                .arg(round + 1)
                .arg(line.join(QStringLiteral(", "))));
    }
    QList<double> saltwickSeconds;
    for (const Round &round : results[0])
        saltwickSeconds << round.seconds;
    const double saltwickBest = Best(saltwickSeconds);
    QStringList fields{QStringLiteral("op=fetch"), QStringLiteral("bytes=%1").arg(m_tail),
                       QStringLiteral("rounds=%1").arg(m_rounds)};
    for (qsizetype i = 0; i < names.size(); ++i) {
        report(names.at(i), results[i], saltwickBest);
        QList<double> seconds;
        for (const Round &round : results[i])
            seconds << round.seconds;
        fields
            << QStringLiteral("%1_best_s=%2").arg(names.at(i), Fixed(Best(seconds), 3))
            << QStringLiteral("%1_wire_bytes=%2").arg(names.at(i)).arg(results[i].last().wireBytes);
    }
    qint64 peak = 0;
    for (const Round &round : results[0])
        peak = std::max(peak, round.peakAboveBaseline);
    const double peakMB = peak / 1e6;
    Say(QStringLiteral("  memory: peak %1 MB above the resident size before the fetch (target "
                       "at most %2 MB: %3)")
            .arg(Fixed(peakMB, 2), Fixed(MemoryTargetMB, 0),
                 peakMB <= MemoryTargetMB ? QStringLiteral("met") : QStringLiteral("NOT met")));
    fields << QStringLiteral("peak_rss_mb=") + Fixed(peakMB, 2);
    Say(QStringLiteral("RESULT ") + fields.join(u' '));
    QFile::remove(root + QStringLiteral("/film.avi"));
    QFile::remove(path("film.QQQ"));
    return true;
}

void FetchBenchmark::report(const QString &name, const QList<Round> &rounds,
                            double saltwickBest) const
{
    QList<double> seconds;
    for (const Round &round : rounds)
        seconds << round.seconds;
    const double best = Best(seconds);
    const double median = Median(seconds);
    QString line = QStringLiteral("  %1 best %2 s (%3 MB/s), median %4 s; %5 bytes off the wire")
                       .arg(name, -12)
                       .arg(Fixed(best, 3), Fixed(m_tail / best / 1e6, 0), Fixed(median, 3))
                       .arg(rounds.last().wireBytes);
    if (name == QLatin1String("curl")) {
        const double ratio = best / saltwickBest;
        line += QStringLiteral("; Saltwick/curl+sync = %1 best against best (target at least "
                               "%2: %3)")
                    .arg(Fixed(ratio, 3), Fixed(SpeedTarget, 1),
                         ratio >= SpeedTarget ? QStringLiteral("met") : QStringLiteral("NOT met"));
    }
    Say(line);
}
