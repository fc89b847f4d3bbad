#pragma once

#include <QByteArray>

#include <optional>

// What a 206 answer's Content-Range says it holds: the bytes from `first` to `last` (0-based,
// both included) of a file of `total` bytes; -1 when the server does not know the total.
struct ContentRange
{
    qint64 first = 0;
    qint64 last = 0;
    qint64 total = -1;

    qint64 length() const { return last - first + 1; }

    // "bytes 100-199/1000" or "bytes 100-199/*"; nothing for any other text, for a range that
    // ends before it begins, and for one that reaches beyond the total.
    static std::optional<ContentRange> Parse(const QByteArray &value);
};
