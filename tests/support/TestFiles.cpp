#include "TestFiles.h"

#include <QFile>

namespace TestFiles {

QByteArray Pattern(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    // Through the raw bytes: the checked operator[] makes the sanitizer build's tests crawl.
    char *data = bytes.data();
    quint32 state = seed * 2654435761u + 12345u;
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        data[i] = char(state >> 24);
    }
    return bytes;
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

bool WritePattern(const QString &path, qint64 size, quint32 seed)
{
    return Write(path, Pattern(size, seed));
}

QByteArray Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace TestFiles
