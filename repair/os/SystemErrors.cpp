#include "SystemErrors.h"

#include <QDir>

namespace SystemErrors {

RepairFailure Failure(int error, const QString &path)
{
    const QString where = QDir::toNativeSeparators(path);
    switch (error) {
    case ENOENT:
        return {RepairFailure::FileNotFound, QCoreApplication::translate("RepairFailure", "File not found: %1").arg(where), path};
    case ENOTDIR:
        return {RepairFailure::PathNotFound, QCoreApplication::translate("RepairFailure", "Path not found: %1").arg(where), path};
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return {RepairFailure::DiskFull, QCoreApplication::translate("RepairFailure", "Disk full while writing %1").arg(where), path};
    case EACCES:
    case EPERM:
    case EROFS:
        return {RepairFailure::PermissionDenied, QCoreApplication::translate("RepairFailure", "Permission denied: %1").arg(where), path};
    case ENOMEM:
        return {RepairFailure::OutOfMemory, QCoreApplication::translate("RepairFailure", "Out of memory"), path};
    case EISDIR:
    case EEXIST:
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY:
        return {RepairFailure::PathFileAccessError, QCoreApplication::translate("RepairFailure", "Path/file access error: %1").arg(where),
                path};
    case ELOOP:
        return {RepairFailure::PathFileAccessError,
                QCoreApplication::translate("RepairFailure", "Path/file access error: %1 is a symbolic link").arg(where), path};
    case ENAMETOOLONG:
        return {RepairFailure::InvalidArgument,
                QCoreApplication::translate("RepairFailure", "The name %1 is too long for the file system").arg(where), path};
    case EINVAL:
        return {RepairFailure::InvalidArgument, QCoreApplication::translate("RepairFailure", "Invalid argument: %1").arg(where), path};
    default:
        return {RepairFailure::DeviceIoError,
                QCoreApplication::translate("RepairFailure", "Device I/O error on %1 (%2)").arg(where, qt_error_string(error)), path};
    }
}

RepairFailure FileNotFound(const QString &path)
{
    return Failure(ENOENT, path);
}

RepairFailure NotAFolder(const QString &path)
{
    return Failure(ENOTDIR, path);
}

RepairFailure NotReadable(const QString &path)
{
    return Failure(EACCES, path);
}

bool CannotCopyInKernel(int error)
{
    return error == EXDEV || error == EINVAL || error == EOPNOTSUPP || error == ENOSYS
           || error == EBADF;
}

bool CannotMakeUnnamedFiles(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
}

bool CannotRenameWithFlags(int error)
{
    // EPERM is a refusal (a sticky folder, an immutable file), never a missing flag.
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

bool AttributesNotKept(int error)
{
    return error == EOPNOTSUPP || error == ENOSYS;
}

bool CannotLinkByDescriptor(int error)
{
    return error == ENOENT || error == EPERM || error == EACCES;
}

} // namespace SystemErrors
