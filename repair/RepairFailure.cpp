#include "RepairFailure.h"

#include <QDir>

#include <cerrno>

RepairFailure RepairFailure::fromErrno(int error, const QString &path)
{
    const QString where = QDir::toNativeSeparators(path);
    switch (error) {
    case ENOENT:
        return {FileNotFound, QStringLiteral("File not found: %1").arg(where)};
    case ENOTDIR:
        return {PathNotFound, QStringLiteral("Path not found: %1").arg(where)};
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return {DiskFull, QStringLiteral("Disk full while writing %1").arg(where)};
    case EACCES:
    case EPERM:
    case EROFS:
        return {PermissionDenied, QStringLiteral("Permission denied: %1").arg(where)};
    case ENOMEM:
        return {OutOfMemory, QStringLiteral("Out of memory")};
    case EISDIR:
    case EEXIST:
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY:
        return {PathFileAccessError, QStringLiteral("Path/file access error: %1").arg(where)};
    case ELOOP:
        return {PathFileAccessError,
                QStringLiteral("Path/file access error: %1 is a symbolic link").arg(where)};
    case ENAMETOOLONG:
        return {InvalidArgument,
                QStringLiteral("The name %1 is too long for the file system").arg(where)};
    case EINVAL:
        return {InvalidArgument, QStringLiteral("Invalid argument: %1").arg(where)};
    default:
        return {DeviceIoError,
                QStringLiteral("Device I/O error on %1 (%2)").arg(where, qt_error_string(error))};
    }
}

QString RepairFailure::message() const
{
    return QString::number(m_code) + QStringLiteral(": ") + m_description;
}
