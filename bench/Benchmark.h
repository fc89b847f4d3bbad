#pragma once

#include "CopyWatch.h"
#include "TimedCommand.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Times Split and Merge Back against the shell tools that make the same file, on the same
// input in one folder. The contenders take turns, and the one that goes first changes from
// round to round, so that none of them keeps the warmer or the busier machine.
class Benchmark
{
public:
    enum Job { SplitWhole, SplitPart, Merge };
    // What Saltwick is measured against: the tools that copy every byte, or `cp
    // --reflink=always`, which shares blocks on file systems that can.
    enum Yardstick { CopyingTools, SharedBlocks };

    Benchmark(const QString &folder, qint64 size, int rounds, Yardstick yardstick);

    // False when a copy failed or made a wrong file.
    bool run(const QList<Job> &jobs);

private:
    struct Measured
    {
        double seconds = 0;
        std::optional<CopyStats> copy; // Saltwick's runs only
        qint64 spaceTaken = 0;         // bytes the file system lost to the run
    };
    struct Contender
    {
        QString name;
        QString output;                // a file name in the folder
        QString shownAs;               // what the report says was run
        std::function<bool()> prepare; // untimed, before every run
        std::function<std::optional<Measured>()> run;
    };
    struct Operation
    {
        QString name;
        qint64 copied = 0;           // bytes a copy moves, the basis of MB/s
        qint64 outputLength = 0;     // every output is this long a prefix of the input stream
        QList<Contender> contenders; // Saltwick first
    };

    Operation operation(Job job) const;
    Operation splitWhole() const;
    Operation splitPart() const;
    Operation mergeBack() const;
    Contender sharedCopy(const QString &source) const;
    Contender reference(const QString &name, const QString &output,
                        const QList<CommandStep> &steps) const;
    Contender withFreshGoodPart(Contender contender, const QString &goodPart) const;
    Contender saltwickSplit(const QString &source, const QString &goodPart) const;

    std::optional<Measured> runSplit(const QString &source, const QString &goodPart) const;
    std::optional<Measured> runMerge(const QString &goodPart) const;

    QStringList inputsFor(const QList<Job> &jobs) const;
    qint64 inputLength(const QString &name) const;
    bool writeInputs(const QStringList &inputs) const;
    bool inputsUnchanged(const QStringList &inputs) const;
    qint64 usedBytes() const;
    qint64 settledUsedBytes() const;
    bool measure(const Operation &operation) const;
    void report(const Operation &operation, const QList<QList<Measured>> &results) const;
    void reportResponsiveness(const QList<Measured> &saltwick, QStringList &fields) const;

    QString path(const QString &name) const;
    bool settle() const;
    bool fail(const QString &why) const;

    QString m_folder;
    qint64 m_size;
    qint64 m_extra;
    int m_rounds;
    Yardstick m_yardstick;
};
