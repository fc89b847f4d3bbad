#include "GoodPartSplit.h"

#include "FileMoves.h"
#include "FileProbe.h"
#include "NamingRules.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

RepairFailure accessError(const QString &path, const QString &what)
{
    return {
        RepairFailure::PathFileAccessError,
        QStringLiteral("Path/file access error: %1 %2").arg(QDir::toNativeSeparators(path), what)};
}

} // namespace

RawFile::Result GoodPartSplit::run(QByteArray &chunkBuffer, const CopyHooks &hooks)
{
    if (auto failure = checkGoodPartPath())
        return failure;

    RawFile target;
    QString hiddenPath;
    if (auto failure = createHiddenFile(target, hiddenPath))
        return failure;
    auto failure = copyInto(target, chunkBuffer, hooks);
    if (!failure)
        failure = target.sync();
    if (!failure)
        failure = target.close();
    if (!failure)
        failure = FileMoves::RenameReplacing(hiddenPath, m_goodPartPath);
    if (failure) {
        ::unlink(QFile::encodeName(hiddenPath).constData());
        return failure;
    }
    return FileMoves::SyncFolderOf(m_goodPartPath);
}

RawFile::Result GoodPartSplit::copyInto(RawFile &target, QByteArray &chunkBuffer,
                                        const CopyHooks &hooks)
{
    RawFile source;
    if (auto failure = source.openForReading(m_sourcePath))
        return failure;
    PiecePlan plan;
    plan.firstPosition = 1;
    plan.byteCount = m_size;
    plan.fullPieceFrom = PieceCopier::PieceSize;
    plan.yieldsPerFullPiece = 2;
    // Blocks the good part shares with the source take no new space.
    const qint64 needed = PieceCopier::BytesToWrite(source, target, plan);
    const QString folder = NamingRules::SplitFolderAndName(m_goodPartPath).folder;
    const qint64 freeBytes = FileProbe::FreeBytes(folder);
    if (freeBytes >= 0 && freeBytes < needed) {
        return RepairFailure(RepairFailure::DiskFull,
                             QStringLiteral("Disk full: the good part needs %1 bytes, %2 are free")
                                 .arg(needed)
                                 .arg(freeBytes));
    }
    PieceCopier copier(chunkBuffer, hooks);
    return copier.copy(source, target, plan);
}

RawFile::Result GoodPartSplit::checkGoodPartPath() const
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(m_goodPartPath).constData(), &status) != 0)
        return {};
    if (S_ISDIR(status.st_mode)) {
        if (!m_overwriteAgreed)
            return accessError(m_goodPartPath, QStringLiteral("is a folder"));
        return removeFolderAtGoodPartPath();
    }
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        return accessError(m_goodPartPath, QStringLiteral("is not a plain file"));
    // A file nobody may write to counts as read-only even for a user the system lets write.
    const bool writable = (status.st_mode & 0222) != 0
                          && ::access(QFile::encodeName(m_goodPartPath).constData(), W_OK) == 0;
    if (!writable && !m_overwriteAgreed)
        return accessError(m_goodPartPath, QStringLiteral("cannot be written"));
    return {};
}

RawFile::Result GoodPartSplit::removeFolderAtGoodPartPath() const
{
    const QDir folder(m_goodPartPath);
    const QFileInfoList entries = folder.entryInfoList(QDir::AllEntries | QDir::Hidden
                                                       | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            return accessError(m_goodPartPath, QStringLiteral("holds folders of its own"));
    }
    for (const QFileInfo &entry : entries) {
        const QString path = folder.filePath(entry.fileName());
        if (::unlink(QFile::encodeName(path).constData()) != 0)
            return RepairFailure::fromErrno(errno, path);
    }
    if (::rmdir(QFile::encodeName(m_goodPartPath).constData()) != 0)
        return RepairFailure::fromErrno(errno, m_goodPartPath);
    return {};
}

RawFile::Result GoodPartSplit::createHiddenFile(RawFile &file, QString &path) const
{
    const auto parts = NamingRules::SplitFolderAndName(m_goodPartPath);
    for (int attempt = 0;; ++attempt) {
        path = parts.folder + u'.' + parts.name + QStringLiteral(".saltwick-")
               + QString::number(QRandomGenerator::global()->generate(), 16);
        auto failure = file.createNew(path, m_goodPartPath);
        if (!failure || attempt == 20 || !FileProbe::Exists(path))
            return failure;
    }
}
