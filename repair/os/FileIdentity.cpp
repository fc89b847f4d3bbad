#include "FileIdentity.h"

#include <sys/stat.h>

namespace {

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + qint64(time.tv_nsec);
}

} // namespace

FileIdentity FileIdentity::Of(const struct stat &status)
{
    FileIdentity identity;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.links = status.st_nlink;
    identity.mode = status.st_mode;
    identity.size = status.st_size;
    identity.owner = status.st_uid;
    identity.modified = nanoseconds(status.st_mtim);
    identity.changed = nanoseconds(status.st_ctim);
    return identity;
}

bool FileIdentity::isRegularFile() const
{
    return S_ISREG(mode);
}

bool FileIdentity::isFolder() const
{
    return S_ISDIR(mode);
}

bool FileIdentity::isSymbolicLink() const
{
    return S_ISLNK(mode);
}
