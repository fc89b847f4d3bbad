#include "JoinCheck.h"

#include <QByteArray>

#include <algorithm>

namespace JoinCheck {

Comparison Compare(const RawFile &goodPart, const RawFile &companion, qint64 goodPartLength)
{
    const qint64 count = std::min(goodPartLength, ComparedBytes);
    if (count <= 0)
        return {};
    const qint64 first = goodPartLength - count + 1;
    QByteArray ours(count, Qt::Uninitialized);
    QByteArray theirs(count, Qt::Uninitialized);
    if (auto failure = goodPart.readAt(first, ours.data(), count))
        return {std::nullopt, failure};
    if (auto failure = companion.readAt(first, theirs.data(), count))
        return {std::nullopt, failure};
    const auto differs = std::mismatch(ours.cbegin(), ours.cend(), theirs.cbegin()).first;
    if (differs == ours.cend())
        return {};
    return {first + (differs - ours.cbegin()), std::nullopt};
}

} // namespace JoinCheck
