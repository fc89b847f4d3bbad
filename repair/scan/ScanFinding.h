#pragma once

#include <QString>

#include <optional>

// What a damage scan of a file it could read proved.
struct ScanFinding
{
    std::optional<qint64> damage; // 0-based offset of the first proven damage, if any
    QString checked;              // plain words: what was checked
};
