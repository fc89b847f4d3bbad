#pragma once

#include "CopyHooks.h"
#include "Expected.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <functional>

// What a front end hands to a repair step besides its input: the hooks for the long copy,
// and the answers only the person at the front end can give.
struct RepairSteps
{
    CopyHooks hooks;
    // A question stands in the way (NeedsConsent at Split, JoinDiffers at Merge Back): true
    // goes on, false ends the step with that refusal.
    std::function<bool(const RepairFailure &question)> agree;
    // Split: the size text once an error-offset line in it was read (rewritten or not).
    std::function<void(const QString &sizeText)> sizeRead;
    // Split: the source was checked, before any question is asked.
    std::function<void(const Expected<void> &verdict)> checked;
    // Something the user should know that is no failure: the address a redirect led to.
    std::function<void(const QString &note)> tell;
};

// How the rest of a file is fetched from a web address.
struct FetchChoices
{
    QString fixedName;         // in the good part's folder; empty: the name Merge Back gives
    bool wholeAllowed = false; // a server that ignores ranges may send the whole file through
    int retries = 5;           // a dropped connection is resumed this many times in a row
};

// The repair steps as the window and saltwick-cli both run them: each takes the text the
// user gave, decides every refusal in the same order for both, and returns what came of
// it. A front end only maps the failure's reason to its focus and texts, or its code to an
// exit status.
class Repair
{
    Q_DECLARE_TR_FUNCTIONS(Repair)

public:
    explicit Repair(QByteArray &chunkBuffer) : m_chunkBuffer(chunkBuffer) {}

    // The first bytes of `file` up to the size `sizeText` holds (read as the size box reads
    // it, an error line first rewritten) into the good part; gives the good part's path.
    Expected<QString> split(const QString &file, const QString &sizeText, const RepairSteps &steps);
    // Completes a good part from its companion (by the naming rules, or `companion` when it
    // is given); gives the fixed file's path.
    Expected<QString> merge(const QString &goodPart, const RepairSteps &steps,
                            const QString &companion = {});
    // Completes a good part from the file at `address` and gives it the fixed name (or
    // `choices.fixedName`); gives the fixed file's path. A join that differs is a question.
    Expected<QString> fetch(const QString &goodPart, const QString &address,
                            const FetchChoices &choices, const RepairSteps &steps);
    // The whole repair of a broken download: the good part of `file` up to its damage (found
    // by the scan, or at the size `sizeText` holds), then the rest from `address`, under the
    // name of `file` with "-" before its extension. A file in which the scan finds no damage
    // is kept whole and the rest fetched. `file` itself is never changed.
    Expected<QString> repair(const QString &file, const QString &address, const QString &sizeText,
                             const FetchChoices &choices, const RepairSteps &steps);
    // The first damage in `file` (0-based); refusals NotReadable and NoDamageFound.
    Expected<qint64> findDamage(const QString &file, const CopyHooks &hooks);

    // The length last read: the source's at Split, the good part's at Merge Back.
    qint64 fileLength() const { return m_fileLength; }
    // The size the last Split kept.
    qint64 splitSize() const { return m_splitSize; }
    // Body bytes the last fetch took off the wire.
    qint64 bytesFetched() const { return m_bytesFetched; }

    // Whether the text names an ordinary file, as every step's source must be.
    static bool NamesOrdinaryFile(const QString &file);

private:
    QByteArray &m_chunkBuffer;
    qint64 m_fileLength = 0;
    qint64 m_splitSize = 0;
    qint64 m_bytesFetched = 0;
};
