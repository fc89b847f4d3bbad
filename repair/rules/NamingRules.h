#pragma once

#include <QString>

// The names that tie a broken file, its good part, the companion fetched again and the
// fixed file together. movie.avi -> movie.QQQ; movie.QQQ + movie.avi -> movie-.avi.
namespace NamingRules {

struct FolderAndName
{
    QString folder; // up to and including the last separator, or empty
    QString name;   // the rest
};

FolderAndName SplitFolderAndName(const QString &path);

// The folder, then the name without its last three characters, then "QQQ".
// Empty when the name is shorter than three characters.
QString GoodPartPath(const QString &folder, const QString &name);

// The companion as the pending-merge test forms it: the last four characters become ".avi".
QString PendingCompanionPath(const QString &goodPart);

// The companion as Merge Back forms it: the last three characters become "avi".
QString MergeCompanionPath(const QString &goodPart);

// The fixed file: the last four characters become "-.avi".
QString FixedPath(const QString &goodPart);

// The fixed file of a good part completed from a companion of any name: beside the good
// part, its stem, "-" and the companion's extension (clip.QQQ + refetched.mp4 -> clip-.mp4).
QString FixedPathWith(const QString &goodPart, const QString &companion);

// A repaired file: "-" before the name's extension (movie.avi -> movie-.avi, film.mkv ->
// film-.mkv), or after a name that has none.
QString RepairedPath(const QString &file);

// The first "qqq" (any letter case) ends the text: the name, or path, of a good part.
bool HasGoodPartName(const QString &goodPart);

} // namespace NamingRules
