#include "FileMoves.h"

#include "NamingRules.h"

#include <QFile>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace FileMoves {

namespace {

QByteArray local(const QString &path)
{
    return QFile::encodeName(path);
}

bool unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

} // namespace

RawFile::Result RenameReplacing(const QString &from, const QString &to)
{
    if (::rename(local(from).constData(), local(to).constData()) != 0)
        return RepairFailure::fromErrno(errno, to);
    return {};
}

RawFile::Result RenameWithoutReplacing(const QString &from, const QString &to)
{
    if (::renameat2(AT_FDCWD, local(from).constData(), AT_FDCWD, local(to).constData(),
                    RENAME_NOREPLACE)
        == 0)
        return {};
    if (!unsupported(errno))
        return RepairFailure::fromErrno(errno, to);

    // File systems without the flag: a hard link refuses an existing name just as well.
    if (::link(local(from).constData(), local(to).constData()) == 0) {
        if (::unlink(local(from).constData()) != 0)
            return RepairFailure::fromErrno(errno, from);
        return {};
    }
    if (!unsupported(errno))
        return RepairFailure::fromErrno(errno, to);

    // Neither is there (some removable media): check, then rename.
    if (::access(local(to).constData(), F_OK) == 0)
        return RepairFailure::fromErrno(EEXIST, to);
    return RenameReplacing(from, to);
}

RawFile::Result SyncFolderOf(const QString &path)
{
    QString folder = NamingRules::SplitFolderAndName(path).folder;
    if (folder.isEmpty())
        folder = QStringLiteral(".");
    const int descriptor = ::open(local(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return RepairFailure::fromErrno(errno, folder);
    const bool synced = ::fsync(descriptor) == 0 || errno == EINVAL;
    const int error = errno;
    ::close(descriptor);
    if (!synced)
        return RepairFailure::fromErrno(error, folder);
    return {};
}

} // namespace FileMoves
