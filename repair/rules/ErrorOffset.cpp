#include "ErrorOffset.h"

#include <QCoreApplication>

#include <cmath>

namespace ErrorOffset {

namespace {

const QString Keyword = QStringLiteral("offset");
// The keyword is followed by two separators, normally a colon and a blank.
const qsizetype DroppedAfterKeyword = 2;
// Whole numbers beyond this lose their exactness in a double.
const double LargestExactSize = 9007199254740992.0;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

// The value of an ASCII digit or letter in bases up to 16; -1 for anything else.
int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// "&H1F" and "&O17": a whole number in base 16 or 8, as far as the digits go.
double readRadixNumber(const QString &text, int base)
{
    double value = 0;
    for (qsizetype i = 2; i < text.size(); ++i) {
        const int digit = digitValue(text[i]);
        if (digit < 0 || digit >= base)
            break;
        value = value * base + digit;
    }
    return value;
}

qsizetype skipDigits(const QString &text, qsizetype from)
{
    while (from < text.size() && text[from] >= u'0' && text[from] <= u'9')
        ++from;
    return from;
}

// A sign, digits, one full stop and an exponent with E or D, up to the first character
// that cannot continue the number.
double readDecimalNumber(const QString &text)
{
    qsizetype end = 0;
    if (end < text.size() && (text[end] == u'+' || text[end] == u'-'))
        ++end;
    const qsizetype digitsStart = end;
    end = skipDigits(text, end);
    if (end < text.size() && text[end] == u'.')
        end = skipDigits(text, end + 1);
    if (end == digitsStart || text.mid(digitsStart, end - digitsStart) == QStringLiteral("."))
        return 0;
    QString number = text.left(end);
    if (end < text.size() && QStringLiteral("EeDd").contains(text[end])) {
        qsizetype exponentEnd = end + 1;
        if (exponentEnd < text.size() && (text[exponentEnd] == u'+' || text[exponentEnd] == u'-'))
            ++exponentEnd;
        const qsizetype exponentDigits = skipDigits(text, exponentEnd);
        if (exponentDigits > exponentEnd)
            number += u'e' + text.mid(end + 1, exponentDigits - end - 1);
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    return ok ? value : 0;
}

double readLeniently(const QString &boxText)
{
    QString text;
    for (QChar c : boxText) {
        if (!isBlank(c))
            text += c;
    }
    if (text.size() >= 2 && text[0] == u'&') {
        const QChar radix = text[1].toUpper();
        if (radix == u'H')
            return readRadixNumber(text, 16);
        if (radix == u'O')
            return readRadixNumber(text, 8);
    }
    return readDecimalNumber(text);
}

QString formatNumber(double value, const QLocale &locale)
{
    if (value == std::floor(value) && std::fabs(value) <= LargestExactSize)
        return QString::number(qint64(value));
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace

Expected<QString> ApplyErrorOffset(const QString &boxText, const QLocale &locale)
{
    const qsizetype keyword = boxText.indexOf(Keyword);
    if (keyword < 1)
        return boxText;

    const qsizetype kept = boxText.size() - keyword - Keyword.size() - DroppedAfterKeyword;
    if (kept < 0)
        return IncorrectSize();
    QString text = boxText.right(kept);

    // A remark in parentheses goes, and with it the one blank before it.
    const qsizetype parenthesis = text.indexOf(u'(');
    if (parenthesis > 0)
        text = text.left(parenthesis - 1);

    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double offset = strict.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(offset))
        return IncorrectSize();
    return formatNumber(offset - Margin, locale);
}

RepairFailure IncorrectSize()
{
    return RepairFailure::refusal(
        RepairFailure::Reason::IncorrectSize,
        QCoreApplication::translate("ErrorOffset", "Incorrect split size"));
}

std::optional<qint64> ReadSplitSize(const QString &boxText)
{
    const double value = readLeniently(boxText);
    if (!(value >= 1) || value > LargestExactSize)
        return std::nullopt;
    // rint rounds a half to the even neighbour in the default rounding mode.
    return qint64(std::rint(value));
}

} // namespace ErrorOffset
