#include "FileIdentity.h"

#include <sys/stat.h>

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
