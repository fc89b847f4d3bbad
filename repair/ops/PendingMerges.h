#pragma once

#include <QString>
#include <QStringList>

// Which good parts are ready to merge: the one rule the window and saltwick-cli share.
namespace PendingMerges {

// A good part whose companion has arrived: the text has a good part's name, and the
// companion is an ordinary file. A dropped or named file is tested by its whole path, a
// bare name resolves in the current folder.
bool IsPendingMerge(const QString &goodPart);

// The names of the ordinary files in `folder` that are pending merges there, by name; each
// bare name is tested on its own, whatever the folder's path holds.
QStringList In(const QString &folder);

} // namespace PendingMerges
