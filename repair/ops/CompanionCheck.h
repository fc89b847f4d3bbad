#pragma once

#include "FileIdentity.h"
#include "RawFile.h"

#include <QString>

// Whether the new file is one to merge: fetched again, not still the damaged file the good
// part was split from; and whole, not a download still being written.
namespace CompanionCheck {

// Downloaders that set aside the whole length first leave zeros where nothing has arrived
// yet; a finished film does not end in this many of them.
constexpr qint64 ZeroTailBytes = 64 * 1024;

// NotFetchedAgain when the companion is the very file the good part was split from, and
// as it was then; StillDownloading when it has holes beyond the good part, or ends in
// ZeroTailBytes of zeros.
Expected<void> Check(const RawFile &goodPart, qint64 goodPartLength, const RawFile &companion,
                     const FileIdentity &companionIdentity, const QString &companionPath);

// StillDownloading when the companion's length or times are no longer those it had.
Expected<void> CheckUnchanged(const RawFile &companion, const FileIdentity &before,
                              const QString &companionPath);

} // namespace CompanionCheck
