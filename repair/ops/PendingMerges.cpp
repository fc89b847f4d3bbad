#include "PendingMerges.h"

#include "CompanionCheck.h"
#include "FileProbe.h"
#include "NamingRules.h"
#include "RawFile.h"

#include <QDir>

namespace PendingMerges {

namespace {

// `name` is what the naming rule reads: a bare name, or the whole path as given.
bool companionArrived(const QString &name, const QString &goodPart, const QString &companion)
{
    return NamingRules::HasGoodPartName(name) && FileProbe::IsOrdinaryFile(companion)
           && CheckCompanion(goodPart);
}

} // namespace

Expected<void> CheckCompanion(const QString &goodPart)
{
    RawFile good;
    RawFile companion;
    if (!good.openForReading(goodPart)
        || !companion.openForReading(NamingRules::MergeCompanionPath(goodPart)))
        return {};
    const Expected<qint64> length = good.length();
    const Expected<FileIdentity> identity = companion.identity();
    if (!length || !identity || !identity->isRegularFile())
        return {};
    const Expected<void> ready = CompanionCheck::Check(good, *length, companion, *identity,
                                                       NamingRules::MergeCompanionPath(goodPart));
    if (ready || ready.failure().isRefusal())
        return ready;
    return {};
}

bool IsPendingMerge(const QString &goodPart)
{
    return companionArrived(goodPart, goodPart, NamingRules::PendingCompanionPath(goodPart));
}

QStringList In(const QString &folder)
{
    const QDir dir(folder);
    QStringList pending;
    for (const QString &name : FileProbe::OrdinaryFilesIn(folder)) {
        if (companionArrived(name, dir.filePath(name),
                             dir.filePath(NamingRules::PendingCompanionPath(name))))
            pending << name;
    }
    return pending;
}

} // namespace PendingMerges
