#include "TestTrash.h"

#include "Trash.h"

#include <QFile>

TestTrash::TestTrash()
{
    m_hadPrevious = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    m_previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
}

TestTrash::~TestTrash()
{
    for (const QString &original : m_found)
        Trash::Remove(original);
    if (m_hadPrevious)
        qputenv("XDG_DATA_HOME", m_previous);
    else
        qunsetenv("XDG_DATA_HOME");
}

QString TestTrash::trashed(const QString &originalPath)
{
    const QString found = Trash::Find(originalPath);
    if (!found.isEmpty())
        m_found << originalPath;
    return found;
}
