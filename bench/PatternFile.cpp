#include "PatternFile.h"

#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const qint64 ChunkSize = 4 * 1024 * 1024;

// splitmix64: cheap, and no two neighbouring words alike.
quint64 Word(quint64 index)
{
    quint64 z = index * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void Fill(char *data, qint64 offset, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const qint64 position = offset + done;
        const quint64 word = Word(quint64(position / 8));
        const qint64 skip = position % 8;
        const qint64 take = std::min<qint64>(8 - skip, count - done);
        std::memcpy(data + done, reinterpret_cast<const char *>(&word) + skip, size_t(take));
        done += take;
    }
}

} // namespace

namespace PatternFile {

bool Write(const QString &path, qint64 length, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString();
        return false;
    }
    std::vector<char> chunk(ChunkSize);
    for (qint64 offset = 0; offset < length; offset += ChunkSize) {
        const qint64 count = std::min(ChunkSize, length - offset);
        Fill(chunk.data(), offset, count);
        if (file.write(chunk.data(), count) != count) {
            error = file.errorString();
            return false;
        }
    }
    if (!file.flush() || ::fsync(file.handle()) != 0) {
        error = QStringLiteral("cannot sync %1").arg(path);
        return false;
    }
    return true;
}

bool Matches(const QString &path, qint64 length, QString &why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    if (file.size() != length) {
        why = QStringLiteral("%1 bytes instead of %2").arg(file.size()).arg(length);
        return false;
    }
    std::vector<char> expected(ChunkSize);
    std::vector<char> actual(ChunkSize);
    for (qint64 offset = 0; offset < length; offset += ChunkSize) {
        const qint64 count = std::min(ChunkSize, length - offset);
        Fill(expected.data(), offset, count);
        if (file.read(actual.data(), count) != count) {
            why = QStringLiteral("cannot read at %1").arg(offset);
            return false;
        }
        if (std::memcmp(expected.data(), actual.data(), size_t(count)) != 0) {
            why = QStringLiteral("wrong bytes in the 4 MiB from offset %1").arg(offset);
            return false;
        }
    }
    return true;
}

} // namespace PatternFile
