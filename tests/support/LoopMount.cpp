#include "LoopMount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// The shutdown request of XFS, which ext4 takes under the same number; the flag writes
// the log out first, as a disk that is pulled after its last flush.
const unsigned long GoingDown = _IOR('X', 125, quint32);
const quint32 GoingDownLogFlush = 1;

} // namespace

LoopMount::LoopMount(const QString &workFolder, const QString &type, qint64 imageBytes,
                     const QString &mountPointName)
    : m_type(type), m_image(workFolder + QStringLiteral("/") + type + QStringLiteral(".img")),
      m_mountPoint(workFolder + QStringLiteral("/")
                   + (mountPointName.isEmpty() ? type : mountPointName))
{
    if (::geteuid() != 0) {
        m_whyNot = QStringLiteral("mounting a %1 file system needs root").arg(type);
        return;
    }
    if (type == QStringLiteral("ramfs")) {
        m_image.clear();
        m_mounted = QDir().mkpath(m_mountPoint) && mount();
        return;
    }
    const QString mkfs = QStringLiteral("mkfs.") + type;
    if (!QFile::exists(QStringLiteral("/dev/loop-control"))) {
        m_whyNot = QStringLiteral("no loop devices here to mount a %1 image").arg(type);
        return;
    }
    if (QStandardPaths::findExecutable(mkfs).isEmpty()) {
        m_whyNot = QStringLiteral("%1 is not installed").arg(mkfs);
        return;
    }
    QFile image(m_image);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(imageBytes)) {
        m_whyNot = QStringLiteral("cannot make %1: %2").arg(m_image, image.errorString());
        return;
    }
    image.close();
    QStringList options = {QStringLiteral("-q"), m_image};
    if (type == QStringLiteral("ext4"))
        options.prepend(QStringLiteral("-F"));
    if (!run(mkfs, options) || !QDir().mkpath(m_mountPoint))
        return;
    m_mounted = mount();
}

LoopMount::~LoopMount()
{
    // The loop device goes with the mount: mount -o loop sets it to clear itself.
    if (m_mounted && !run(QStringLiteral("umount"), {m_mountPoint}))
        run(QStringLiteral("umount"), {QStringLiteral("--lazy"), m_mountPoint});
    QDir().rmdir(m_mountPoint);
    if (!m_image.isEmpty())
        QFile::remove(m_image);
}

bool LoopMount::mount()
{
    if (m_image.isEmpty())
        return run(QStringLiteral("mount"),
                   {QStringLiteral("-t"), m_type, QStringLiteral("none"), m_mountPoint});
    return run(QStringLiteral("mount"),
               {QStringLiteral("-o"), QStringLiteral("loop"), m_image, m_mountPoint});
}

bool LoopMount::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ran = process.waitForFinished(60000);
    if (ran && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    m_whyNot = QStringLiteral("%1 %2 failed: %3")
                   .arg(program, arguments.join(u' '),
                        QString::fromLocal8Bit(process.readAll()).trimmed());
    return false;
}

qint64 LoopMount::usedBytes() const
{
    // Space taken by delayed writes is counted only once they reach the disk.
    const int folder = ::open(QFile::encodeName(m_mountPoint).constData(), O_RDONLY | O_CLOEXEC);
    if (folder < 0)
        return -1;
    ::syncfs(folder);
    struct statvfs status = {};
    const bool measured = ::fstatvfs(folder, &status) == 0;
    ::close(folder);
    if (!measured)
        return -1;
    return qint64(status.f_blocks - status.f_bfree) * qint64(status.f_frsize);
}

bool LoopMount::shutDown() const
{
    const int folder = ::open(QFile::encodeName(m_mountPoint).constData(), O_RDONLY | O_CLOEXEC);
    if (folder < 0)
        return false;
    quint32 flags = GoingDownLogFlush;
    const bool down = ::ioctl(folder, GoingDown, &flags) == 0;
    ::close(folder);
    return down;
}

bool LoopMount::remount()
{
    if (!m_mounted || m_image.isEmpty())
        return false;
    if (!run(QStringLiteral("umount"), {m_mountPoint}))
        return false;
    m_mounted = mount();
    return m_mounted;
}
