#pragma once

#include "Expected.h"

#include <QString>
#include <QStringList>

// Which good parts are ready to merge: the one rule the window and saltwick-cli share.
namespace PendingMerges {

// A good part whose companion has arrived: the text has a good part's name, the companion
// is an ordinary file, and that file has been fetched again (it is not the file the good
// part was split from) and is not still being downloaded. A dropped or named file is tested
// by its whole path, a bare name resolves in the current folder.
bool IsPendingMerge(const QString &goodPart);

// Why a good part whose companion is there is not listed: NotFetchedAgain or
// StillDownloading. Anything else, even files that cannot be opened, leaves the verdict to
// the merge itself.
Expected<void> CheckCompanion(const QString &goodPart);

// The names of the ordinary files in `folder` that are pending merges there, by name; each
// bare name is tested on its own, whatever the folder's path holds.
QStringList In(const QString &folder);

} // namespace PendingMerges
