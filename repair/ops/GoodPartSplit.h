#pragma once

#include "Folder.h"
#include "PieceCopier.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

// Writes the good part: exactly the first `size` bytes of the source, beside it under the
// good part's name (movie.avi gives movie.QQQ). The bytes go to a file no one sees until
// all of them are on disk; only then does it take the name, so an older good part is
// replaced whole and a run that fails or is killed leaves nothing half-written. The source
// is opened once and only read.
class GoodPartSplit
{
    Q_DECLARE_TR_FUNCTIONS(GoodPartSplit)

public:
    GoodPartSplit(const QString &sourcePath, qint64 size);

    // Every refusal, decided before any byte moves: SourceMissing, NameTooShort,
    // SizeTooLarge, SourceIsGoodPart, and NeedsConsent when a folder or a read-only file
    // stands at the good-part path. Holds the source open from here on.
    Expected<void> check();
    // The user agreed to give up what stands at the good-part path: a read-only file is
    // replaced, a folder is moved to the trash (or, without one, emptied and removed).
    void agreeToOverwrite() { m_overwriteAgreed = true; }
    // Checks again, then writes the good part. Interrupted when the hooks ask it to stop;
    // nothing is left behind then.
    Expected<void> run(QByteArray &chunkBuffer, const CopyHooks &hooks);

    QString goodPartPath() const { return m_goodPartPath; }
    qint64 sourceLength() const { return m_sourceLength; }

    static RepairFailure sourceMissing(const QString &path);
    static QString consentQuestion();

private:
    Expected<void> checkGoodPartPath();
    PiecePlan plan() const;
    qint64 bytesToWrite() const;
    Expected<void> moveFolderAway();
    Expected<void> createWorkingFile(RawFile &file, QString &hiddenName);
    Expected<void> putInPlace(RawFile &file, QString &hiddenName);
    bool sameAsSource(const std::optional<FileIdentity> &entry) const;
    RepairFailure refusal(RepairFailure::Reason reason, const QString &description) const;

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
};
