#pragma once

#include "Folder.h"
#include "PieceCopier.h"

#include <QCoreApplication>
#include <QString>

// Writes the good part: exactly the first `size` bytes of the source, beside it under the
// good part's name (movie.avi gives movie.QQQ). The bytes go to a file no one sees until
// all of them are on disk; only then does it take the name, so an older good part is
// replaced whole and a run that fails or is killed leaves nothing half-written. The source
// is opened once and only read.
class GoodPartSplit
{
    Q_DECLARE_TR_FUNCTIONS(GoodPartSplit)

public:
    enum Outcome {
        Ready,            // check() found nothing in the way
        Written,          // run() wrote the good part
        SourceMissing,    // no ordinary file at the source path
        NameTooShort,     // the source's name cannot give a good part's name
        SizeTooLarge,     // the source is shorter than the size asked for
        SourceIsGoodPart, // the good part would be the source itself, or another name of it
        NeedsConsent,     // a folder or a read-only file stands at the good-part path
        Interrupted,      // the program was asked to end during the copy; nothing was written
        Failed,           // see failure()
    };

    GoodPartSplit(const QString &sourcePath, qint64 size);

    // Every refusal, decided before any byte moves. Holds the source open from here on.
    Outcome check();
    // The user agreed to give up what stands at the good-part path: a read-only file is
    // replaced, a folder is moved to the trash (or, without one, emptied and removed).
    void agreeToOverwrite() { m_overwriteAgreed = true; }
    Outcome run(QByteArray &chunkBuffer, const CopyHooks &hooks);

    QString goodPartPath() const { return m_goodPartPath; }
    qint64 sourceLength() const { return m_sourceLength; }
    // Set for NameTooShort, NeedsConsent and Failed.
    const std::optional<RepairFailure> &failure() const { return m_failure; }
    // What the user is told for a refusal.
    QString message(Outcome outcome) const;
    static QString refusalMessage(Outcome outcome);
    static QString consentQuestion();

private:
    Outcome fail(Outcome outcome, const RepairFailure &failure);
    Outcome checkGoodPartPath();
    PiecePlan plan() const;
    qint64 bytesToWrite() const;
    RawFile::Result moveFolderAway();
    RawFile::Result createWorkingFile(RawFile &file, QString &hiddenName);
    RawFile::Result putInPlace(RawFile &file, QString &hiddenName);
    bool sameAsSource(const std::optional<FileIdentity> &entry) const;

    QString m_sourcePath;
    QString m_goodPartPath;
    QString m_goodPartName;
    qint64 m_size;
    qint64 m_sourceLength = 0;
    bool m_overwriteAgreed = false;
    RawFile m_source;
    FileIdentity m_sourceIdentity;
    Folder m_folder;
    // An older good part, held locked so that no other Saltwick merges it meanwhile.
    RawFile m_oldGoodPart;
    std::optional<FileIdentity> m_oldGoodPartIdentity;
    std::optional<RepairFailure> m_failure;
};
