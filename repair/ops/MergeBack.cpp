#include "MergeBack.h"

#include "CompanionCheck.h"
#include "FileProbe.h"
#include "GoodPartRecord.h"
#include "JoinCheck.h"
#include "MediaScanner.h"
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

RepairFailure MergeBack::damagedToo(qint64 offset) const
{
    // Counted from 1, as the join's message counts.
    const QString description = tr("The new %1 is damaged too, at byte %2.")
                                    .arg(NamingRules::SplitFolderAndName(m_companionPath).name,
                                         QString::number(offset + 1));
    return RepairFailure::refusal(RepairFailure::Reason::DamagedToo, description, m_companionPath)
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
    // A merge that was cut short left bytes of its own at the end: they go first.
    GoodPartRecord record(m_folder, m_goodPartName, goodPart);
    if (const Expected<std::optional<qint64>> given = record.giveBack(); !given)
        return given.failure();
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
    if (Expected<void> ready = CompanionCheck::Check(goodPart, m_goodPartLength, companion,
                                                     *companionIdentity, m_companionPath);
        !ready)
        return ready;
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
    if (!m_damageAccepted) {
        // Damage before the join does not matter: those bytes come from the good part.
        const Expected<ScanFinding> found = MediaScanner::Scan(m_companionPath, hooks);
        if (!found && found.failure().reason() != RepairFailure::Reason::NotReadable)
            return found.failure();
        if (found && found->damage && *found->damage >= m_goodPartLength)
            return damagedToo(*found->damage);
    }

    // From here on, whatever ends the run, the good part can be given back.
    if (Expected<void> recorded = record.recordLength(m_goodPartLength); !recorded)
        return recorded;
    PieceCopier copier(chunkBuffer, hooks);
    Expected<void> merged = copier.copy(companion, goodPart, plan);
    if (merged)
        merged = goodPart.sync();
    // A download that went on meanwhile left the copy with bytes of two moments.
    if (merged)
        merged = CompanionCheck::CheckUnchanged(companion, *companionIdentity, m_companionPath);
    if (merged)
        merged = stillNamed(goodPart);
    if (merged)
        merged = m_folder.renameWithoutReplacing(m_goodPartName, m_fixedName);
    if (!merged) {
        // Give the good part back as it was, so that nothing half-done is left behind; a
        // disk that cannot take even that leaves the record for the next start.
        Expected<void> givenBack = goodPart.truncate(m_goodPartLength);
        if (givenBack)
            givenBack = goodPart.sync();
        if (givenBack)
            (void)record.forgetLength();
        return merged;
    }
    // The record goes only once the new name is sure to outlive a power cut.
    if (Expected<void> synced = m_folder.sync(); !synced)
        return synced;
    (void)record.forgetLength();
    GoodPartRecord::ForgetSource(goodPart);
    return {};
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
    // The rename at the end needs a folder where this user may rename the good part.
    if (Expected<void> writable = m_folder.checkCanRename(m_goodPartName); !writable)
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
