#pragma once

#include "RawFile.h"

#include <optional>

// Whether a companion continues the good part it is to complete: a file fetched again from
// another source, or another version of the film, differs at the join, and merging it would
// give a fixed file that is garbage from there on.
namespace JoinCheck {

// Only the last bytes of the good part are compared, so a check costs one short read of
// each file however long they are.
constexpr qint64 ComparedBytes = 1024 * 1024;

// Compares the last bytes of the good part, up to ComparedBytes of them, with the
// companion's bytes at the same offsets, and gives the offset of the first that differs.
// The companion must be at least as long.
Expected<std::optional<qint64>> FirstDifference(const RawFile &goodPart, const RawFile &companion,
                                                qint64 goodPartLength);

} // namespace JoinCheck
