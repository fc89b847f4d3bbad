#include "RawFile.h"

#include "Folder.h"
#include "SystemErrors.h"

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

using SystemErrors::Retried;

RawFile::~RawFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

RepairFailure RawFile::failure(int error) const
{
    return SystemErrors::Failure(error, m_path);
}

Expected<void> RawFile::open(const QString &path, int flags)
{
    (void)close();
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    m_descriptor = Retried([&] { return ::open(name.constData(), flags | O_CLOEXEC, 0666); });
    if (m_descriptor < 0)
        return failure(errno);
    return {};
}

Expected<void> RawFile::openIn(const Folder &folder, const QString &name, int flags,
                               const QString &shownAs)
{
    (void)close();
    m_path = shownAs.isEmpty() ? folder.pathOf(name) : shownAs;
    const QByteArray entry = QFile::encodeName(name);
    m_descriptor = Retried(
        [&] { return ::openat(folder.descriptor(), entry.constData(), flags | O_CLOEXEC, 0666); });
    if (m_descriptor < 0)
        return failure(errno);
    return {};
}

Expected<void> RawFile::openForReading(const QString &path)
{
    // A pipe put in a file's place must not hold the window up until someone writes to it.
    return open(path, O_RDONLY | O_NONBLOCK);
}

Expected<void> RawFile::openForUpdateIn(const Folder &folder, const QString &name)
{
    return openIn(folder, name, O_RDWR | O_NOFOLLOW, {});
}

Expected<void> RawFile::openToLockIn(const Folder &folder, const QString &name)
{
    return openIn(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, {});
}

Expected<void> RawFile::createNewIn(const Folder &folder, const QString &name,
                                    const QString &shownAs)
{
    return openIn(folder, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, shownAs);
}

Expected<bool> RawFile::createUnnamedIn(const Folder &folder, const QString &shownAs)
{
    (void)close();
    m_path = shownAs;
    m_descriptor = Retried(
        [&] { return ::openat(folder.descriptor(), ".", O_RDWR | O_TMPFILE | O_CLOEXEC, 0666); });
    if (m_descriptor >= 0)
        return true;
    // Older kernels and some file systems cannot make unnamed files; that is no failure.
    if (SystemErrors::CannotMakeUnnamedFiles(errno))
        return false;
    return failure(errno);
}

Expected<FileIdentity> RawFile::identity() const
{
    struct stat status = {};
    if (::fstat(m_descriptor, &status) != 0)
        return failure(errno);
    return FileIdentity{status.st_dev, status.st_ino, status.st_nlink, status.st_mode,
                        status.st_size};
}

Expected<qint64> RawFile::length() const
{
    const Expected<FileIdentity> identified = identity();
    if (!identified)
        return identified.failure();
    return identified->size;
}

bool RawFile::tryLock()
{
    return Retried([&] { return ::flock(m_descriptor, LOCK_EX | LOCK_NB); }) == 0;
}

RepairFailure RawFile::endedEarly() const
{
    return {RepairFailure::DeviceIoError,
            QCoreApplication::translate(
                "RawFile", "%1 ended before the expected length; it may have changed meanwhile")
                .arg(QDir::toNativeSeparators(m_path)),
            m_path};
}

Expected<void> RawFile::readAt(qint64 offset, char *data, qint64 count) const
{
    while (count > 0) {
        const ssize_t got
            = Retried([&] { return ::pread(m_descriptor, data, size_t(count), off_t(offset)); });
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

Expected<void> RawFile::writeAt(qint64 offset, const char *data, qint64 count)
{
    while (count > 0) {
        const ssize_t put
            = Retried([&] { return ::pwrite(m_descriptor, data, size_t(count), off_t(offset)); });
        if (put < 0)
            return failure(errno);
        data += put;
        offset += put;
        count -= put;
    }
    return {};
}

Expected<bool> RawFile::copyRangeFrom(const RawFile &source, qint64 offset, qint64 count)
{
    loff_t from = offset;
    loff_t to = offset;
    bool movedAny = false;
    while (count > 0) {
        const ssize_t moved = Retried([&] {
            return ::copy_file_range(source.m_descriptor, &from, m_descriptor, &to, size_t(count),
                                     0);
        });
        if (moved < 0) {
            // These say the kernel cannot copy between these files, not that they are broken.
            if (!movedAny && SystemErrors::CannotCopyInKernel(errno))
                return false;
            return failure(errno);
        }
        if (moved == 0)
            return source.endedEarly();
        movedAny = true;
        count -= moved;
    }
    return true;
}

bool RawFile::canShareBlocksWith(const RawFile &source) const
{
    const Expected<qint64> sourceLength = source.length();
    if (!sourceLength)
        return false;
    // A clone of no bytes at the source's end passes every check a real one would, and
    // fails the same way where the files cannot share blocks, but changes nothing.
    file_clone_range range = {};
    range.src_fd = source.m_descriptor;
    range.src_offset = quint64(*sourceLength);
    range.src_length = 0;
    range.dest_offset = 0;
    return Retried([&] { return ::ioctl(m_descriptor, FICLONERANGE, &range); }) == 0;
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

Expected<void> RawFile::truncate(qint64 bytes)
{
    if (Retried([&] { return ::ftruncate(m_descriptor, bytes); }) != 0)
        return failure(errno);
    return {};
}

Expected<void> RawFile::sync()
{
    if (Retried([&] { return ::fsync(m_descriptor); }) != 0)
        return failure(errno);
    return {};
}

Expected<void> RawFile::syncData() const
{
    if (Retried([&] { return ::fdatasync(m_descriptor); }) != 0)
        return failure(errno);
    return {};
}

Expected<void> RawFile::close()
{
    if (m_descriptor < 0)
        return {};
    const int result = ::close(m_descriptor);
    m_descriptor = -1;
    // An interrupted close has closed the descriptor all the same; there is nothing to retry.
    if (result != 0 && !SystemErrors::WasInterrupted(errno))
        return failure(errno);
    return {};
}
