#include "ContentRange.h"

namespace {

// Digits only: a sign, blanks or a fraction make it no byte position.
std::optional<qint64> position(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    return text.toLongLong();
}

} // namespace

std::optional<ContentRange> ContentRange::Parse(const QByteArray &value)
{
    const QByteArray text = value.trimmed();
    const QByteArray unit = "bytes ";
    if (!text.startsWith(unit) && !text.toLower().startsWith(unit))
        return std::nullopt;
    const QByteArray rest = text.mid(unit.size()).trimmed();
    const qsizetype dash = rest.indexOf('-');
    const qsizetype slash = rest.indexOf('/');
    if (dash < 0 || slash < dash)
        return std::nullopt;
    const std::optional<qint64> first = position(rest.left(dash));
    const std::optional<qint64> last = position(rest.mid(dash + 1, slash - dash - 1));
    const QByteArray totalText = rest.mid(slash + 1);
    const std::optional<qint64> total
        = totalText == "*" ? std::optional<qint64>(-1) : position(totalText);
    if (!first || !last || !total || *last < *first || (*total >= 0 && *last >= *total))
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}
