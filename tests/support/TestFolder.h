#pragma once

#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A temporary folder whose own name holds no "qqq" in any letter case. A dropped or named
// good part counts as one only when the first qqq of its whole path ends it, so a random
// folder name with qqq in it would make the tests of good parts fail now and then.
class TestFolder
{
public:
    explicit TestFolder(const QString &pathTemplate = QString())
    {
        do {
            m_dir = pathTemplate.isEmpty() ? std::make_unique<QTemporaryDir>()
                                           : std::make_unique<QTemporaryDir>(pathTemplate);
        } while (m_dir->isValid()
                 && QFileInfo(m_dir->path()).fileName().contains(u"qqq", Qt::CaseInsensitive));
    }

    bool isValid() const { return m_dir->isValid(); }
    QString path() const { return m_dir->path(); }
    QString filePath(const QString &name) const { return m_dir->filePath(name); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
