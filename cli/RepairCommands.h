#pragma once

#include "Console.h"
#include "Repair.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>

// The tool's exit statuses besides the failure codes, which are passed on as they are.
namespace ExitStatus {
const int Success = 0;
const int Refused = 1; // a refusal that has no failure code
const int Usage = 2;
// Ended by a signal: 128 and its number, as a shell reports it (130 for Ctrl-C, 143 for
// SIGTERM, 129 for SIGHUP).
const int AfterSignal = 128;
const int Interrupted = AfterSignal + 2;
} // namespace ExitStatus

// The repair steps as commands, over the same repair code as the window. Each returns the
// exit status.
class RepairCommands
{
    Q_DECLARE_TR_FUNCTIONS(RepairCommands)

public:
    explicit RepairCommands(Console &console) : m_console(console), m_repair(m_chunkBuffer) {}

    int scan(const QString &file);
    int split(const QString &file, const QString &sizeText, bool overwrite);
    int merge(const QStringList &goodParts, bool force);
    int mergeWith(const QString &goodPart, const QString &newFile, bool force);
    int fetch(const QString &goodPart, const QString &address, const FetchChoices &choices,
              bool force);
    int repair(const QString &file, const QString &address, const QString &sizeText,
               const FetchChoices &choices, bool force);
    int list(const QString &folder);

private:
    bool namesCanBeHandled(const QStringList &paths);
    // Before anything else in a folder: good parts a merge cut short are given back, and
    // each is named on standard error.
    void giveBackIn(const QString &folder);
    void giveBackBeside(const QString &file);
    int mergeOne(const QString &goodPart, const QString &newFile, bool force);
    // The exit status for a failure, after saying it with `hint` added.
    int fail(const RepairFailure &failure, const QString &hint = {});
    // Success once the result line is written, else the failure's code after saying it.
    int showResult(const QString &line);
    // What a terminal wants to hear of a source the repair could not take: the code and the
    // name (the window says only "File doesn't exist").
    static RepairFailure sourceNotTaken(const RepairFailure &failure);
    CopyHooks hooks();
    RepairSteps fetchSteps(bool force);
    QString fetchHint(const RepairFailure &failure) const;

    Console &m_console;
    QByteArray m_chunkBuffer;
    Repair m_repair;
};
