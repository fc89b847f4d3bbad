#pragma once

#include <QString>
#include <QStringList>

// A small file system of one type (xfs, btrfs) made in an image file and mounted through
// a loop device for one test. It needs root, loop devices and the type's mkfs; when one is
// missing, whyNot() says which. Unmounted and removed when it goes.
class LoopMount
{
public:
    LoopMount(const QString &workFolder, const QString &type, qint64 imageBytes);
    ~LoopMount();
    LoopMount(const LoopMount &) = delete;
    LoopMount &operator=(const LoopMount &) = delete;

    bool isMounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString filePath(const QString &name) const { return m_mountPoint + u'/' + name; }
    // Bytes in use on the file system, with everything written counted.
    qint64 usedBytes() const;

private:
    bool run(const QString &program, const QStringList &arguments);

    QString m_image;
    QString m_mountPoint;
    bool m_mounted = false;
    QString m_whyNot;
};
