#include "Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <unistd.h>

namespace {

QStringList TrashFolders(const QString &original)
{
    const QString uid = QString::number(::getuid());
    const QString top = QStorageInfo(QFileInfo(original).absolutePath()).rootPath();
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                + QStringLiteral("/Trash"),
            top + QStringLiteral("/.Trash/") + uid, top + QStringLiteral("/.Trash-") + uid};
}

// The info file's Path is absolute, or relative to the top of the file system.
bool CameFrom(const QString &infoFile, const QString &top, const QString &original)
{
    QFile info(infoFile);
    if (!info.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : info.readAll().split('\n')) {
        if (!line.startsWith("Path="))
            continue;
        const QString path = QUrl::fromPercentEncoding(line.mid(5));
        const QString absolute = QDir::isAbsolutePath(path) ? path : top + u'/' + path;
        return QDir::cleanPath(absolute) == QDir::cleanPath(original);
    }
    return false;
}

struct Found
{
    QString item;
    QString infoFile;
};

Found Search(const QString &original)
{
    const QString top = QStorageInfo(QFileInfo(original).absolutePath()).rootPath();
    for (const QString &folder : TrashFolders(original)) {
        const QDir info(folder + QStringLiteral("/info"));
        for (const QString &name : info.entryList({QStringLiteral("*.trashinfo")}, QDir::Files)) {
            if (CameFrom(info.filePath(name), top, original))
                return {folder + QStringLiteral("/files/") + name.chopped(10), info.filePath(name)};
        }
    }
    return {};
}

} // namespace

namespace Trash {

QString Find(const QString &original)
{
    return Search(original).item;
}

void Remove(const QString &original)
{
    const Found found = Search(original);
    if (found.item.isEmpty())
        return;
    if (QFileInfo(found.item).isDir())
        QDir(found.item).removeRecursively();
    else
        QFile::remove(found.item);
    QFile::remove(found.infoFile);
}

} // namespace Trash
