#pragma once

#include "Expected.h"

#include <QLocale>
#include <QString>

#include <optional>

// Turning the size box's text into the number of leading bytes to keep. The user types a
// size or pastes a line such as "Error at offset: 1234567 (12D687h)".
namespace ErrorOffset {

// Bytes kept back before the error offset, since the damage may begin a little earlier.
const qint64 Margin = 50000;

// Cuts an error-offset line down to its number and subtracts the margin; any other text
// stays as it is. An error line whose number cannot be read is refused as IncorrectSize.
Expected<QString> ApplyErrorOffset(const QString &boxText, const QLocale &locale = QLocale());

// Why a size that cannot be read, or is below one byte, is refused.
RepairFailure IncorrectSize();

// The split size the box holds, read leniently; nothing when it is below one byte.
std::optional<qint64> ReadSplitSize(const QString &boxText);

} // namespace ErrorOffset
