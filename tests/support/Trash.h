#pragma once

#include <QString>

// Where the desktop trash put an item: the home trash ($XDG_DATA_HOME/Trash) for an item on
// the home's file system, otherwise that file system's own .Trash/UID or .Trash-UID. Each
// trashed item has an info file that says where it came from.
namespace Trash {

// The path in the trash of what stood at `original`, or empty when no trash holds it.
QString Find(const QString &original);
// Takes the item found for `original`, and its info file, out of the trash for good.
void Remove(const QString &original);

} // namespace Trash
