#pragma once

#include "TestFolder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A trash of the test's own: while it lives, the desktop trash lies in a temporary folder,
// so nothing a test throws away reaches the user's. What it finds in the trash of another
// file system, outside the test's folders, goes again with it.
class TestTrash
{
public:
    TestTrash();
    ~TestTrash();
    TestTrash(const TestTrash &) = delete;
    TestTrash &operator=(const TestTrash &) = delete;

    // Where the item that was at `originalPath` now lies in a trash; empty when in none.
    QString trashed(const QString &originalPath);

private:
    TestFolder m_home;
    QByteArray m_previous;
    bool m_hadPrevious = false;
    QStringList m_found;
};
