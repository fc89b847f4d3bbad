#include "JoinCheck.h"

#include <QByteArray>

#include <algorithm>

namespace JoinCheck {

Expected<std::optional<qint64>> FirstDifference(const RawFile &goodPart, const RawFile &companion,
                                                qint64 goodPartLength)
{
    const qint64 count = std::min(goodPartLength, ComparedBytes);
    if (count <= 0)
        return std::optional<qint64>();
    const qint64 first = goodPartLength - count;
    QByteArray ours(count, Qt::Uninitialized);
    QByteArray theirs(count, Qt::Uninitialized);
    if (const Expected<void> read = goodPart.readAt(first, ours.data(), count); !read)
        return read.failure();
    if (const Expected<void> read = companion.readAt(first, theirs.data(), count); !read)
        return read.failure();
    const auto differs = std::mismatch(ours.cbegin(), ours.cend(), theirs.cbegin()).first;
    if (differs == ours.cend())
        return std::optional<qint64>();
    return std::optional<qint64>(first + (differs - ours.cbegin()));
}

} // namespace JoinCheck
