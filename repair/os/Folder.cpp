#include "Folder.h"

#include "RawFile.h"
#include "SystemErrors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using SystemErrors::Retried;

namespace {

std::optional<FileIdentity> identityAt(int folder, const QString &name, int flags)
{
    struct stat status = {};
    if (::fstatat(folder, QFile::encodeName(name).constData(), &status, flags) != 0)
        return std::nullopt;
    return FileIdentity::Of(status);
}

// Working files of this version, and of the versions that named them after the good part.
bool isWorkingFileName(const QString &name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.(saltwick-[0-9a-zA-Z]{6}|.+\\.saltwick-[0-9a-f]{1,8})$"));
    return pattern.match(name).hasMatch();
}

} // namespace

Folder::~Folder()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

Expected<void> Folder::open(const QString &folderPart)
{
    // A second run of the same operation opens the folder again.
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_path = folderPart;
    const QString where = folderPart.isEmpty() ? QStringLiteral(".") : folderPart;
    const QByteArray name = QFile::encodeName(where);
    m_descriptor
        = Retried([&] { return ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (m_descriptor < 0)
        return SystemErrors::Failure(errno, where);
    return {};
}

RepairFailure Folder::failure(int error, const QString &name) const
{
    const QString path = pathOf(name);
    return SystemErrors::Failure(error, path.isEmpty() ? QDir::currentPath() : path);
}

std::optional<FileIdentity> Folder::entry(const QString &name) const
{
    return identityAt(m_descriptor, name, AT_SYMLINK_NOFOLLOW);
}

std::optional<FileIdentity> Folder::entryFollowed(const QString &name) const
{
    return identityAt(m_descriptor, name, 0);
}

bool Folder::canWrite(const QString &name) const
{
    return ::faccessat(m_descriptor, QFile::encodeName(name).constData(), W_OK, 0) == 0;
}

Expected<void> Folder::link(const RawFile &unnamed, const QString &name)
{
    const QByteArray target = QFile::encodeName(name);
    // Linking by the descriptor itself needs a privilege; its entry in /proc does not.
    if (::linkat(unnamed.descriptor(), "", m_descriptor, target.constData(), AT_EMPTY_PATH) == 0)
        return {};
    if (!SystemErrors::CannotLinkByDescriptor(errno))
        return failure(errno, name);
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(unnamed.descriptor());
    if (::linkat(AT_FDCWD, proc.constData(), m_descriptor, target.constData(), AT_SYMLINK_FOLLOW)
        != 0)
        return failure(errno, name);
    return {};
}

Expected<void> Folder::renameWithoutReplacing(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(m_descriptor, source.constData(), m_descriptor, target.constData(),
                    RENAME_NOREPLACE)
        == 0)
        return {};
    // A missing source is the file that vanished, not the name it was to take.
    if (errno == ENOENT)
        return failure(errno, from);
    if (!SystemErrors::CannotRenameWithFlags(errno))
        return failure(errno, to);

    // File systems without the flag: a hard link refuses an existing name just as well.
    if (::linkat(m_descriptor, source.constData(), m_descriptor, target.constData(), 0) == 0) {
        if (::unlinkat(m_descriptor, source.constData(), 0) != 0) {
            // One file under both names is neither a good part nor a fixed file.
            const int error = errno;
            (void)::unlinkat(m_descriptor, target.constData(), 0);
            return failure(error, from);
        }
        return {};
    }
    if (errno == ENOENT)
        return failure(errno, from);
    if (!SystemErrors::CannotRenameWithFlags(errno))
        return failure(errno, to);

    // Neither is there (some removable media): check, then rename.
    if (entry(to))
        return failure(EEXIST, to);
    return renameReplacing(from, to);
}

Expected<void> Folder::renameReplacing(const QString &from, const QString &to)
{
    if (::renameat(m_descriptor, QFile::encodeName(from).constData(), m_descriptor,
                   QFile::encodeName(to).constData())
        != 0)
        return failure(errno, errno == ENOENT ? from : to);
    return {};
}

Expected<void> Folder::remove(const QString &name)
{
    if (::unlinkat(m_descriptor, QFile::encodeName(name).constData(), 0) != 0)
        return failure(errno, name);
    return {};
}

Expected<void> Folder::removeFolder(const QString &name)
{
    if (::unlinkat(m_descriptor, QFile::encodeName(name).constData(), AT_REMOVEDIR) != 0)
        return failure(errno, name);
    return {};
}

Expected<void> Folder::sync()
{
    if (Retried([&] { return ::fsync(m_descriptor); }) != 0 && errno != EINVAL)
        return failure(errno, QString());
    return {};
}

Expected<void> Folder::checkWritable() const
{
    struct statvfs info = {};
    if (::fstatvfs(m_descriptor, &info) == 0 && (info.f_flag & ST_RDONLY))
        return failure(EROFS, QString());
    if (::faccessat(m_descriptor, ".", W_OK | X_OK, AT_EACCESS) != 0)
        return failure(errno, QString());
    return {};
}

Expected<void> Folder::checkCanRename(const QString &name) const
{
    if (Expected<void> writable = checkWritable(); !writable)
        return writable;
    // In a sticky folder only the file's owner, the folder's owner or a privileged user may
    // rename the file; anyone else's merge would fail at its very end.
    struct stat folder = {};
    const std::optional<FileIdentity> file = entry(name);
    if (!file || ::fstat(m_descriptor, &folder) != 0 || !(folder.st_mode & S_ISVTX))
        return {};
    const uid_t user = ::geteuid();
    if (user == 0 || user == folder.st_uid || user == file->owner)
        return {};
    const QString path = pathOf(name);
    return RepairFailure(RepairFailure::PermissionDenied,
                         QCoreApplication::translate("Folder",
                                                     "Permission denied: %1 belongs to another "
                                                     "user, and in this folder only they may "
                                                     "rename it")
                             .arg(QDir::toNativeSeparators(path)),
                         path);
}

bool Folder::isMountPoint(const QString &name) const
{
    struct statx status = {};
    if (::statx(m_descriptor, QFile::encodeName(name).constData(), AT_SYMLINK_NOFOLLOW,
                STATX_BASIC_STATS, &status)
        != 0)
        return false;
    if (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return status.stx_attributes & STATX_ATTR_MOUNT_ROOT;
    // Older kernels: another file system begins there.
    struct stat folder = {};
    return ::fstat(m_descriptor, &folder) == 0
           && (status.stx_dev_major != major(folder.st_dev)
               || status.stx_dev_minor != minor(folder.st_dev));
}

QStringList Folder::names() const
{
    QStringList names;
    const int listing = ::openat(m_descriptor, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return names;
    DIR *entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return names;
    }
    while (const dirent *entry = ::readdir(entries)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (QFile::encodeName(name) == entry->d_name && name != u"." && name != u"..")
            names << name;
    }
    ::closedir(entries);
    return names;
}

bool Folder::takesName(const QString &name) const
{
    const long longest = ::fpathconf(m_descriptor, _PC_NAME_MAX);
    return longest <= 0 || QFile::encodeName(name).size() <= longest;
}

void Folder::removeLeftoverWorkingFiles()
{
    for (const QString &name : names()) {
        if (!isWorkingFileName(name))
            continue;
        RawFile file;
        const std::optional<FileIdentity> before = entry(name);
        if (!before || !before->isRegularFile() || !file.openToLockIn(*this, name))
            continue;
        // A running Saltwick holds its working file locked for as long as it writes it.
        if (!file.tryLock())
            continue;
        const Expected<FileIdentity> opened = file.identity();
        if (opened && opened->isSameFile(*before))
            (void)remove(name);
    }
}
