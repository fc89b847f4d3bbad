#pragma once

#include "Folder.h"
#include "PieceCopier.h"

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <optional>

// Writes the good part: exactly the first `size` bytes of the source, beside it under the
// good part's name (movie.avi gives movie.QQQ). The bytes go to a file no one sees until
// all of them are on disk; only then does it take the name, so an older good part is
// replaced whole (the older one going to the trash) and a run that fails or is killed leaves
// nothing half-written. The source is opened once and only read.
class GoodPartSplit
{
    Q_DECLARE_TR_FUNCTIONS(GoodPartSplit)

public:
    GoodPartSplit(const QString &sourcePath, qint64 size);

    // Every refusal, decided before any byte moves: SourceMissing, NameTooShort,
    // SizeTooLarge, SourceIsGoodPart, NeedsConsent when a folder or a read-only file stands
    // at the good-part path, and NoTrash when that folder is a mount point. Holds the source
    // open from here on.
    Expected<void> check();
    // The user agreed to give up what stands at the good-part path: it goes to the trash; a
    // read-only file goes for good where there is none, a folder never (NoTrash, nothing
    // changed).
    void agreeToOverwrite() { m_overwriteAgreed = true; }
    // Asked, once the new good part is written, when an older one is in its way and no
    // trash can take it (ReplacesForGood); false keeps the older one and ends the run with
    // that refusal. Unset, the answer is no.
    void askBeforeReplacingForGood(const std::function<bool(const RepairFailure &)> &agree)
    {
        m_agreeToReplaceForGood = agree;
    }
    // Checks again, then writes the good part; an older one it replaces goes to the trash.
    // Interrupted when the hooks ask it to stop; nothing is left behind then.
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
    Expected<bool> moveOldGoodPartAway();
    bool moveToTrash();
    RepairFailure noTrash() const;
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
    std::function<bool(const RepairFailure &)> m_agreeToReplaceForGood;
    RawFile m_source;
    FileIdentity m_sourceIdentity;
    Folder m_folder;
    // An older good part, held locked so that no other Saltwick merges it meanwhile.
    RawFile m_oldGoodPart;
    std::optional<FileIdentity> m_oldGoodPartIdentity;
};
