#pragma once

#include "Expected.h"

#include <QString>
#include <QStringList>

// Questions asked of the file system without opening a file.
namespace FileProbe {

// A regular file (links followed) whose name does not start with a dot.
bool IsOrdinaryFile(const QString &path);

// The names of the ordinary files in `folder`, sorted by name.
QStringList OrdinaryFilesIn(const QString &folder);

// The length in bytes of a file; a folder, a device or a missing file is a failure.
Expected<qint64> MeasureFile(const QString &path);

// Both paths name the same file, through a hard or a symbolic link or letter case.
bool IsSameFile(const QString &first, const QString &second);

// Something, even a dangling link, stands at the path.
bool Exists(const QString &path);

// Bytes an unprivileged writer may still use on the file system holding `folder`;
// -1 when that cannot be told.
qint64 FreeBytes(const QString &folder);

// Where FreeBytes() gets its answer; tests put a full disk in its place. Returns the
// previous source.
using FreeBytesSource = qint64 (*)(const QString &folder);
FreeBytesSource SetFreeBytesSource(FreeBytesSource source);

// The path names exactly the file whose name was decoded into it. A name whose bytes are
// not valid text decodes to replacement characters; such a path names either no file or
// another one that merely looks the same, so it cannot be handled.
bool NameCanBeHandled(const QString &path);
// Why such a name is refused.
QString CannotHandleMessage(const QString &path);

// The entries of `folder` (empty: the current one) whose names are not valid text, as
// they decode; Qt's own listings leave them out.
QStringList NamesThatDoNotDecode(const QString &folder);

// The current folder's path; NoCurrentFolder when it has none (removed, or deeper than a
// path can name).
Expected<QString> CurrentFolder();
// Made absolute against the current folder and lexically normalised; a relative name is
// refused (NoCurrentFolder) when the current folder has no path.
Expected<QString> MakeAbsolute(const QString &path);
// The same, where a refusal cannot be shown: a relative name then stays relative, for the
// system to find in the folder the program is in.
QString AbsolutePath(const QString &path);

} // namespace FileProbe
