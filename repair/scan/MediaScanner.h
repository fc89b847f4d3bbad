#pragma once

#include "CopyHooks.h"
#include "Expected.h"
#include "ScanFinding.h"

#include <QCoreApplication>
#include <QString>

// The damage finder for any file: picks the scanner by what the file's first bytes hold,
// never by its name.
class MediaScanner
{
    Q_DECLARE_TR_FUNCTIONS(MediaScanner)

public:
    // A file in none of the formats is refused with the reason NotReadable.
    static Expected<ScanFinding> Scan(const QString &path, const CopyHooks &hooks);

    // The line the size box takes, in the form a pasted error line has.
    static QString DamageLine(qint64 offset);
    static QString NoDamageMessage(const QString &path);
    static QString NotReadableMessage(const QString &path);
};
