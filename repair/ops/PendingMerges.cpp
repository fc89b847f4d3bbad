#include "PendingMerges.h"

#include "FileProbe.h"
#include "NamingRules.h"

#include <QDir>

namespace PendingMerges {

bool IsPendingMerge(const QString &goodPart)
{
    return NamingRules::HasGoodPartName(goodPart)
           && FileProbe::IsOrdinaryFile(NamingRules::PendingCompanionPath(goodPart));
}

QStringList In(const QString &folder)
{
    const QDir dir(folder);
    QStringList pending;
    for (const QString &name : FileProbe::OrdinaryFilesIn(folder)) {
        if (NamingRules::HasGoodPartName(name)
            && FileProbe::IsOrdinaryFile(dir.filePath(NamingRules::PendingCompanionPath(name))))
            pending << name;
    }
    return pending;
}

} // namespace PendingMerges
