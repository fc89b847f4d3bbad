#include "TestTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The top of the file system that holds `path`, as the desktop trash defines it.
QString topOf(const QString &path)
{
    struct stat own = {};
    QString top = QFileInfo(path).absolutePath();
    if (::stat(QFile::encodeName(top).constData(), &own) != 0)
        return {};
    while (top != QStringLiteral("/")) {
        const QString parent = QFileInfo(top).absolutePath();
        struct stat above = {};
        if (::stat(QFile::encodeName(parent).constData(), &above) != 0
            || above.st_dev != own.st_dev)
            break;
        top = parent;
    }
    return top;
}

// The entry of `trash` whose record names `originalPath`, absolute or from `top`.
QString findIn(const QString &trash, const QString &originalPath, const QString &top)
{
    const QDir info(trash + QStringLiteral("/info"));
    for (const QString &record : info.entryList({QStringLiteral("*.trashinfo")}, QDir::Files)) {
        QFile file(info.filePath(record));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.startsWith("Path="))
                continue;
            const QString named = QUrl::fromPercentEncoding(line.mid(5));
            const QString absolute = QDir::isAbsolutePath(named) ? named : top + u'/' + named;
            if (QDir::cleanPath(absolute) == QDir::cleanPath(originalPath))
                return trash + QStringLiteral("/files/") + record.chopped(10);
        }
    }
    return {};
}

} // namespace

TestTrash::TestTrash()
{
    m_hadPrevious = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    m_previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
}

TestTrash::~TestTrash()
{
    for (const QString &item : m_foundElsewhere) {
        const QString record = QFileInfo(item).absolutePath() + QStringLiteral("/../info/")
                               + QFileInfo(item).fileName() + QStringLiteral(".trashinfo");
        if (QFileInfo(item).isDir() && !QFileInfo(item).isSymLink())
            QDir(item).removeRecursively();
        else
            QFile::remove(item);
        QFile::remove(record);
    }
    if (m_hadPrevious)
        qputenv("XDG_DATA_HOME", m_previous);
    else
        qunsetenv("XDG_DATA_HOME");
}

QString TestTrash::trashed(const QString &originalPath)
{
    const QString home = findIn(dataHome() + QStringLiteral("/Trash"), originalPath, {});
    if (!home.isEmpty())
        return home;
    const QString top = topOf(originalPath);
    if (top.isEmpty())
        return {};
    const QString user = QString::number(::getuid());
    for (const QString &trash :
         {top + QStringLiteral("/.Trash/") + user, top + QStringLiteral("/.Trash-") + user}) {
        const QString found = findIn(trash, originalPath, top);
        if (!found.isEmpty()) {
            m_foundElsewhere << found;
            return found;
        }
    }
    return {};
}
