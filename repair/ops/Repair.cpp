#include "Repair.h"

#include "ErrorOffset.h"
#include "FetchRest.h"
#include "FileProbe.h"
#include "GoodPartSplit.h"
#include "JoinCheck.h"
#include "MediaScanner.h"
#include "MergeBack.h"
#include "NamingRules.h"

#include <QDir>
#include <QUrl>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The good part that an earlier repair split off, and whose fetch was then killed, holds
// the first `size` bytes of `file`; its last bytes and the file's are compared to be sure.
bool continuesUnfinishedFetch(const QString &file, const QString &goodPart, qint64 size)
{
    if (FetchRest::UnfinishedFrom(goodPart) != size)
        return false;
    RawFile source;
    RawFile held;
    if (!source.openForReading(file) || !held.openForReading(goodPart))
        return false;
    const Expected<std::optional<qint64>> difference
        = JoinCheck::FirstDifference(held, source, size);
    return difference && !*difference;
}

} // namespace

bool Repair::NamesOrdinaryFile(const QString &file)
{
    return !file.trimmed().isEmpty() && FileProbe::IsOrdinaryFile(file);
}

Expected<QString> Repair::split(const QString &file, const QString &sizeText,
                                const RepairSteps &steps)
{
    const Expected<QString> sizeBox = ErrorOffset::ApplyErrorOffset(sizeText);
    if (!sizeBox)
        return sizeBox.failure();
    if (steps.sizeRead)
        steps.sizeRead(*sizeBox);
    if (!NamesOrdinaryFile(file))
        return GoodPartSplit::sourceMissing(file);
    const std::optional<qint64> size = ErrorOffset::ReadSplitSize(*sizeBox);
    if (!size)
        return ErrorOffset::IncorrectSize();

    GoodPartSplit split(file, *size);
    Expected<void> checked = split.check();
    if (steps.checked)
        steps.checked(checked);
    m_fileLength = split.sourceLength();
    if (!checked && checked.failure().reason() == RepairFailure::Reason::NeedsConsent) {
        if (!steps.agree || !steps.agree(checked.failure()))
            return checked.failure();
        split.agreeToOverwrite();
        checked = {};
    }
    if (checked)
        checked = split.run(m_chunkBuffer, steps.hooks);
    if (!checked)
        return checked.failure();
    m_splitSize = *size;
    return split.goodPartPath();
}

Expected<QString> Repair::merge(const QString &goodPart, const RepairSteps &steps,
                                const QString &companion)
{
    if (!NamingRules::HasGoodPartName(NamingRules::SplitFolderAndName(goodPart).name)) {
        return RepairFailure::refusal(RepairFailure::Reason::NotAGoodPart,
                                      tr("%1 is not a good part: its name does not end in QQQ")
                                          .arg(QDir::toNativeSeparators(goodPart)),
                                      goodPart);
    }
    MergeBack merge = companion.isEmpty() ? MergeBack(goodPart) : MergeBack(goodPart, companion);
    Expected<void> merged = merge.run(m_chunkBuffer, steps.hooks);
    if (!merged && merged.failure().reason() == RepairFailure::Reason::JoinDiffers) {
        if (steps.agree && steps.agree(merged.failure())) {
            merge.acceptDifferentJoin();
            merged = merge.run(m_chunkBuffer, steps.hooks);
        }
    }
    m_fileLength = merge.goodPartLength();
    if (!merged)
        return merged.failure();
    return merge.fixedPath();
}

Expected<QString> Repair::fetch(const QString &goodPart, const QString &address,
                                const FetchChoices &choices, const RepairSteps &steps)
{
    const NamingRules::FolderAndName parts = NamingRules::SplitFolderAndName(goodPart);
    if (choices.fixedName.isEmpty() && !NamingRules::HasGoodPartName(parts.name)) {
        return RepairFailure::refusal(
            RepairFailure::Reason::NotAGoodPart,
            tr("%1 is not a good part: its name does not end in QQQ").arg(shown(goodPart)),
            goodPart);
    }
    if (choices.fixedName.contains(u'/') || choices.fixedName == QStringLiteral(".")
        || choices.fixedName == QStringLiteral("..")) {
        return RepairFailure(RepairFailure::InvalidArgument,
                             tr("Invalid argument: the fixed file's name %1 must be a name in "
                                "the good part's folder")
                                 .arg(choices.fixedName),
                             goodPart);
    }
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))) {
        return RepairFailure(RepairFailure::InvalidArgument,
                             tr("Invalid argument: %1 is no http or https address").arg(address),
                             address);
    }
    if (!NamesOrdinaryFile(goodPart))
        return GoodPartSplit::sourceMissing(goodPart);
    const QString fixedPath = choices.fixedName.isEmpty() ? NamingRules::FixedPath(goodPart)
                                                          : parts.folder + choices.fixedName;
    FetchRest fetch(goodPart, address, fixedPath);
    if (choices.wholeAllowed)
        fetch.allowWholeDownload();
    fetch.setRetries(choices.retries);
    fetch.setRedirectNotice(steps.tell);
    Expected<void> fetched = fetch.run(steps.hooks);
    m_bytesFetched = fetch.bytesReceived();
    if (!fetched && fetched.failure().reason() == RepairFailure::Reason::JoinDiffers) {
        if (steps.agree && steps.agree(fetched.failure())) {
            fetch.acceptDifferentJoin();
            fetched = fetch.run(steps.hooks);
            m_bytesFetched += fetch.bytesReceived();
        }
    }
    m_fileLength = fetch.goodPartLength();
    if (!fetched)
        return fetched.failure();
    return fetch.fixedPath();
}

Expected<QString> Repair::repair(const QString &file, const QString &address,
                                 const QString &sizeText, const FetchChoices &choices,
                                 const RepairSteps &steps)
{
    if (!NamesOrdinaryFile(file))
        return GoodPartSplit::sourceMissing(file);
    QString size = sizeText;
    if (size.isEmpty()) {
        const Expected<qint64> damage = findDamage(file, steps.hooks);
        if (damage) {
            size = MediaScanner::DamageLine(*damage);
        } else if (damage.failure().reason() == RepairFailure::Reason::NoDamageFound) {
            // Nothing wrong in it: a download that stopped early, all of it worth keeping.
            const Expected<qint64> length = FileProbe::MeasureFile(file);
            if (!length)
                return length.failure();
            size = QString::number(*length);
        } else {
            return damage.failure();
        }
    }
    const NamingRules::FolderAndName parts = NamingRules::SplitFolderAndName(file);
    const QString goodPart = NamingRules::GoodPartPath(parts.folder, parts.name);
    // A repair killed while fetching goes on from what is on disk.
    const Expected<QString> sizeBox = ErrorOffset::ApplyErrorOffset(size);
    const std::optional<qint64> kept
        = sizeBox ? ErrorOffset::ReadSplitSize(*sizeBox) : std::optional<qint64>();
    if (!kept || goodPart.isEmpty() || !continuesUnfinishedFetch(file, goodPart, *kept)) {
        const Expected<QString> split = this->split(file, size, steps);
        if (!split)
            return split.failure();
    }
    FetchChoices fetchChoices = choices;
    if (fetchChoices.fixedName.isEmpty())
        fetchChoices.fixedName
            = NamingRules::SplitFolderAndName(NamingRules::RepairedPath(file)).name;
    return fetch(goodPart, address, fetchChoices, steps);
}

Expected<qint64> Repair::findDamage(const QString &file, const CopyHooks &hooks)
{
    if (!NamesOrdinaryFile(file))
        return GoodPartSplit::sourceMissing(file);
    const Expected<ScanFinding> found = MediaScanner::Scan(file, hooks);
    if (!found)
        return found.failure();
    if (!found->damage)
        return RepairFailure::refusal(RepairFailure::Reason::NoDamageFound,
                                      MediaScanner::NoDamageMessage(file), file);
    return *found->damage;
}
