#include "MediaScanner.h"

#include "AviScanner.h"
#include "FileProbe.h"
#include "Mp4Scanner.h"
#include "RawFile.h"

#include <QFileInfo>

#include <algorithm>

namespace {

enum class Format { Unknown, Avi, Mp4 };

// Enough of the start of a file to tell every format apart.
const qint64 SniffedBytes = 12;

Format formatOf(const QByteArray &head)
{
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "AVI ")
        return Format::Avi;
    if (Mp4Scanner::startsLikeMp4(head))
        return Format::Mp4;
    return Format::Unknown;
}

} // namespace

Expected<ScanFinding> MediaScanner::Scan(const QString &path, const CopyHooks &hooks)
{
    // A folder, a device or a pipe is refused before it is opened: opening a pipe waits.
    const Expected<qint64> length = FileProbe::MeasureFile(path);
    if (!length)
        return length.failure();
    QByteArray head(int(std::min(*length, SniffedBytes)), Qt::Uninitialized);
    {
        RawFile file;
        if (Expected<void> opened = file.openForReading(path); !opened)
            return opened.failure();
        if (Expected<void> read = file.readAt(0, head.data(), head.size()); !read)
            return read.failure();
    }
    switch (formatOf(head)) {
    case Format::Avi:
        return AviScanner(path).scan(hooks);
    case Format::Mp4:
        return Mp4Scanner(path).scan(hooks);
    case Format::Unknown:
        break;
    }
    return RepairFailure::refusal(RepairFailure::Reason::NotReadable, NotReadableMessage(path),
                                  path);
}

QString MediaScanner::DamageLine(qint64 offset)
{
    // Not translated: the size box reads this line by its English keyword.
    return QStringLiteral("Damage found at offset: %1 (%2h)")
        .arg(QString::number(offset), QString::number(offset, 16).toUpper());
}

QString MediaScanner::NoDamageMessage(const QString &path)
{
    return tr("No damage found in %1").arg(QFileInfo(path).fileName());
}

QString MediaScanner::NotReadableMessage(const QString &path)
{
    return tr("%1 is not a file Saltwick can read: AVI, Matroska and MP4 can be checked")
        .arg(QFileInfo(path).fileName());
}
