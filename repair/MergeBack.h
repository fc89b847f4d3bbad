#pragma once

#include "PieceCopier.h"

#include <QString>

// Completes one good part from its companion and gives it the fixed file's name:
// movie.QQQ receives the bytes of movie.avi beyond its own length and becomes movie-.avi.
// Only the good part is written; nothing is created but the fixed name.
class MergeBack
{
public:
    enum Status { Merged, CompanionTooShort, Failed };

    explicit MergeBack(const QString &goodPartPath);

    Status run(QByteArray &chunkBuffer, const CopyHooks &hooks);

    // Why a companion that is not longer than its good part is refused.
    static QString tooShortMessage();

    QString companionPath() const { return m_companionPath; }
    QString fixedPath() const { return m_fixedPath; }
    qint64 goodPartLength() const { return m_goodPartLength; }
    // Set when run() returned Failed.
    std::optional<RepairFailure> failure() const { return m_failure; }

private:
    Status fail(const RepairFailure &failure);
    RawFile::Result appendTail(RawFile &goodPart, qint64 tail, QByteArray &chunkBuffer,
                               const CopyHooks &hooks);

    QString m_goodPartPath;
    QString m_companionPath;
    QString m_fixedPath;
    qint64 m_goodPartLength = 0;
    std::optional<RepairFailure> m_failure;
};
