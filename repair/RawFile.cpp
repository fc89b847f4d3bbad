#include "RawFile.h"

#include "Folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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

RawFile::~RawFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

RawFile::Result RawFile::open(const QString &path, int flags, const QString &shownAs)
{
    close();
    m_path = shownAs.isEmpty() ? path : shownAs;
    do {
        m_descriptor = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666);
    } while (m_descriptor < 0 && errno == EINTR);
    if (m_descriptor < 0)
        return failure(errno);
    return {};
}

RawFile::Result RawFile::openIn(const Folder &folder, const QString &name, int flags,
                                const QString &shownAs)
{
    close();
    m_path = shownAs.isEmpty() ? folder.pathOf(name) : shownAs;
    do {
        m_descriptor = ::openat(folder.descriptor(), QFile::encodeName(name).constData(),
                                flags | O_CLOEXEC, 0666);
    } while (m_descriptor < 0 && errno == EINTR);
    if (m_descriptor < 0)
        return failure(errno);
    return {};
}

RawFile::Result RawFile::openForUpdateIn(const Folder &folder, const QString &name)
{
    return openIn(folder, name, O_RDWR | O_NOFOLLOW, {});
}

RawFile::Result RawFile::openToLockIn(const Folder &folder, const QString &name)
{
    return openIn(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, {});
}

RawFile::Result RawFile::createNewIn(const Folder &folder, const QString &name,
                                     const QString &shownAs)
{
    return openIn(folder, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, shownAs);
}

RawFile::Result RawFile::createUnnamedIn(const Folder &folder, const QString &shownAs,
                                         bool &refused)
{
    close();
    refused = false;
    m_path = shownAs;
    do {
        m_descriptor = ::openat(folder.descriptor(), ".", O_RDWR | O_TMPFILE | O_CLOEXEC, 0666);
    } while (m_descriptor < 0 && errno == EINTR);
    if (m_descriptor >= 0)
        return {};
    // Older kernels and some file systems cannot make unnamed files; that is no failure.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT) {
        refused = true;
        return {};
    }
    return failure(errno);
}

RawFile::Result RawFile::identity(FileIdentity &identity) const
{
    struct stat status = {};
    if (::fstat(m_descriptor, &status) != 0)
        return failure(errno);
    identity = {status.st_dev, status.st_ino, status.st_nlink, status.st_mode, status.st_size};
    return {};
}

bool RawFile::tryLock()
{
    int result = 0;
    do {
        result = ::flock(m_descriptor, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

RawFile::Result RawFile::openForReading(const QString &path)
{
    // A pipe put in a file's place must not hold the window up until someone writes to it.
    return open(path, O_RDONLY | O_NONBLOCK);
}

RawFile::Result RawFile::openForWriting(const QString &path)
{
    return open(path, O_WRONLY);
}

RawFile::Result RawFile::createNew(const QString &path, const QString &shownAs)
{
    return open(path, O_WRONLY | O_CREAT | O_EXCL, shownAs);
}

RawFile::Result RawFile::length(qint64 &bytes) const
{
    struct stat status = {};
    if (::fstat(m_descriptor, &status) != 0)
        return failure(errno);
    bytes = status.st_size;
    return {};
}

RepairFailure RawFile::endedEarly() const
{
    return {RepairFailure::DeviceIoError,
            QCoreApplication::translate(
                "RawFile", "%1 ended before the expected length; it may have changed meanwhile")
                .arg(QDir::toNativeSeparators(m_path))};
}

RawFile::Result RawFile::readAt(qint64 position, char *data, qint64 count) const
{
    off_t offset = position - 1;
    while (count > 0) {
        const ssize_t got = ::pread(m_descriptor, data, size_t(count), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failure(errno);
        if (got == 0)
            return endedEarly();
        data += got;
        offset += got;
        count -= got;
    }
    return {};
}

RawFile::Result RawFile::writeAt(qint64 position, const char *data, qint64 count)
{
    off_t offset = position - 1;
    while (count > 0) {
        const ssize_t put = ::pwrite(m_descriptor, data, size_t(count), offset);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return failure(errno);
        data += put;
        offset += put;
        count -= put;
    }
    return {};
}

RawFile::Result RawFile::copyRangeFrom(const RawFile &source, qint64 position, qint64 count,
                                       bool &refused)
{
    refused = false;
    loff_t from = position - 1;
    loff_t to = position - 1;
    bool movedAny = false;
    while (count > 0) {
        const ssize_t moved
            = ::copy_file_range(source.m_descriptor, &from, m_descriptor, &to, size_t(count), 0);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0) {
            const int error = errno;
            // These say the kernel cannot copy between these files, not that they are broken.
            if (!movedAny
                && (error == EXDEV || error == EINVAL || error == EOPNOTSUPP || error == ENOSYS
                    || error == EBADF)) {
                refused = true;
                return {};
            }
            return failure(error);
        }
        if (moved == 0)
            return source.endedEarly();
        movedAny = true;
        count -= moved;
    }
    return {};
}

bool RawFile::canShareBlocksWith(const RawFile &source) const
{
    qint64 sourceLength = 0;
    if (source.length(sourceLength))
        return false;
    // A clone of no bytes at the source's end passes every check a real one would, and
    // fails the same way where the files cannot share blocks, but changes nothing.
    file_clone_range range = {};
    range.src_fd = source.m_descriptor;
    range.src_offset = quint64(sourceLength);
    range.src_length = 0;
    range.dest_offset = 0;
    int result;
    do {
        result = ::ioctl(m_descriptor, FICLONERANGE, &range);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

qint64 RawFile::blockSize() const
{
    const qint64 page = ::sysconf(_SC_PAGESIZE) > 0 ? ::sysconf(_SC_PAGESIZE) : 4096;
    struct statfs status = {};
    if (::fstatfs(m_descriptor, &status) != 0)
        return page;
    const qint64 block = status.f_bsize;
    const bool powerOfTwo = block > 0 && (block & (block - 1)) == 0;
    // Anything odd or very large is no block we could line pieces up with.
    if (!powerOfTwo || block > 1024 * 1024)
        return page;
    return std::max(block, page);
}

RawFile::Result RawFile::truncate(qint64 bytes)
{
    if (::ftruncate(m_descriptor, bytes) != 0)
        return failure(errno);
    return {};
}

RawFile::Result RawFile::sync()
{
    if (::fsync(m_descriptor) != 0)
        return failure(errno);
    return {};
}

RawFile::Result RawFile::syncData()
{
    if (::fdatasync(m_descriptor) != 0)
        return failure(errno);
    return {};
}

RawFile::Result RawFile::close()
{
    if (m_descriptor < 0)
        return {};
    const int result = ::close(m_descriptor);
    m_descriptor = -1;
    if (result != 0 && errno != EINTR)
        return failure(errno);
    return {};
}
