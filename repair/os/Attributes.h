#pragma once

#include "Expected.h"

#include <QByteArray>

#include <optional>

class RawFile;

// Small named values the file system keeps with a file (extended attributes of the user
// namespace): they stay with the file through renames and links, and go with it.
namespace Attributes {

// False, and nothing kept, where the file system keeps no such values.
Expected<bool> Set(const RawFile &file, const char *name, const QByteArray &value);
// Nothing when the file has no value of that name, or the file system keeps none.
Expected<std::optional<QByteArray>> Get(const RawFile &file, const char *name);
// Having no value of that name to remove is no failure.
Expected<void> Remove(const RawFile &file, const char *name);

} // namespace Attributes
