#pragma once

#include <QByteArray>
#include <QString>

// Files with contents that differ at every position, so that a byte copied to the wrong
// place shows.
namespace TestFiles {

QByteArray Pattern(qint64 size, quint32 seed = 1);
bool Write(const QString &path, const QByteArray &bytes);
bool WritePattern(const QString &path, qint64 size, quint32 seed = 1);
QByteArray Read(const QString &path);

} // namespace TestFiles
