#include "CompanionCheck.h"

#include "GoodPartRecord.h"
#include "NamingRules.h"

#include <QByteArray>
#include <QCoreApplication>

#include <algorithm>

namespace CompanionCheck {

namespace {

RepairFailure stillDownloading(const QString &companionPath)
{
    return RepairFailure::refusal(
        RepairFailure::Reason::StillDownloading,
        QCoreApplication::translate("CompanionCheck",
                                    "%1 is still being downloaded; merge it once the download "
                                    "has finished.")
            .arg(NamingRules::SplitFolderAndName(companionPath).name),
        companionPath);
}

} // namespace

Expected<void> Check(const RawFile &goodPart, qint64 goodPartLength, const RawFile &companion,
                     const FileIdentity &companionIdentity, const QString &companionPath)
{
    const std::optional<FileIdentity> source = GoodPartRecord::RecordedSource(goodPart);
    if (source && source->isSameVersion(companionIdentity)) {
        return RepairFailure::refusal(
            RepairFailure::Reason::NotFetchedAgain,
            QCoreApplication::translate("CompanionCheck",
                                        "%1 has not been fetched again yet: it is still the "
                                        "damaged file the good part was split from.")
                .arg(NamingRules::SplitFolderAndName(companionPath).name),
            companionPath);
    }
    const qint64 length = companionIdentity.size;
    if (length <= goodPartLength)
        return {};
    const Expected<qint64> hole = companion.firstHoleFrom(goodPartLength);
    if (!hole)
        return hole.failure();
    if (*hole < length)
        return stillDownloading(companionPath);
    if (length < ZeroTailBytes)
        return {};
    QByteArray tail(ZeroTailBytes, Qt::Uninitialized);
    if (Expected<void> read = companion.readAt(length - ZeroTailBytes, tail.data(), tail.size());
        !read)
        return read;
    if (std::all_of(tail.cbegin(), tail.cend(), [](char byte) { return byte == 0; }))
        return stillDownloading(companionPath);
    return {};
}

Expected<void> CheckUnchanged(const RawFile &companion, const FileIdentity &before,
                              const QString &companionPath)
{
    const Expected<FileIdentity> now = companion.identity();
    if (!now)
        return now.failure();
    if (!now->isSameVersion(before)) {
        return RepairFailure::refusal(
            RepairFailure::Reason::StillDownloading,
            QCoreApplication::translate("CompanionCheck",
                                        "%1 changed while it was being merged: it is still being "
                                        "downloaded. The good part was left as it was.")
                .arg(NamingRules::SplitFolderAndName(companionPath).name),
            companionPath);
    }
    return {};
}

} // namespace CompanionCheck
