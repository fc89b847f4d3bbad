#pragma once

#include <QString>

// Files of bytes that look random and are worked out from their position alone, so every
// input is a prefix of one endless stream and any output can be checked without a second
// copy on disk.
namespace PatternFile {

// Writes the first `length` bytes of the stream and syncs them to disk.
bool Write(const QString &path, qint64 length, QString &error);

// The file holds exactly the first `length` bytes of the stream.
bool Matches(const QString &path, qint64 length, QString &why);

} // namespace PatternFile
