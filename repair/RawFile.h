#pragma once

#include "RepairFailure.h"

#include <QString>

#include <optional>

class Folder;

// What makes a file that file, whatever its names: the device and inode it lives on.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    quint64 links = 0;
    quint32 mode = 0;
    qint64 size = 0;

    bool isSameFile(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode;
    }
    bool isRegularFile() const;
    bool isFolder() const;
    bool isSymbolicLink() const;
};

// One open file for raw bytes at 1-based positions. Closes itself when it goes.
// Every call reports a failure with our code, or nothing when it went well.
class RawFile
{
public:
    using Result = std::optional<RepairFailure>;

    RawFile() = default;
    ~RawFile();
    RawFile(const RawFile &) = delete;
    RawFile &operator=(const RawFile &) = delete;

    Result openForReading(const QString &path);
    // Opens a file that must already exist; never creates one.
    Result openForWriting(const QString &path);
    // Reads and writes an existing file in `folder`, refusing a symbolic link.
    Result openForUpdateIn(const Folder &folder, const QString &name);
    // Opens whatever stands under `name` without following a link or waiting on a pipe,
    // only to look at it and lock it.
    Result openToLockIn(const Folder &folder, const QString &name);
    // Creates a new file; fails when something stands at the path. Messages name the file
    // `shownAs` when it is given: a hidden working file is the user's file to them.
    Result createNew(const QString &path, const QString &shownAs = {});
    Result createNewIn(const Folder &folder, const QString &name, const QString &shownAs);
    // A file in `folder` that has no name until Folder::link() gives it one, and that
    // vanishes with the program if it never gets one. `refused` is set, and nothing is
    // reported, where the file system cannot make such files.
    Result createUnnamedIn(const Folder &folder, const QString &shownAs, bool &refused);

    Result identity(FileIdentity &identity) const;
    Result length(qint64 &bytes) const;
    Result readAt(qint64 position, char *data, qint64 count) const;
    Result writeAt(qint64 position, const char *data, qint64 count);

    // Lets the kernel move `count` bytes of `source` from `position` to the same position
    // here. `refused` is set, and nothing is reported, when the kernel cannot do it for
    // these two files; the caller then copies through memory.
    Result copyRangeFrom(const RawFile &source, qint64 position, qint64 count, bool &refused);

    // Whether the kernel can make this file share blocks with `source` instead of copying
    // them: both on one file system that supports it (XFS with reflink, btrfs). Nothing is
    // written to either file.
    bool canShareBlocksWith(const RawFile &source) const;
    // The unit in which blocks can be shared, and the alignment that makes the kernel's
    // copy fastest: the file system's block size, at least a memory page.
    qint64 blockSize() const;

    // An advisory lock that every Saltwick takes on a file it is writing; false when another
    // open of the file holds it.
    bool tryLock();

    Result truncate(qint64 bytes);
    Result sync();
    // Like sync(), without the metadata that reading the data back does not need.
    Result syncData();
    Result close();

    bool isOpen() const { return m_descriptor >= 0; }
    QString path() const { return m_path; }
    int descriptor() const { return m_descriptor; }

private:
    Result open(const QString &path, int flags, const QString &shownAs = {});
    Result openIn(const Folder &folder, const QString &name, int flags, const QString &shownAs);
    RepairFailure failure(int error) const { return RepairFailure::fromErrno(error, m_path); }
    RepairFailure endedEarly() const;

    int m_descriptor = -1;
    QString m_path;
};
