#include "MergeBack.h"

#include "FileMoves.h"
#include "FileProbe.h"
#include "NamingRules.h"

#include <QDir>

MergeBack::MergeBack(const QString &goodPartPath)
    : m_goodPartPath(goodPartPath), m_companionPath(NamingRules::MergeCompanionPath(goodPartPath)),
      m_fixedPath(NamingRules::FixedPath(goodPartPath))
{
}

MergeBack::Status MergeBack::fail(const RepairFailure &failure)
{
    m_failure = failure;
    return Failed;
}

MergeBack::Status MergeBack::run(QByteArray &chunkBuffer, const CopyHooks &hooks)
{
    if (m_goodPartPath.size() < 4) {
        return fail({RepairFailure::InvalidArgument,
                     QStringLiteral("Invalid argument: %1 is too short a name for a good part")
                         .arg(QDir::toNativeSeparators(m_goodPartPath))});
    }
    const FileProbe::Measurement goodPart = FileProbe::MeasureFile(m_goodPartPath);
    if (goodPart.failure)
        return fail(*goodPart.failure);
    const FileProbe::Measurement companion = FileProbe::MeasureFile(m_companionPath);
    if (companion.failure)
        return fail(*companion.failure);
    if (FileProbe::Exists(m_fixedPath)) {
        return fail({RepairFailure::PathFileAccessError,
                     QStringLiteral("Path/file access error: the fixed file %1 already exists")
                         .arg(QDir::toNativeSeparators(m_fixedPath))});
    }

    m_goodPartLength = goodPart.length;
    const qint64 tail = companion.length - m_goodPartLength;
    if (tail < 1)
        return CompanionTooShort;

    RawFile target;
    if (auto failure = target.openForWriting(m_goodPartPath))
        return fail(*failure);
    if (auto failure = appendTail(target, tail, chunkBuffer, hooks)) {
        // Give the good part back as it was, so that nothing half-done is left behind.
        target.truncate(m_goodPartLength);
        return fail(*failure);
    }
    auto failure = target.sync();
    if (!failure)
        failure = target.close();
    if (!failure)
        failure = FileMoves::RenameWithoutReplacing(m_goodPartPath, m_fixedPath);
    if (!failure)
        failure = FileMoves::SyncFolderOf(m_fixedPath);
    return failure ? fail(*failure) : Merged;
}

RawFile::Result MergeBack::appendTail(RawFile &goodPart, qint64 tail, QByteArray &chunkBuffer,
                                      const CopyHooks &hooks)
{
    RawFile companion;
    if (auto failure = companion.openForReading(m_companionPath))
        return failure;
    PiecePlan plan;
    plan.firstPosition = m_goodPartLength + 1;
    plan.byteCount = tail;
    // A remainder of up to a whole piece is copied as the last piece.
    plan.fullPieceFrom = PieceCopier::PieceSize + 1;
    plan.yieldsPerFullPiece = 1;
    // Blocks the good part shares with the companion take no new space.
    const qint64 needed = PieceCopier::BytesToWrite(companion, goodPart, plan);
    const qint64 freeBytes
        = FileProbe::FreeBytes(NamingRules::SplitFolderAndName(m_goodPartPath).folder);
    if (freeBytes >= 0 && freeBytes < needed) {
        return RepairFailure(RepairFailure::DiskFull,
                             QStringLiteral("Disk full: the merge needs %1 more bytes, %2 are free")
                                 .arg(needed)
                                 .arg(freeBytes));
    }
    PieceCopier copier(chunkBuffer, hooks);
    return copier.copy(companion, goodPart, plan);
}
