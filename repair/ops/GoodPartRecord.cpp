#include "GoodPartRecord.h"

#include "Attributes.h"
#include "NamingRules.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace {

const char LengthAttribute[] = "user.saltwick.length";
const char SourceAttribute[] = "user.saltwick.source";
const QLatin1String LengthFilePrefix(".saltwick-length-");
// A record holds a number and a name; anything longer is none of ours.
const qint64 LongestLengthFile = 4096;

// Short and of fixed length whatever the good part's name, so that it fits wherever the
// good part's name does.
QString lengthFileName(const QString &name)
{
    const QByteArray hash
        = QCryptographicHash::hash(QFile::encodeName(name), QCryptographicHash::Sha1).toHex();
    return LengthFilePrefix + QString::fromLatin1(hash.left(16));
}

QByteArray lengthFileText(const QString &name, qint64 length)
{
    return QByteArray::number(length) + '\n' + QFile::encodeName(name) + '\n';
}

// A record that a crash cut short holds less, or zeros: it was never complete, so the merge
// it was for had not begun appending.
std::optional<qint64> readLengthFileText(const QByteArray &text, QString *name)
{
    const qsizetype end = text.indexOf('\n');
    if (end <= 0 || !text.endsWith('\n'))
        return std::nullopt;
    bool read = false;
    const qint64 length = text.left(end).toLongLong(&read);
    if (!read || length < 0)
        return std::nullopt;
    *name = QFile::decodeName(text.mid(end + 1, text.size() - end - 2));
    return length;
}

std::optional<qint64> readLength(const QByteArray &value)
{
    bool read = false;
    const qint64 length = value.toLongLong(&read);
    if (!read || length < 0)
        return std::nullopt;
    return length;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

Expected<void> GoodPartRecord::recordLength(qint64 length)
{
    const Expected<bool> kept
        = Attributes::Set(m_goodPart, LengthAttribute, QByteArray::number(length));
    if (!kept)
        return kept.failure();
    if (!*kept) {
        if (Expected<void> written = writeLengthBeside(length); !written)
            return written;
    }
    // The record, and the bytes it keeps, reach the disk before anything is appended.
    return m_goodPart.sync();
}

Expected<void> GoodPartRecord::writeLengthBeside(qint64 length)
{
    // A record cut short by a crash is no record.
    const QString recordName = lengthFileName(m_name);
    const QByteArray text = lengthFileText(m_name, length);
    for (int attempt = 0;; ++attempt) {
        (void)m_folder.remove(recordName);
        RawFile record;
        if (Expected<void> created
            = record.createNewIn(m_folder, recordName, m_folder.pathOf(m_name));
            !created)
            return created;
        // Until it is whole, another start in this folder must not take it for a leftover.
        (void)record.tryLock();
        Expected<void> written = record.writeAt(0, text.constData(), text.size());
        if (written)
            written = record.sync();
        if (written)
            written = m_folder.sync();
        if (!written) {
            (void)m_folder.remove(recordName);
            return written;
        }
        // Taken away by another start before it was locked: written again.
        const Expected<FileIdentity> made = record.identity();
        const std::optional<FileIdentity> named = m_folder.entry(recordName);
        if (made && named && named->isSameFile(*made))
            return {};
        if (attempt == 2) {
            return RepairFailure(RepairFailure::PathFileAccessError,
                                 tr("Path/file access error: the length of %1 could not be "
                                    "recorded")
                                     .arg(shown(m_folder.pathOf(m_name))),
                                 m_folder.pathOf(m_name));
        }
    }
}

Expected<std::optional<qint64>> GoodPartRecord::recordedLength() const
{
    const Expected<std::optional<QByteArray>> value = Attributes::Get(m_goodPart, LengthAttribute);
    if (!value)
        return value.failure();
    if (*value)
        return readLength(**value);
    return lengthBeside();
}

Expected<std::optional<qint64>> GoodPartRecord::lengthBeside() const
{
    RawFile record;
    if (!record.openToLockIn(m_folder, lengthFileName(m_name)))
        return std::optional<qint64>();
    const Expected<FileIdentity> identity = record.identity();
    if (!identity)
        return identity.failure();
    if (!identity->isRegularFile() || identity->size > LongestLengthFile)
        return std::optional<qint64>();
    QByteArray text(identity->size, Qt::Uninitialized);
    if (Expected<void> read = record.readAt(0, text.data(), text.size()); !read)
        return read.failure();
    QString name;
    const std::optional<qint64> length = readLengthFileText(text, &name);
    // Two names whose hashes begin alike do not share a record.
    if (name != m_name)
        return std::optional<qint64>();
    return length;
}

Expected<void> GoodPartRecord::forgetLength()
{
    if (Expected<void> removed = Attributes::Remove(m_goodPart, LengthAttribute); !removed)
        return removed;
    ForgetLengthOf(m_folder, m_name);
    return {};
}

void GoodPartRecord::ForgetLengthOf(Folder &folder, const QString &name)
{
    if (folder.remove(lengthFileName(name)))
        (void)folder.sync();
}

Expected<std::optional<qint64>> GoodPartRecord::giveBack()
{
    const Expected<std::optional<qint64>> recorded = recordedLength();
    if (!recorded || !*recorded)
        return recorded;
    const Expected<qint64> length = m_goodPart.length();
    if (!length)
        return length.failure();
    // Shorter than recorded, it holds no byte a merge appended; there is nothing to take off.
    if (*length > **recorded) {
        Expected<void> cut = m_goodPart.truncate(**recorded);
        if (cut)
            cut = m_goodPart.sync();
        if (!cut)
            return cut.failure();
    }
    if (Expected<void> forgotten = forgetLength(); !forgotten)
        return forgotten.failure();
    return recorded;
}

void GoodPartRecord::RecordSource(const RawFile &goodPart, const FileIdentity &source)
{
    const QByteArray value
        = QByteArray::number(source.device) + ' ' + QByteArray::number(source.inode) + ' '
          + QByteArray::number(source.size) + ' ' + QByteArray::number(source.modified) + ' '
          + QByteArray::number(source.changed);
    // Without it, Merge Back still has the join check and the damage scan.
    (void)Attributes::Set(goodPart, SourceAttribute, value);
}

std::optional<FileIdentity> GoodPartRecord::RecordedSource(const RawFile &goodPart)
{
    const Expected<std::optional<QByteArray>> value = Attributes::Get(goodPart, SourceAttribute);
    if (!value || !*value)
        return std::nullopt;
    const QList<QByteArray> fields = (*value)->split(' ');
    if (fields.size() != 5)
        return std::nullopt;
    bool read[5] = {};
    FileIdentity source;
    source.device = fields[0].toULongLong(&read[0]);
    source.inode = fields[1].toULongLong(&read[1]);
    source.size = fields[2].toLongLong(&read[2]);
    source.modified = fields[3].toLongLong(&read[3]);
    source.changed = fields[4].toLongLong(&read[4]);
    if (!(read[0] && read[1] && read[2] && read[3] && read[4]))
        return std::nullopt;
    return source;
}

void GoodPartRecord::ForgetSource(const RawFile &goodPart)
{
    (void)Attributes::Remove(goodPart, SourceAttribute);
}

QStringList GoodPartRecord::GiveBackIn(const QString &folderPart)
{
    QStringList notices;
    Folder folder;
    if (!folder.open(folderPart))
        return notices;
    for (const QString &name : folder.names()) {
        if (name.startsWith(LengthFilePrefix)) {
            // The merge it was for renamed its good part and was stopped before it could
            // forget the record.
            RawFile record;
            QString goodPart;
            QByteArray text(int(LongestLengthFile), Qt::Uninitialized);
            const std::optional<FileIdentity> entry = folder.entry(name);
            if (!entry || !entry->isRegularFile() || !record.openToLockIn(folder, name))
                continue;
            // Locked while it is being written.
            if (!record.tryLock())
                continue;
            if (entry->size <= LongestLengthFile && record.readAt(0, text.data(), entry->size)) {
                text.truncate(entry->size);
                readLengthFileText(text, &goodPart);
            }
            if (goodPart.isEmpty() || lengthFileName(goodPart) != name || !folder.entry(goodPart))
                (void)folder.remove(name);
            continue;
        }
        const std::optional<FileIdentity> entry = folder.entry(name);
        if (!NamingRules::HasGoodPartName(name) || !entry || !entry->isRegularFile())
            continue;
        RawFile look;
        if (!look.openToLockIn(folder, name))
            continue;
        const Expected<std::optional<qint64>> recorded
            = GoodPartRecord(folder, name, look).recordedLength();
        if (recorded && !*recorded)
            continue;

        RawFile goodPart;
        Expected<std::optional<qint64>> given = std::optional<qint64>();
        if (Expected<void> opened = goodPart.openForUpdateIn(folder, name); !opened) {
            given = opened.failure();
        } else {
            const Expected<FileIdentity> identity = goodPart.identity();
            // A running merge holds its good part locked; its record is no leftover.
            if (!identity || !identity->isSameFile(*entry) || !goodPart.tryLock())
                continue;
            given = GoodPartRecord(folder, name, goodPart).giveBack();
        }
        const QString path = folder.pathOf(name);
        if (!given) {
            notices << tr("%1 could not be given back as it was before a merge that was cut "
                          "short: %2")
                           .arg(shown(path), given.failure().message());
        } else if (*given) {
            notices << tr("A merge of %1 was cut short; the good part was given back as it was "
                          "before, %2 bytes long.")
                           .arg(shown(path), QString::number(**given));
        }
    }
    return notices;
}
