#include "TimedCommand.h"

#include <QElapsedTimer>
#include <QProcess>

std::optional<double> RunTimed(const QList<CommandStep> &steps, const QString &folder,
                               QString &error)
{
    QElapsedTimer clock;
    clock.start();
    for (const CommandStep &step : steps) {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (!step.outputFile.isEmpty()) {
            process.setStandardOutputFile(folder + u'/' + step.outputFile,
                                          step.appendOutput ? QIODevice::Append
                                                            : QIODevice::Truncate);
        }
        process.start(step.program, step.arguments);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0) {
            error = QStringLiteral("%1 failed: %2").arg(Describe({step}), process.errorString());
            return std::nullopt;
        }
    }
    return clock.nsecsElapsed() / 1e9;
}

QString Describe(const QList<CommandStep> &steps)
{
    QStringList lines;
    for (const CommandStep &step : steps) {
        QString line = (QStringList{step.program} + step.arguments).join(u' ');
        if (!step.outputFile.isEmpty())
            line += (step.appendOutput ? QStringLiteral(" >> ") : QStringLiteral(" > "))
                    + step.outputFile;
        lines << line;
    }
    return lines.join(QStringLiteral("; "));
}
