#include "GoodPartSplit.h"

#include "FileProbe.h"
#include "NamingRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

RepairFailure accessError(const QString &path, const QString &what)
{
    return {RepairFailure::PathFileAccessError, what.arg(shown(path)), path};
}

// Short and of fixed length, so that any name the file system takes for the good part can
// be written, even one at the longest length it allows.
QString workingFileName()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString name = QStringLiteral(".saltwick-");
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
    return name;
}

} // namespace

GoodPartSplit::GoodPartSplit(const QString &sourcePath, qint64 size)
    : m_sourcePath(sourcePath), m_size(size)
{
    const auto [folder, name] = NamingRules::SplitFolderAndName(sourcePath);
    m_goodPartPath = NamingRules::GoodPartPath(folder, name);
    m_goodPartName = NamingRules::SplitFolderAndName(m_goodPartPath).name;
}

RepairFailure GoodPartSplit::sourceMissing(const QString &path)
{
    return RepairFailure::refusal(RepairFailure::Reason::SourceMissing, tr("File doesn't exist"),
                                  path);
}

QString GoodPartSplit::consentQuestion()
{
    return tr("Split folder already exist. Would you like to overwrite it?");
}

RepairFailure GoodPartSplit::refusal(RepairFailure::Reason reason, const QString &description) const
{
    return RepairFailure::refusal(reason, description, m_sourcePath);
}

bool GoodPartSplit::sameAsSource(const std::optional<FileIdentity> &entry) const
{
    return entry && entry->isSameFile(m_sourceIdentity);
}

Expected<void> GoodPartSplit::check()
{
    if (!FileProbe::IsOrdinaryFile(m_sourcePath))
        return sourceMissing(m_sourcePath);
    if (m_goodPartPath.isEmpty()) {
        const QString name = NamingRules::SplitFolderAndName(m_sourcePath).name;
        return RepairFailure::refusal(
            RepairFailure::Reason::NameTooShort,
            tr("Invalid argument: the name %1 is too short for a good part").arg(name),
            m_sourcePath, RepairFailure::InvalidArgument);
    }
    if (!m_source.isOpen()) {
        if (Expected<void> opened = m_source.openForReading(m_sourcePath); !opened)
            return opened;
        const Expected<FileIdentity> identity = m_source.identity();
        if (!identity)
            return identity.failure();
        m_sourceIdentity = *identity;
        if (Expected<void> opened
            = m_folder.open(NamingRules::SplitFolderAndName(m_sourcePath).folder);
            !opened)
            return opened;
    }
    m_sourceLength = m_sourceIdentity.size;
    if (m_sourceLength < m_size)
        return refusal(RepairFailure::Reason::SizeTooLarge,
                       tr("Split size is larger than the file"));
    if (m_sourcePath == m_goodPartPath || sameAsSource(m_folder.entry(m_goodPartName))
        || sameAsSource(m_folder.entryFollowed(m_goodPartName)))
        return refusal(RepairFailure::Reason::SourceIsGoodPart,
                       tr("This file already has the good part's name, and Split would "
                          "overwrite it. Please rename it first."));

    if (Expected<void> goodPartPath = checkGoodPartPath(); !goodPartPath)
        return goodPartPath;

    const qint64 needed = bytesToWrite();
    const qint64 freeBytes = FileProbe::FreeBytes(m_folder.path());
    if (freeBytes >= 0 && freeBytes < needed) {
        return RepairFailure(
            RepairFailure::DiskFull,
            tr("Disk full: the good part needs %1 bytes, %2 are free").arg(needed).arg(freeBytes),
            m_goodPartPath);
    }
    return {};
}

PiecePlan GoodPartSplit::plan() const
{
    PiecePlan plan;
    plan.firstOffset = 0;
    plan.byteCount = m_size;
    plan.fullPieceFrom = PieceCopier::PieceSize;
    plan.yieldsPerFullPiece = 2;
    return plan;
}

// Blocks the good part shares with the source take no new space. A throwaway unnamed file
// in the folder asks the file system whether they can be shared; without one, every byte
// counts.
qint64 GoodPartSplit::bytesToWrite() const
{
    RawFile probe;
    const Expected<bool> made = probe.createUnnamedIn(m_folder, m_goodPartPath);
    if (!made || !*made)
        return m_size;
    return PieceCopier::BytesToWrite(m_source, probe, plan());
}

Expected<void> GoodPartSplit::checkGoodPartPath()
{
    (void)m_oldGoodPart.close();
    m_oldGoodPartIdentity = m_folder.entry(m_goodPartName);
    if (!m_oldGoodPartIdentity)
        return {};
    const FileIdentity &standing = *m_oldGoodPartIdentity;
    if (standing.isFolder()) {
        if (m_overwriteAgreed)
            return {};
        return RepairFailure::refusal(
            RepairFailure::Reason::NeedsConsent,
            tr("Path/file access error: %1 is a folder").arg(shown(m_goodPartPath)), m_goodPartPath,
            RepairFailure::PathFileAccessError);
    }
    // A pipe, a device or a link is nothing the user would expect Split to replace.
    if (!standing.isRegularFile()) {
        return accessError(m_goodPartPath,
                           standing.isSymbolicLink()
                               ? tr("Path/file access error: %1 is a symbolic link")
                               : tr("Path/file access error: %1 is not a plain file"));
    }
    // An older good part: held locked, so that no other Saltwick merges it while it is
    // being replaced, and refused while another one holds it.
    if (m_oldGoodPart.openToLockIn(m_folder, m_goodPartName)) {
        const Expected<FileIdentity> opened = m_oldGoodPart.identity();
        if (!opened || !opened->isSameFile(standing))
            return accessError(m_goodPartPath, tr("Path/file access error: %1 changed while it "
                                                  "was being checked"));
        if (!m_oldGoodPart.tryLock())
            return accessError(m_goodPartPath, tr("Path/file access error: %1 is in use by "
                                                  "another Saltwick"));
    }
    // A file nobody may write to counts as read-only even for a user the system lets write.
    const bool writable = !standing.isReadOnly() && m_folder.canWrite(m_goodPartName);
    if (!writable && !m_overwriteAgreed)
        return RepairFailure::refusal(
            RepairFailure::Reason::NeedsConsent,
            tr("Path/file access error: %1 cannot be written").arg(shown(m_goodPartPath)),
            m_goodPartPath, RepairFailure::PathFileAccessError);
    return {};
}

Expected<void> GoodPartSplit::run(QByteArray &chunkBuffer, const CopyHooks &hooks)
{
    if (Expected<void> checked = check(); !checked)
        return checked;
    m_folder.removeLeftoverWorkingFiles();
    if (m_oldGoodPartIdentity && m_oldGoodPartIdentity->isFolder()) {
        if (Expected<void> moved = moveFolderAway(); !moved)
            return moved;
        m_oldGoodPartIdentity.reset();
    }

    RawFile target;
    QString hiddenName;
    Expected<void> written = createWorkingFile(target, hiddenName);
    if (written) {
        PieceCopier copier(chunkBuffer, hooks);
        written = copier.copy(m_source, target, plan());
    }
    if (written)
        written = target.sync();
    if (written)
        written = putInPlace(target, hiddenName);
    if (!written) {
        if (!hiddenName.isEmpty())
            (void)m_folder.remove(hiddenName);
        return written;
    }
    (void)m_oldGoodPart.close();
    return m_folder.sync();
}

Expected<void> GoodPartSplit::createWorkingFile(RawFile &file, QString &hiddenName)
{
    const Expected<bool> unnamed = file.createUnnamedIn(m_folder, m_goodPartPath);
    if (!unnamed)
        return unnamed.failure();
    if (*unnamed) {
        file.tryLock();
        return {};
    }
    // Without unnamed files: a short hidden name, locked, so that the next start in this
    // folder can tell it from the file of a Saltwick still running.
    for (int attempt = 0;; ++attempt) {
        hiddenName = workingFileName();
        const Expected<void> created = file.createNewIn(m_folder, hiddenName, m_goodPartPath);
        if (!created && attempt < 20 && m_folder.entry(hiddenName))
            continue;
        if (!created) {
            hiddenName.clear();
            return created;
        }
        const bool locked = file.tryLock();
        const Expected<FileIdentity> identity = file.identity();
        const std::optional<FileIdentity> named = m_folder.entry(hiddenName);
        if (locked && identity && named && named->isSameFile(*identity))
            return {};
        // Taken away as a leftover between creating and locking it: try another name.
        (void)file.close();
        if (attempt == 20)
            return accessError(m_goodPartPath,
                               tr("Path/file access error: %1 could not be written"));
    }
}

Expected<void> GoodPartSplit::putInPlace(RawFile &file, QString &hiddenName)
{
    const std::optional<FileIdentity> standing = m_folder.entry(m_goodPartName);
    const bool replacesOld
        = standing && m_oldGoodPartIdentity && standing->isSameFile(*m_oldGoodPartIdentity);
    if (standing && !replacesOld) {
        return accessError(m_goodPartPath,
                           tr("Path/file access error: %1 appeared while the good part was "
                              "being written; it was left as it is"));
    }
    if (!replacesOld && hiddenName.isEmpty())
        return m_folder.link(file, m_goodPartName);
    if (hiddenName.isEmpty()) {
        // An unnamed file cannot replace a name in one step; it takes a short-lived working
        // name first, which the next start would clear away after a crash.
        for (int attempt = 0; attempt < 20 && hiddenName.isEmpty(); ++attempt) {
            const QString name = workingFileName();
            if (m_folder.link(file, name))
                hiddenName = name;
        }
        if (hiddenName.isEmpty())
            return accessError(m_goodPartPath,
                               tr("Path/file access error: %1 could not be written"));
    }
    if (replacesOld)
        return m_folder.renameReplacing(hiddenName, m_goodPartName);
    return m_folder.renameWithoutReplacing(hiddenName, m_goodPartName);
}

Expected<void> GoodPartSplit::moveFolderAway()
{
    // Qt files trashed items under the current folder when the data folder is missing.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (QFile::moveToTrash(m_goodPartPath) && !m_folder.entry(m_goodPartName))
        return {};

    // No trash here: only a folder of plain files is emptied and removed.
    const QDir folder(m_goodPartPath);
    const QFileInfoList entries = folder.entryInfoList(QDir::AllEntries | QDir::Hidden
                                                       | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            return accessError(m_goodPartPath,
                               tr("Path/file access error: %1 holds folders of its own"));
    }
    Folder inside;
    if (Expected<void> opened = inside.open(m_goodPartPath + u'/'); !opened)
        return opened;
    for (const QFileInfo &entry : entries) {
        if (Expected<void> removed = inside.remove(entry.fileName()); !removed)
            return removed;
    }
    return m_folder.removeFolder(m_goodPartName);
}
