#pragma once

#include "RawFile.h"

#include <QString>

// Renames that finish a repair, and the folder sync that makes them last.
namespace FileMoves {

// Puts `from` in the place of `to`, replacing a file that stands there in one step.
RawFile::Result RenameReplacing(const QString &from, const QString &to);

// Renames `from` to `to` and fails, with nothing changed, when `to` exists, even when it
// appears just before the rename.
RawFile::Result RenameWithoutReplacing(const QString &from, const QString &to);

// Makes a rename in the folder that holds `path` survive a power cut.
RawFile::Result SyncFolderOf(const QString &path);

} // namespace FileMoves
