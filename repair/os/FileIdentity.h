#pragma once

#include <QtGlobal>

struct stat;

// What makes a file that file, whatever its names: the device and inode it lives on; and
// what tells one version of its contents from another: its length and its times.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    quint64 links = 0;
    quint32 mode = 0;
    qint64 size = 0;
    quint32 owner = 0;
    // Nanoseconds since the epoch: when the bytes last changed, and when anything about the
    // file did (also set by a program that puts the modification time back).
    qint64 modified = 0;
    qint64 changed = 0;

    static FileIdentity Of(const struct stat &status);

    bool isSameFile(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode;
    }
    // The same file, and nothing written to it or done to it in between.
    bool isSameVersion(const FileIdentity &other) const
    {
        return isSameFile(other) && size == other.size && modified == other.modified
               && changed == other.changed;
    }
    bool isRegularFile() const;
    bool isFolder() const;
    bool isSymbolicLink() const;
    // Nobody may write to it, whatever the system would let a privileged user do.
    bool isReadOnly() const { return (mode & 0222) == 0; }
};
