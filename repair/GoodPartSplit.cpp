#include "GoodPartSplit.h"

#include "FileProbe.h"
#include "NamingRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

RepairFailure accessError(const QString &path, const QString &what)
{
    return {RepairFailure::PathFileAccessError, what.arg(shown(path))};
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

QString GoodPartSplit::refusalMessage(Outcome outcome)
{
    switch (outcome) {
    case SourceMissing:
        return tr("File doesn't exist");
    case SizeTooLarge:
        return tr("Split size is larger than the file");
    case SourceIsGoodPart:
        return tr("This file already has the good part's name, and Split would overwrite it. "
                  "Please rename it first.");
    default:
        return {};
    }
}

QString GoodPartSplit::consentQuestion()
{
    return tr("Split folder already exist. Would you like to overwrite it?");
}

QString GoodPartSplit::message(Outcome outcome) const
{
    const QString fixed = refusalMessage(outcome);
    if (!fixed.isEmpty() || !m_failure)
        return fixed;
    return m_failure->message();
}

GoodPartSplit::Outcome GoodPartSplit::fail(Outcome outcome, const RepairFailure &failure)
{
    m_failure = failure;
    return outcome;
}

bool GoodPartSplit::sameAsSource(const std::optional<FileIdentity> &entry) const
{
    return entry && entry->isSameFile(m_sourceIdentity);
}

GoodPartSplit::Outcome GoodPartSplit::check()
{
    m_failure.reset();
    if (!FileProbe::IsOrdinaryFile(m_sourcePath))
        return SourceMissing;
    if (m_goodPartPath.isEmpty()) {
        const QString name = NamingRules::SplitFolderAndName(m_sourcePath).name;
        return fail(NameTooShort,
                    {RepairFailure::InvalidArgument,
                     tr("Invalid argument: the name %1 is too short for a good part").arg(name)});
    }
    if (!m_source.isOpen()) {
        if (auto failure = m_source.openForReading(m_sourcePath))
            return fail(Failed, *failure);
        if (auto failure = m_source.identity(m_sourceIdentity))
            return fail(Failed, *failure);
        if (auto failure = m_folder.open(NamingRules::SplitFolderAndName(m_sourcePath).folder))
            return fail(Failed, *failure);
    }
    m_sourceLength = m_sourceIdentity.size;
    if (m_sourceLength < m_size)
        return SizeTooLarge;
    if (m_sourcePath == m_goodPartPath || sameAsSource(m_folder.entry(m_goodPartName))
        || sameAsSource(m_folder.entryFollowed(m_goodPartName)))
        return SourceIsGoodPart;

    const Outcome goodPartPath = checkGoodPartPath();
    if (goodPartPath != Ready)
        return goodPartPath;

    const qint64 needed = bytesToWrite();
    const qint64 freeBytes = FileProbe::FreeBytes(m_folder.path());
    if (freeBytes >= 0 && freeBytes < needed) {
        return fail(Failed, {RepairFailure::DiskFull,
                             tr("Disk full: the good part needs %1 bytes, %2 are free")
                                 .arg(needed)
                                 .arg(freeBytes)});
    }
    return Ready;
}

PiecePlan GoodPartSplit::plan() const
{
    PiecePlan plan;
    plan.firstPosition = 1;
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
    bool refused = false;
    if (probe.createUnnamedIn(m_folder, m_goodPartPath, refused) || refused)
        return m_size;
    return PieceCopier::BytesToWrite(m_source, probe, plan());
}

GoodPartSplit::Outcome GoodPartSplit::checkGoodPartPath()
{
    m_oldGoodPart.close();
    m_oldGoodPartIdentity = m_folder.entry(m_goodPartName);
    if (!m_oldGoodPartIdentity)
        return Ready;
    const FileIdentity &standing = *m_oldGoodPartIdentity;
    if (standing.isFolder()) {
        if (m_overwriteAgreed)
            return Ready;
        return fail(NeedsConsent,
                    accessError(m_goodPartPath, tr("Path/file access error: %1 is a folder")));
    }
    // A pipe, a device or a link is nothing the user would expect Split to replace.
    if (!standing.isRegularFile()) {
        return fail(Failed,
                    accessError(m_goodPartPath,
                                standing.isSymbolicLink()
                                    ? tr("Path/file access error: %1 is a symbolic link")
                                    : tr("Path/file access error: %1 is not a plain file")));
    }
    // An older good part: held locked, so that no other Saltwick merges it while it is
    // being replaced, and refused while another one holds it.
    if (!m_oldGoodPart.openToLockIn(m_folder, m_goodPartName)) {
        FileIdentity opened;
        if (m_oldGoodPart.identity(opened) || !opened.isSameFile(standing))
            return fail(Failed, accessError(m_goodPartPath,
                                            tr("Path/file access error: %1 changed while it was "
                                               "being checked")));
        if (!m_oldGoodPart.tryLock())
            return fail(Failed, accessError(m_goodPartPath,
                                            tr("Path/file access error: %1 is in use by another "
                                               "Saltwick")));
    }
    // A file nobody may write to counts as read-only even for a user the system lets write.
    const bool writable = (standing.mode & 0222) != 0
                          && ::faccessat(m_folder.descriptor(),
                                         QFile::encodeName(m_goodPartName).constData(), W_OK, 0)
                                 == 0;
    if (!writable && !m_overwriteAgreed)
        return fail(NeedsConsent, accessError(m_goodPartPath,
                                              tr("Path/file access error: %1 cannot be written")));
    return Ready;
}

GoodPartSplit::Outcome GoodPartSplit::run(QByteArray &chunkBuffer, const CopyHooks &hooks)
{
    const Outcome checked = check();
    if (checked != Ready)
        return checked;
    m_folder.removeLeftoverWorkingFiles();
    if (m_oldGoodPartIdentity && m_oldGoodPartIdentity->isFolder()) {
        if (auto failure = moveFolderAway())
            return fail(Failed, *failure);
        m_oldGoodPartIdentity.reset();
    }

    RawFile target;
    QString hiddenName;
    auto failure = createWorkingFile(target, hiddenName);
    bool stopped = false;
    if (!failure) {
        PieceCopier copier(chunkBuffer, hooks);
        failure = copier.copy(m_source, target, plan());
        stopped = copier.stopped();
    }
    if (!failure)
        failure = target.sync();
    if (!failure)
        failure = putInPlace(target, hiddenName);
    if (failure) {
        if (!hiddenName.isEmpty())
            m_folder.remove(hiddenName);
        return stopped ? Interrupted : fail(Failed, *failure);
    }
    m_oldGoodPart.close();
    if (auto synced = m_folder.sync())
        return fail(Failed, *synced);
    return Written;
}

RawFile::Result GoodPartSplit::createWorkingFile(RawFile &file, QString &hiddenName)
{
    bool refused = false;
    if (auto failure = file.createUnnamedIn(m_folder, m_goodPartPath, refused))
        return failure;
    if (!refused) {
        file.tryLock();
        return {};
    }
    // Without unnamed files: a short hidden name, locked, so that the next start in this
    // folder can tell it from the file of a Saltwick still running.
    for (int attempt = 0;; ++attempt) {
        hiddenName = workingFileName();
        auto failure = file.createNewIn(m_folder, hiddenName, m_goodPartPath);
        if (failure && attempt < 20 && m_folder.entry(hiddenName))
            continue;
        if (failure) {
            hiddenName.clear();
            return failure;
        }
        FileIdentity created;
        const bool held = file.tryLock() && !file.identity(created) && m_folder.entry(hiddenName)
                          && m_folder.entry(hiddenName)->isSameFile(created);
        if (held)
            return {};
        // Taken away as a leftover between creating and locking it: try another name.
        file.close();
        if (attempt == 20)
            return accessError(m_goodPartPath,
                               tr("Path/file access error: %1 could not be written"));
    }
}

RawFile::Result GoodPartSplit::putInPlace(RawFile &file, QString &hiddenName)
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
            if (!m_folder.link(file, name))
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

RawFile::Result GoodPartSplit::moveFolderAway()
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
    for (const QFileInfo &entry : entries) {
        const QString path = folder.filePath(entry.fileName());
        if (::unlink(QFile::encodeName(path).constData()) != 0)
            return RepairFailure::fromErrno(errno, path);
    }
    if (::unlinkat(m_folder.descriptor(), QFile::encodeName(m_goodPartName).constData(),
                   AT_REMOVEDIR)
        != 0)
        return RepairFailure::fromErrno(errno, m_goodPartPath);
    return {};
}
