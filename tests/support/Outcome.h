#pragma once

#include "Expected.h"

#include <optional>

using Reason = RepairFailure::Reason;

// Nothing when the step was done, else the reason it failed for.
template <typename T> std::optional<Reason> ReasonOf(const Expected<T> &result)
{
    if (result)
        return std::nullopt;
    return result.failure().reason();
}

// What a test prints when a step it expected to be done failed.
template <typename T> QString MessageOf(const Expected<T> &result)
{
    return result ? QStringLiteral("done") : result.failure().message();
}
