#include "FileProbe.h"

#include "SystemErrors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>

namespace FileProbe {

bool IsOrdinaryFile(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (name.isEmpty() || name.startsWith(u'.'))
        return false;
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

QStringList OrdinaryFilesIn(const QString &folder)
{
    const QDir dir(folder);
    QStringList names;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        if (IsOrdinaryFile(dir.filePath(name)))
            names << name;
    }
    return names;
}

Expected<qint64> MeasureFile(const QString &path)
{
    struct stat status = {};
    if (path.isEmpty())
        return SystemErrors::Failure(ENOENT, path);
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return SystemErrors::Failure(errno, path);
    if (S_ISREG(status.st_mode))
        return qint64(status.st_size);
    const QString what
        = S_ISDIR(status.st_mode)
              ? QCoreApplication::translate("FileProbe", "%1 is a folder, not a file")
              : QCoreApplication::translate("FileProbe", "%1 is not a plain file");
    return RepairFailure(RepairFailure::PathFileAccessError,
                         what.arg(QDir::toNativeSeparators(path)), path);
}

bool IsSameFile(const QString &first, const QString &second)
{
    struct stat a = {};
    struct stat b = {};
    return ::stat(QFile::encodeName(first).constData(), &a) == 0
           && ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev
           && a.st_ino == b.st_ino;
}

bool Exists(const QString &path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

namespace {

qint64 FreeBytesOnDisk(const QString &folder)
{
    struct statvfs info = {};
    const QString where = folder.isEmpty() ? QStringLiteral(".") : folder;
    // A file system in memory that counts no blocks at all (ramfs) has no limit to tell.
    if (::statvfs(QFile::encodeName(where).constData(), &info) != 0 || info.f_blocks == 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

FreeBytesSource CurrentFreeBytesSource = FreeBytesOnDisk;

// The names stored in `folder`, as bytes.
QList<QByteArray> StoredNames(const QString &folder)
{
    QList<QByteArray> names;
    DIR *entries = ::opendir(QFile::encodeName(folder).constData());
    if (!entries)
        return names;
    while (const dirent *entry = ::readdir(entries))
        names << QByteArray(entry->d_name);
    ::closedir(entries);
    return names;
}

// The stored name is exactly `name`, and no other entry decodes to the same text.
bool HoldsExactlyOne(const QString &folder, const QString &name)
{
    const QByteArray wanted = QFile::encodeName(name);
    bool exact = false;
    bool lookAlike = false;
    // An absolute path checks its first name in "/"; only a relative one starts here.
    for (const QByteArray &stored : StoredNames(folder.isEmpty() ? QStringLiteral(".") : folder)) {
        if (stored == wanted)
            exact = true;
        else if (QFile::decodeName(stored) == name)
            lookAlike = true;
    }
    return exact && !lookAlike;
}

} // namespace

qint64 FreeBytes(const QString &folder)
{
    return CurrentFreeBytesSource(folder);
}

FreeBytesSource SetFreeBytesSource(FreeBytesSource source)
{
    const FreeBytesSource previous = CurrentFreeBytesSource;
    CurrentFreeBytesSource = source;
    return previous;
}

QStringList NamesThatDoNotDecode(const QString &folder)
{
    QStringList names;
    for (const QByteArray &stored : StoredNames(folder.isEmpty() ? QStringLiteral(".") : folder)) {
        const QString name = QFile::decodeName(stored);
        if (QFile::encodeName(name) != stored)
            names << name;
    }
    return names;
}

bool NameCanBeHandled(const QString &path)
{
    if (!path.contains(QChar::ReplacementCharacter))
        return true;
    const QStringList components = AbsolutePath(path).split(u'/');
    QString folder;
    for (const QString &component : components) {
        if (component.contains(QChar::ReplacementCharacter) && !HoldsExactlyOne(folder, component))
            return false;
        folder += component + u'/';
    }
    return true;
}

QString CannotHandleMessage(const QString &path)
{
    return QCoreApplication::translate(
               "FileProbe",
               "The name %1 cannot be handled: it is not valid text. Please rename the file.")
        .arg(QDir::toNativeSeparators(path));
}

Expected<QString> CurrentFolder()
{
    // A folder that was removed, or whose path is longer than a path may be, has no name to
    // join a relative one to; Qt's answer would then be the root.
    char name[PATH_MAX];
    if (::getcwd(name, sizeof name) == nullptr || name[0] != '/') {
        return RepairFailure::refusal(
            RepairFailure::Reason::NoCurrentFolder,
            QCoreApplication::translate("FileProbe",
                                        "The current folder cannot be found: it was removed, "
                                        "or its path is too long"),
            QString(), RepairFailure::PathNotFound);
    }
    return QFile::decodeName(name);
}

Expected<QString> MakeAbsolute(const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    const Expected<QString> here = CurrentFolder();
    if (!here) {
        return RepairFailure::refusal(
            RepairFailure::Reason::NoCurrentFolder,
            QCoreApplication::translate("FileProbe",
                                        "%1 cannot be found: the current folder was removed, or "
                                        "its path is too long. Please give its full path.")
                .arg(QDir::toNativeSeparators(path)),
            path, RepairFailure::PathNotFound);
    }
    return QDir::cleanPath(*here + u'/' + path);
}

QString AbsolutePath(const QString &path)
{
    // Without a name for the current folder, a relative name is left for the system to
    // find in the folder the program is in, never in the root.
    const Expected<QString> absolute = MakeAbsolute(path);
    return absolute ? *absolute : QDir::cleanPath(path);
}

} // namespace FileProbe
