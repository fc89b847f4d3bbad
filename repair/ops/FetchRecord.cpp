#include "FetchRecord.h"

#include "RawFile.h"

#include <QCryptographicHash>
#include <QList>

namespace {

const QByteArray FirstLine = "saltwick fetch 1";
const QByteArray LastLine = "end";
// A record is a few lines; anything longer is no record of ours.
const qint64 LongestRecord = 64 * 1024;

} // namespace

QString FetchRecord::NameFor(const Folder &folder, const QString &goodPartName)
{
    const QString readable = u'.' + goodPartName + QStringLiteral(".fetch");
    if (folder.takesName(readable))
        return readable;
    // A good part whose name is as long as the file system allows still gets its record.
    const QByteArray hash
        = QCryptographicHash::hash(goodPartName.toUtf8(), QCryptographicHash::Sha1)
              .toHex()
              .left(16);
    return QStringLiteral(".saltwick-fetch-") + QString::fromLatin1(hash);
}

std::optional<FetchRecord> FetchRecord::Read(const Folder &folder, const QString &goodPartName)
{
    const QString name = NameFor(folder, goodPartName);
    const std::optional<FileIdentity> standing = folder.entry(name);
    if (!standing || !standing->isRegularFile() || standing->size > LongestRecord)
        return std::nullopt;
    RawFile file;
    if (!file.openToLockIn(folder, name))
        return std::nullopt;
    QByteArray text(standing->size, Qt::Uninitialized);
    if (!file.readAt(0, text.data(), text.size()))
        return std::nullopt;
    // A record cut short by a crash is no record: it was written before any byte was appended.
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 3 || lines.first() != FirstLine || !lines.contains(LastLine))
        return std::nullopt;
    FetchRecord record;
    QByteArray recordedName;
    bool complete = true;
    for (const QByteArray &line : lines) {
        const qsizetype blank = line.indexOf(' ');
        const QByteArray key = line.left(blank);
        const QByteArray value = blank < 0 ? QByteArray() : line.mid(blank + 1);
        bool read = true;
        if (key == "name")
            recordedName = QByteArray::fromPercentEncoding(value);
        else if (key == "device")
            record.device = value.toULongLong(&read);
        else if (key == "inode")
            record.inode = value.toULongLong(&read);
        else if (key == "length")
            record.goodPartLength = value.toLongLong(&read);
        else if (key == "address")
            record.address = QString::fromUtf8(QByteArray::fromPercentEncoding(value));
        else if (key == "total")
            record.version.total = value.toLongLong(&read);
        else if (key == "etag")
            record.version.etag = value;
        else if (key == "modified")
            record.version.lastModified = value;
        complete = complete && read;
    }
    if (!complete || QString::fromUtf8(recordedName) != goodPartName)
        return std::nullopt;
    return record;
}

Expected<void> FetchRecord::write(Folder &folder, const QString &goodPartName) const
{
    if (Expected<void> removed = Remove(folder, goodPartName); !removed)
        return removed;
    const QByteArray text
        = FirstLine + "\nname " + goodPartName.toUtf8().toPercentEncoding() + "\ndevice "
          + QByteArray::number(device) + "\ninode " + QByteArray::number(inode) + "\nlength "
          + QByteArray::number(goodPartLength) + "\naddress " + address.toUtf8().toPercentEncoding()
          + "\ntotal " + QByteArray::number(version.total) + "\netag " + version.etag
          + "\nmodified " + version.lastModified + '\n' + LastLine + '\n';
    const QString name = NameFor(folder, goodPartName);
    RawFile file;
    Expected<void> written = file.createNewIn(folder, name, folder.pathOf(name));
    if (written)
        written = file.writeAt(0, text.constData(), text.size());
    if (written)
        written = file.sync();
    if (written)
        written = folder.sync();
    return written;
}

Expected<void> FetchRecord::Remove(Folder &folder, const QString &goodPartName)
{
    const QString name = NameFor(folder, goodPartName);
    if (!folder.entry(name))
        return {};
    return folder.remove(name);
}
