#pragma once

#include "TestFolder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A trash of the test's own: while it lives, the desktop trash lies in a temporary folder,
// so nothing a test throws away reaches the user's. Qt puts an item in that trash when it is
// on the same file system, and otherwise in its own file system's .Trash-UID (or .Trash/UID);
// trashed() finds it wherever it went, and what it found outside the test's folders goes
// again with this object.
class TestTrash
{
public:
    TestTrash();
    ~TestTrash();
    TestTrash(const TestTrash &) = delete;
    TestTrash &operator=(const TestTrash &) = delete;

    // Where the item that was at `originalPath` now lies in a trash; empty when in none.
    QString trashed(const QString &originalPath);
    QString dataHome() const { return m_home.filePath(QStringLiteral("data")); }

private:
    TestFolder m_home;
    QByteArray m_previous;
    bool m_hadPrevious = false;
    QStringList m_foundElsewhere;
};
