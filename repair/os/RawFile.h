#pragma once

#include "Expected.h"
#include "FileIdentity.h"

#include <QString>

class Folder;

// One open file for raw bytes at 0-based positions. Closes itself when it goes.
class RawFile
{
public:
    RawFile() = default;
    ~RawFile();
    RawFile(const RawFile &) = delete;
    RawFile &operator=(const RawFile &) = delete;

    Expected<void> openForReading(const QString &path);
    // Reads and writes an existing file in `folder`, refusing a symbolic link.
    Expected<void> openForUpdateIn(const Folder &folder, const QString &name);
    // Opens whatever stands under `name` without following a link or waiting on a pipe,
    // only to look at it and lock it.
    Expected<void> openToLockIn(const Folder &folder, const QString &name);
    // Creates a new file in `folder`; fails when something stands there. Messages name the
    // file `shownAs`: a hidden working file is the user's file to them.
    Expected<void> createNewIn(const Folder &folder, const QString &name, const QString &shownAs);
    // A file in `folder` that has no name until Folder::link() gives it one, and that
    // vanishes with the program if it never gets one. False, and nothing open, where the
    // file system cannot make such files.
    Expected<bool> createUnnamedIn(const Folder &folder, const QString &shownAs);

    Expected<FileIdentity> identity() const;
    Expected<qint64> length() const;
    // Where the first run of bytes that were never written (a hole, or space set aside but
    // not filled) begins at or after `offset`; the file's length when there is none.
    Expected<qint64> firstHoleFrom(qint64 offset) const;
    Expected<void> readAt(qint64 offset, char *data, qint64 count) const;
    Expected<void> writeAt(qint64 offset, const char *data, qint64 count);

    // Lets the kernel move `count` bytes of `source` from `offset` to the same offset here.
    // False, and nothing moved, when the kernel cannot do it for these two files; the caller
    // then copies through memory.
    Expected<bool> copyRangeFrom(const RawFile &source, qint64 offset, qint64 count);

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

    Expected<void> truncate(qint64 bytes);
    Expected<void> sync();
    // Like sync(), without the metadata that reading the data back does not need. Safe to
    // call from another thread while this one writes.
    Expected<void> syncData() const;
    Expected<void> close();

    bool isOpen() const { return m_descriptor >= 0; }
    QString path() const { return m_path; }
    int descriptor() const { return m_descriptor; }

private:
    Expected<void> open(const QString &path, int flags);
    Expected<void> openIn(const Folder &folder, const QString &name, int flags,
                          const QString &shownAs);
    RepairFailure failure(int error) const;
    RepairFailure endedEarly() const;

    int m_descriptor = -1;
    QString m_path;
};
