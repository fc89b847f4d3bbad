#pragma once

#include "Expected.h"
#include "FileIdentity.h"

#include <QString>
#include <QStringList>

#include <optional>

class RawFile;

// One folder held open while files in it are created, linked, renamed and synced. Entries
// are named relative to it, so a name works whatever the length of the folder's path, and
// a rename acts in the folder that was checked, not in one found again by its path.
class Folder
{
public:
    Folder() = default;
    ~Folder();
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    // The folder part of `path` ("folder/" or empty for the current folder).
    Expected<void> open(const QString &folderPart);

    // What stands under `name`, links not followed; nothing when there is nothing.
    std::optional<FileIdentity> entry(const QString &name) const;
    // The same, links followed.
    std::optional<FileIdentity> entryFollowed(const QString &name) const;
    // This user may write to the entry `name`.
    bool canWrite(const QString &name) const;

    // Gives a file made by RawFile::createUnnamedIn() the name `name`; fails when something
    // stands there.
    Expected<void> link(const RawFile &unnamed, const QString &name);
    Expected<void> renameWithoutReplacing(const QString &from, const QString &to);
    Expected<void> renameReplacing(const QString &from, const QString &to);
    Expected<void> remove(const QString &name);
    Expected<void> removeFolder(const QString &name);
    // Makes the folder's entries, and so a rename, survive a power cut.
    Expected<void> sync();

    // A new entry could be made and renamed here: the folder is writable and searchable.
    Expected<void> checkWritable() const;
    // The same, and this user may rename the entry `name` here, which a sticky folder
    // allows only the owners of the file or of the folder.
    Expected<void> checkCanRename(const QString &name) const;
    // Another file system is mounted on the entry `name`.
    bool isMountPoint(const QString &name) const;
    // The names of the entries, leaving out those that are not valid text.
    QStringList names() const;
    // A name that long or shorter is taken by the file system.
    bool takesName(const QString &name) const;

    // Removes working files of a Saltwick that was killed in this folder; one that a
    // running Saltwick still holds is left alone.
    void removeLeftoverWorkingFiles();

    int descriptor() const { return m_descriptor; }
    QString path() const { return m_path; }
    QString pathOf(const QString &name) const { return m_path + name; }

private:
    RepairFailure failure(int error, const QString &name) const;

    int m_descriptor = -1;
    QString m_path;
};
