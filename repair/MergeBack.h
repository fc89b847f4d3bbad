#pragma once

#include "Folder.h"
#include "PieceCopier.h"

#include <QCoreApplication>
#include <QString>

// Completes one good part from its companion and gives it the fixed file's name:
// movie.QQQ receives the bytes of movie.avi beyond its own length and becomes movie-.avi.
// Only the good part is written, through the descriptor that was checked and locked; it
// is never a link, and nothing is created but the fixed name. Whatever could stop the run
// is checked before the first byte is appended, and a later failure gives the good part
// back at its old length.
class MergeBack
{
    Q_DECLARE_TR_FUNCTIONS(MergeBack)

public:
    // JoinDiffers: the companion's bytes differ from the good part's last bytes, so it is
    // probably another file or another version; nothing was written.
    enum Status { Merged, CompanionTooShort, JoinDiffers, Interrupted, Failed };

    explicit MergeBack(const QString &goodPartPath);

    Status run(QByteArray &chunkBuffer, const CopyHooks &hooks);

    // The user chose to merge a companion that does not match at the join.
    void acceptDifferentJoin() { m_differentJoinAccepted = true; }

    // Why a companion that is not longer than its good part is refused.
    static QString tooShortMessage();
    // Why a companion that does not match at the join is refused, naming the first
    // position that differs.
    QString joinDiffersMessage() const;

    QString companionPath() const { return m_companionPath; }
    QString fixedPath() const { return m_fixedPath; }
    qint64 goodPartLength() const { return m_goodPartLength; }
    // Set when run() returned JoinDiffers: the 1-based position of the first byte that differs.
    qint64 firstDifference() const { return m_firstDifference; }
    // Set when run() returned Failed.
    std::optional<RepairFailure> failure() const { return m_failure; }

private:
    Status fail(const RepairFailure &failure);
    RawFile::Result openGoodPart(RawFile &goodPart);
    RawFile::Result checkBeforeWriting(qint64 bytesToWrite);
    RawFile::Result stillNamed(const RawFile &goodPart) const;

    QString m_goodPartPath;
    QString m_companionPath;
    QString m_fixedPath;
    QString m_goodPartName;
    QString m_fixedName;
    Folder m_folder;
    qint64 m_goodPartLength = 0;
    qint64 m_firstDifference = 0;
    bool m_differentJoinAccepted = false;
    std::optional<RepairFailure> m_failure;
};
