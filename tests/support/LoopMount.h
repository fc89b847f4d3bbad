#pragma once

#include <QString>
#include <QStringList>

// A small file system of one type (ext4, xfs, btrfs) made in an image file and mounted
// through a loop device for one test; "ramfs" mounts one in memory, which keeps no extended
// attributes. It needs root, loop devices and the type's mkfs; when one is missing, whyNot()
// says which. Unmounted and removed when it goes.
class LoopMount
{
public:
    // Mounted on `mountPointName` in `workFolder`; by default the folder is named after the
    // type.
    LoopMount(const QString &workFolder, const QString &type, qint64 imageBytes,
              const QString &mountPointName = QString());
    ~LoopMount();
    LoopMount(const LoopMount &) = delete;
    LoopMount &operator=(const LoopMount &) = delete;

    bool isMounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString mountPoint() const { return m_mountPoint; }
    QString filePath(const QString &name) const { return m_mountPoint + u'/' + name; }
    // Bytes in use on the file system, with everything written counted.
    qint64 usedBytes() const;

    // Ends the file system as a disk that dies does: what its log holds is written first,
    // then every access fails until it is mounted again. Safe in a forked child.
    bool shutDown() const;
    // Unmounts and mounts the image again, as the next start after a crash finds it.
    bool remount();

private:
    bool run(const QString &program, const QStringList &arguments);
    bool mount();

    QString m_type;
    QString m_image;
    QString m_mountPoint;
    bool m_mounted = false;
    QString m_whyNot;
};
