#include "Repair.h"

#include "ErrorOffset.h"
#include "FileProbe.h"
#include "GoodPartRecord.h"
#include "GoodPartSplit.h"
#include "MediaScanner.h"
#include "MergeBack.h"
#include "NamingRules.h"

#include <QDir>

using Reason = RepairFailure::Reason;

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
    split.askBeforeReplacingForGood(
        [&steps](const RepairFailure &question) { return steps.agree && steps.agree(question); });
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

Expected<QString> Repair::merge(const QString &goodPart, const RepairSteps &steps)
{
    if (!NamingRules::HasGoodPartName(NamingRules::SplitFolderAndName(goodPart).name)) {
        return RepairFailure::refusal(RepairFailure::Reason::NotAGoodPart,
                                      tr("%1 is not a good part: its name does not end in QQQ")
                                          .arg(QDir::toNativeSeparators(goodPart)),
                                      goodPart);
    }
    MergeBack merge(goodPart);
    Expected<void> merged = merge.run(m_chunkBuffer, steps.hooks);
    // A Yes runs the merge again from its checks, with that question answered; so each
    // question comes at most once.
    while (!merged) {
        const Reason reason = merged.failure().reason();
        const bool question = reason == Reason::JoinDiffers || reason == Reason::DamagedToo;
        if (!question || !steps.agree || !steps.agree(merged.failure()))
            break;
        if (reason == Reason::JoinDiffers)
            merge.acceptDifferentJoin();
        else
            merge.acceptDamage();
        merged = merge.run(m_chunkBuffer, steps.hooks);
    }
    m_fileLength = merge.goodPartLength();
    if (!merged)
        return merged.failure();
    return merge.fixedPath();
}

QStringList Repair::giveBackCutShortMerges(const QString &folderPart)
{
    return GoodPartRecord::GiveBackIn(folderPart);
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
