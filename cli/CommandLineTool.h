#pragma once

#include "Console.h"

#include <QCoreApplication>
#include <QStringList>

class QCommandLineOption;
class QCommandLineParser;

// Reads the command line, answers --help and --version, and hands the command to the repair
// commands. A command line it cannot read is a usage error, exit status 2.
class CommandLineTool
{
    Q_DECLARE_TR_FUNCTIONS(CommandLineTool)

public:
    // Runs the command that `arguments` (the program's name first) asks for and returns
    // the exit status.
    int run(const QStringList &arguments);

private:
    // Success once the answer is written, else the failure's code after saying it.
    int answered(const Expected<void> &written);
    int usageError(const QString &problem);
    // What the parser could not read, said in the tool's own words.
    int parseError(const QCommandLineParser &parser, const QStringList &arguments,
                   const QList<QCommandLineOption> &options);
    QString toolHelp() const;
    QString commandHelp(const QString &command) const;

    Console m_console;
};
