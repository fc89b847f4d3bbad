#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One program run by a reference copy, its output optionally sent to a file as a shell's
// `>` or `>>` would.
struct CommandStep
{
    QString program;
    QStringList arguments;
    QString outputFile;
    bool appendOutput = false;
};

// Runs the steps one after another in `folder` and gives the seconds they took together,
// or nothing (with `error` set) when one could not run or failed.
std::optional<double> RunTimed(const QList<CommandStep> &steps, const QString &folder,
                               QString &error);

// The steps as a shell line, for the report.
QString Describe(const QList<CommandStep> &steps);
