#include "Repair.h"

#include "ErrorOffset.h"
#include "FileProbe.h"
#include "GoodPartSplit.h"
#include "MediaScanner.h"
#include "MergeBack.h"
#include "NamingRules.h"

#include <QDir>

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
        return RepairFailure::refusal(
            RepairFailure::Reason::NotAGoodPart,
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
