#pragma once

#include "Folder.h"
#include "RemoteFetch.h"

#include <QString>

#include <optional>

// The note an unfinished fetch keeps beside its good part, under a hidden name that no
// clean-up removes: which file the good part is, how long it was before the fetch appended
// to it, and which version of the file at which address the appended bytes came from. It is
// on disk before the first byte is appended and goes once the fixed file has its name, so a
// fetch killed at any moment knows at its next run which bytes are the user's and what the
// others continue.
struct FetchRecord
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 goodPartLength = 0;
    QString address;
    RemoteVersion version;

    bool describes(const FileIdentity &file) const
    {
        return file.device == device && file.inode == inode && file.size >= goodPartLength;
    }

    // The record of the good part `goodPartName` in `folder`, when one can be read.
    static std::optional<FetchRecord> Read(const Folder &folder, const QString &goodPartName);
    // Replaces any record of that good part, and makes it survive a power cut.
    Expected<void> write(Folder &folder, const QString &goodPartName) const;
    // Removes it; no record is no failure.
    static Expected<void> Remove(Folder &folder, const QString &goodPartName);

private:
    static QString NameFor(const Folder &folder, const QString &goodPartName);
};
