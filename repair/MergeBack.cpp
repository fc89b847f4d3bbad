#include "MergeBack.h"

#include "FileProbe.h"
#include "JoinCheck.h"
#include "NamingRules.h"

#include <QDir>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

MergeBack::MergeBack(const QString &goodPartPath)
    : m_goodPartPath(goodPartPath), m_companionPath(NamingRules::MergeCompanionPath(goodPartPath)),
      m_fixedPath(NamingRules::FixedPath(goodPartPath)),
      m_goodPartName(NamingRules::SplitFolderAndName(m_goodPartPath).name),
      m_fixedName(NamingRules::SplitFolderAndName(m_fixedPath).name)
{
}

QString MergeBack::tooShortMessage()
{
    return tr("Avi shorter than QQQ");
}

QString MergeBack::joinDiffersMessage() const
{
    return tr("The new %1 does not match the good part before byte %2. It may be another file "
              "or another version.")
        .arg(NamingRules::SplitFolderAndName(m_companionPath).name)
        .arg(m_firstDifference);
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
                     tr("Invalid argument: %1 is too short a name for a good part")
                         .arg(shown(m_goodPartPath))});
    }
    if (auto failure = m_folder.open(NamingRules::SplitFolderAndName(m_goodPartPath).folder))
        return fail(*failure);
    RawFile goodPart;
    if (auto failure = openGoodPart(goodPart))
        return fail(*failure);
    FileIdentity opened;
    if (auto failure = goodPart.identity(opened))
        return fail(*failure);
    m_goodPartLength = opened.size;

    // The companion is only read: a missing one is reported, never created.
    RawFile companion;
    if (auto failure = companion.openForReading(m_companionPath))
        return fail(*failure);
    FileIdentity companionIdentity;
    if (auto failure = companion.identity(companionIdentity))
        return fail(*failure);
    if (!companionIdentity.isRegularFile()) {
        return fail(
            {RepairFailure::PathFileAccessError,
             tr("Path/file access error: %1 is not a plain file").arg(shown(m_companionPath))});
    }
    const qint64 tail = companionIdentity.size - m_goodPartLength;
    if (tail < 1)
        return CompanionTooShort;
    PiecePlan plan;
    plan.firstPosition = m_goodPartLength + 1;
    plan.byteCount = tail;
    // A remainder of up to a whole piece is copied as the last piece.
    plan.fullPieceFrom = PieceCopier::PieceSize + 1;
    plan.yieldsPerFullPiece = 1;
    // Blocks the good part shares with the companion take no new space.
    if (auto failure = checkBeforeWriting(PieceCopier::BytesToWrite(companion, goodPart, plan)))
        return fail(*failure);
    if (!m_differentJoinAccepted) {
        const JoinCheck::Comparison join
            = JoinCheck::Compare(goodPart, companion, m_goodPartLength);
        if (join.failure)
            return fail(*join.failure);
        if (join.firstDifference) {
            m_firstDifference = *join.firstDifference;
            return JoinDiffers;
        }
    }

    PieceCopier copier(chunkBuffer, hooks);
    auto failure = copier.copy(companion, goodPart, plan);
    if (!failure)
        failure = goodPart.sync();
    if (!failure)
        failure = stillNamed(goodPart);
    if (!failure)
        failure = m_folder.renameWithoutReplacing(m_goodPartName, m_fixedName);
    if (failure) {
        // Give the good part back as it was, so that nothing half-done is left behind.
        goodPart.truncate(m_goodPartLength);
        goodPart.sync();
        return copier.stopped() ? Interrupted : fail(*failure);
    }
    if (auto synced = m_folder.sync())
        return fail(*synced);
    return Merged;
}

RawFile::Result MergeBack::openGoodPart(RawFile &goodPart)
{
    // Writing through a link would complete some other file, maybe not even the user's.
    const std::optional<FileIdentity> standing = m_folder.entry(m_goodPartName);
    if (standing && standing->isSymbolicLink()) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: %1 is a symbolic link").arg(shown(m_goodPartPath)));
    }
    if (standing && !standing->isRegularFile()) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: %1 is not a plain file").arg(shown(m_goodPartPath)));
    }
    if (auto failure = goodPart.openForUpdateIn(m_folder, m_goodPartName))
        return failure;
    FileIdentity opened;
    if (auto failure = goodPart.identity(opened))
        return failure;
    if (opened.links > 1) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 has other names (hard links); "
                                "merging would change them too")
                                 .arg(shown(m_goodPartPath)));
    }
    if (!goodPart.tryLock()) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 is in use by another Saltwick")
                                 .arg(shown(m_goodPartPath)));
    }
    // Replaced between opening and locking: the lock holds a file that is no longer it.
    return stillNamed(goodPart);
}

RawFile::Result MergeBack::stillNamed(const RawFile &goodPart) const
{
    FileIdentity opened;
    if (auto failure = goodPart.identity(opened))
        return failure;
    const std::optional<FileIdentity> named = m_folder.entry(m_goodPartName);
    if (!named) {
        return RepairFailure(
            RepairFailure::FileNotFound,
            tr("File not found: %1 was removed during the merge").arg(shown(m_goodPartPath)));
    }
    if (!named->isSameFile(opened)) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 was replaced during the merge")
                                 .arg(shown(m_goodPartPath)));
    }
    return {};
}

RawFile::Result MergeBack::checkBeforeWriting(qint64 bytesToWrite)
{
    if (m_folder.entry(m_fixedName)) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: the fixed file %1 already exists").arg(shown(m_fixedPath)));
    }
    if (!m_folder.takesName(m_fixedName)) {
        return RepairFailure(
            RepairFailure::InvalidArgument,
            tr("The name %1 is too long for the file system").arg(shown(m_fixedPath)));
    }
    // The rename at the end needs a folder that can be written.
    if (auto failure = m_folder.checkWritable())
        return failure;
    const qint64 freeBytes = FileProbe::FreeBytes(m_folder.path());
    if (freeBytes >= 0 && freeBytes < bytesToWrite) {
        return RepairFailure(RepairFailure::DiskFull,
                             tr("Disk full: the merge needs %1 more bytes, %2 are free")
                                 .arg(bytesToWrite)
                                 .arg(freeBytes));
    }
    return {};
}
