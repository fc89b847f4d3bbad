#pragma once

#include <QtGlobal>

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
    // Nobody may write to it, whatever the system would let a privileged user do.
    bool isReadOnly() const { return (mode & 0222) == 0; }
};
