#include "HeldGoodPart.h"

#include "FileProbe.h"

#include <QDir>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

Expected<void> HeldGoodPart::open(const Folder &folder, const QString &name, const QString &path)
{
    m_folder = &folder;
    m_name = name;
    m_path = path;
    // Writing through a link would complete some other file, maybe not even the user's.
    const std::optional<FileIdentity> standing = folder.entry(name);
    if (standing && standing->isSymbolicLink()) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 is a symbolic link").arg(shown(path)),
                             path);
    }
    if (standing && !standing->isRegularFile()) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 is not a plain file").arg(shown(path)),
                             path);
    }
    if (Expected<void> opened = m_file.openForUpdateIn(folder, name); !opened)
        return opened;
    const Expected<FileIdentity> opened = m_file.identity();
    if (!opened)
        return opened.failure();
    if (opened->links > 1) {
        return RepairFailure(RepairFailure::PathFileAccessError,
                             tr("Path/file access error: %1 has other names (hard links); "
                                "completing it would change them too")
                                 .arg(shown(path)),
                             path);
    }
    if (!m_file.tryLock()) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: %1 is in use by another Saltwick").arg(shown(path)), path);
    }
    // Replaced between opening and locking: the lock holds a file that is no longer it.
    return stillNamed();
}

Expected<void> HeldGoodPart::stillNamed() const
{
    const Expected<FileIdentity> opened = m_file.identity();
    if (!opened)
        return opened.failure();
    const std::optional<FileIdentity> named = m_folder->entry(m_name);
    if (!named) {
        return RepairFailure(RepairFailure::FileNotFound,
                             tr("File not found: %1 was removed meanwhile").arg(shown(m_path)),
                             m_path);
    }
    if (!named->isSameFile(*opened)) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: %1 was replaced meanwhile").arg(shown(m_path)), m_path);
    }
    return {};
}

Expected<void> HeldGoodPart::CheckFixedName(const Folder &folder, const QString &fixedName,
                                            const QString &fixedPath, qint64 bytesToWrite)
{
    if (folder.entry(fixedName)) {
        return RepairFailure(
            RepairFailure::PathFileAccessError,
            tr("Path/file access error: the fixed file %1 already exists").arg(shown(fixedPath)),
            fixedPath);
    }
    if (!folder.takesName(fixedName)) {
        return RepairFailure(
            RepairFailure::InvalidArgument,
            tr("The name %1 is too long for the file system").arg(shown(fixedPath)), fixedPath);
    }
    if (Expected<void> writable = folder.checkWritable(); !writable)
        return writable;
    const qint64 freeBytes = FileProbe::FreeBytes(folder.path());
    if (freeBytes >= 0 && freeBytes < bytesToWrite) {
        return RepairFailure(
            RepairFailure::DiskFull,
            tr("Disk full: %1 needs %2 more bytes, %3 are free")
                .arg(shown(fixedPath), QString::number(bytesToWrite), QString::number(freeBytes)),
            fixedPath);
    }
    return {};
}
