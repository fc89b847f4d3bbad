#include "ErrorOffset.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <iterator>

// Each input is the size box's text in UTF-8, after a first byte that picks the locale the
// box reads numbers in: the rules take any text a user can paste.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const QLocale locales[] = {QLocale::c(),
                                      QLocale(QLocale::English),
                                      QLocale(QLocale::German),
                                      QLocale(QLocale::French),
                                      QLocale(QLocale::Arabic, QLocale::Egypt),
                                      QLocale(QLocale::Hindi, QLocale::India)};
    const QLocale &locale = locales[data[0] % std::size(locales)];
    const QString box
        = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const Expected<QString> applied = ErrorOffset::ApplyErrorOffset(box, locale);
    if (!applied) {
        if (applied.failure().reason() != RepairFailure::Reason::IncorrectSize)
            abort();
    } else if (*applied != box) {
        // What an error line becomes is a number, which is no error line in its turn.
        const Expected<QString> again = ErrorOffset::ApplyErrorOffset(*applied, locale);
        if (!again || *again != *applied)
            abort();
    }
    for (const QString &text : {box, applied ? *applied : box}) {
        const std::optional<qint64> splitSize = ErrorOffset::ReadSplitSize(text);
        if (splitSize && (*splitSize < 1 || *splitSize > (qint64(1) << 53)))
            abort();
    }
    return 0;
}
