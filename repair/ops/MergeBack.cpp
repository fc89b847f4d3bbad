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

MergeBack::MergeBack(const QString &goodPartPath, const QString &companionPath)
    : m_goodPartPath(goodPartPath), m_companionPath(companionPath),
      m_fixedPath(NamingRules::FixedPathWith(goodPartPath, companionPath)),
      m_goodPartName(NamingRules::SplitFolderAndName(m_goodPartPath).name),
      m_fixedName(NamingRules::SplitFolderAndName(m_fixedPath).name)
{
}

RepairFailure MergeBack::joinDiffers(qint64 offset) const
{
    // The user counts bytes from 1.
    const QString description
        = tr("The new %1 does not match the good part before byte %2. It may be another file "
             "or another version.")
              .arg(NamingRules::SplitFolderAndName(m_companionPath).name,
                   QString::number(offset + 1));
    return RepairFailure::refusal(RepairFailure::Reason::JoinDiffers, description, m_companionPath)
        .at(offset);
}

Expected<void> MergeBack::run(QByteArray &chunkBuffer, const CopyHooks &hooks)
{
    if (m_goodPartPath.size() < 4) {
        return RepairFailure(RepairFailure::InvalidArgument,
                             tr("Invalid argument: %1 is too short a name for a good part")
                                 .arg(shown(m_goodPartPath)),
                             m_goodPartPath);
    }
    if (Expected<void> opened
        = m_folder.open(NamingRules::SplitFolderAndName(m_goodPartPath).folder);
        !opened)
        return opened;
    RawFile goodPart;
    if (Expected<void> opened = openGoodPart(goodPart); !opened)
        return opened;
    const Expected<qint64> goodPartLength = goodPart.length();
    if (!goodPartLength)
        return goodPartLength.failure();
    m_goodPartLength = *goodPartLength;

    // The companion is only read: a missing one is reported, never created.
    RawFile companion;
    if (Expected<void> opened = companion.openForReading(m_companionPath); !opened)
        return opened;
    const Expected<FileIdentity> companionIdentity = companion.identity();
    if (!companionIdentity)
        return companionIdentity.failure();
    if (!companionIdentity->isRegularFile()) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: %1 is not a plain file").arg(shown(m_companionPath)),
            m_companionPath);
    }
    const qint64 tail = companionIdentity->size - m_goodPartLength;
    if (tail < 1)
        return RepairFailure::refusal(RepairFailure::Reason::CompanionTooShort,
                                      tr("Avi shorter than QQQ"), m_goodPartPath);
    PiecePlan plan;
    plan.firstOffset = m_goodPartLength;
    plan.byteCount = tail;
    // A remainder of up to a whole piece is copied as the last piece.
    plan.fullPieceFrom = PieceCopier::PieceSize + 1;
    plan.yieldsPerFullPiece = 1;
    // Blocks the good part shares with the companion take no new space.
    if (Expected<void> checked
        = checkBeforeWriting(PieceCopier::BytesToWrite(companion, goodPart, plan));
        !checked)
        return checked;
    if (!m_differentJoinAccepted) {
        const Expected<std::optional<qint64>> difference
            = JoinCheck::FirstDifference(goodPart, companion, m_goodPartLength);
        if (!difference)
            return difference.failure();
        if (*difference)
            return joinDiffers(**difference);
    }

    PieceCopier copier(chunkBuffer, hooks);
    Expected<void> merged = copier.copy(companion, goodPart, plan);
    if (merged)
        merged = goodPart.sync();
    if (merged)
        merged = stillNamed(goodPart);
    if (merged)
        merged = m_folder.renameWithoutReplacing(m_goodPartName, m_fixedName);
    if (!merged) {
        // Give the good part back as it was, so that nothing half-done is left behind.
        (void)goodPart.truncate(m_goodPartLength);
        (void)goodPart.sync();
        return merged;
    }
    return m_folder.sync();
}

Expected<void> MergeBack::openGoodPart(RawFile &goodPart)
{
    // Writing through a link would complete some other file, maybe not even the user's.
    const std::optional<FileIdentity> standing = m_folder.entry(m_goodPartName);
    if (standing && standing->isSymbolicLink()) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: %1 is a symbolic link").arg(shown(m_goodPartPath)),
            m_goodPartPath);
    }
    if (standing && !standing->isRegularFile()) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: %1 is not a plain file").arg(shown(m_goodPartPath)),
            m_goodPartPath);
    }
    if (Expected<void> opened = goodPart.openForUpdateIn(m_folder, m_goodPartName); !opened)
        return opened;
    const Expected<FileIdentity> opened = goodPart.identity();
    if (!opened)
        return opened.failure();
    if (opened->links > 1) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 has other names (hard links); "
                                "merging would change them too")
                                 .arg(shown(m_goodPartPath)),
                             m_goodPartPath);
    }
    if (!goodPart.tryLock()) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 is in use by another Saltwick")
                                 .arg(shown(m_goodPartPath)),
                             m_goodPartPath);
    }
    // Replaced between opening and locking: the lock holds a file that is no longer it.
    return stillNamed(goodPart);
}

Expected<void> MergeBack::stillNamed(const RawFile &goodPart) const
{
    const Expected<FileIdentity> opened = goodPart.identity();
    if (!opened)
        return opened.failure();
    const std::optional<FileIdentity> named = m_folder.entry(m_goodPartName);
    if (!named) {
        return RepairFailure(
            RepairFailure::FileNotFound,
            tr("File not found: %1 was removed during the merge").arg(shown(m_goodPartPath)),
            m_goodPartPath);
    }
    if (!named->isSameFile(*opened)) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 was replaced during the merge")
                                 .arg(shown(m_goodPartPath)),
                             m_goodPartPath);
    }
    return {};
}

Expected<void> MergeBack::checkBeforeWriting(qint64 bytesToWrite)
{
    if (m_folder.entry(m_fixedName)) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: the fixed file %1 already exists").arg(shown(m_fixedPath)),
            m_fixedPath);
    }
    if (!m_folder.takesName(m_fixedName)) {
        return RepairFailure(
            RepairFailure::InvalidArgument,
            tr("The name %1 is too long for the file system").arg(shown(m_fixedPath)), m_fixedPath);
    }
    // The rename at the end needs a folder that can be written.
    if (Expected<void> writable = m_folder.checkWritable(); !writable)
        return writable;
    const qint64 freeBytes = FileProbe::FreeBytes(m_folder.path());
    if (freeBytes >= 0 && freeBytes < bytesToWrite) {
        return RepairFailure(RepairFailure::DiskFull,
                             tr("Disk full: the merge needs %1 more bytes, %2 are free")
                                 .arg(bytesToWrite)
                                 .arg(freeBytes),
                             m_fixedPath);
    }
    return {};
}
