#include "LoopMount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

LoopMount::LoopMount(const QString &workFolder, const QString &type, qint64 imageBytes)
    : m_image(workFolder + QStringLiteral("/") + type + QStringLiteral(".img")),
      m_mountPoint(workFolder + QStringLiteral("/") + type)
{
    const QString mkfs = QStringLiteral("mkfs.") + type;
    if (::geteuid() != 0) {
        m_whyNot = QStringLiteral("mounting a %1 image needs root").arg(type);
        return;
    }
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
    if (!run(mkfs, {QStringLiteral("-q"), m_image}) || !QDir().mkpath(m_mountPoint))
        return;
    m_mounted = run(QStringLiteral("mount"),
                    {QStringLiteral("-o"), QStringLiteral("loop"), m_image, m_mountPoint});
}

LoopMount::~LoopMount()
{
    // The loop device goes with the mount: mount -o loop sets it to clear itself.
    if (m_mounted && !run(QStringLiteral("umount"), {m_mountPoint}))
        run(QStringLiteral("umount"), {QStringLiteral("--lazy"), m_mountPoint});
    QDir().rmdir(m_mountPoint);
    QFile::remove(m_image);
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
