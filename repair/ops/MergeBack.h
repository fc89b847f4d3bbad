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
    explicit MergeBack(const QString &goodPartPath);
    // With a companion of any name; the fixed file keeps the companion's extension.
    MergeBack(const QString &goodPartPath, const QString &companionPath);

    // Refuses a companion that is not longer than the good part (CompanionTooShort), and
    // one whose bytes differ from the good part's last bytes (JoinDiffers, at the offset of
    // the first that differs: probably another file or another version); nothing is
    // written then.
    Expected<void> run(QByteArray &chunkBuffer, const CopyHooks &hooks);

    // The user chose to merge a companion that does not match at the join.
    void acceptDifferentJoin() { m_differentJoinAccepted = true; }

    QString companionPath() const { return m_companionPath; }
    QString fixedPath() const { return m_fixedPath; }
    qint64 goodPartLength() const { return m_goodPartLength; }

private:
    Expected<void> openGoodPart(RawFile &goodPart);
    Expected<void> checkBeforeWriting(qint64 bytesToWrite);
    Expected<void> stillNamed(const RawFile &goodPart) const;
    RepairFailure joinDiffers(qint64 offset) const;

    QString m_goodPartPath;
    QString m_companionPath;
    QString m_fixedPath;
    QString m_goodPartName;
    QString m_fixedName;
    Folder m_folder;
    qint64 m_goodPartLength = 0;
    bool m_differentJoinAccepted = false;
};
