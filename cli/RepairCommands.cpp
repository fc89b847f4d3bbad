#include "RepairCommands.h"

#include "AviScanner.h"
#include "ErrorOffset.h"
#include "FileProbe.h"
#include "GoodPartSplit.h"
#include "MergeBack.h"
#include "NamingRules.h"
#include "TerminationSignals.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

CopyHooks RepairCommands::hooks()
{
    return {{},
            [this](qint64 done, qint64 total) { m_console.progress(done, total); },
            &TerminationSignals::received};
}

int RepairCommands::interrupted()
{
    m_console.message(tr("Interrupted; nothing was left half-done."));
    return ExitStatus::Interrupted;
}

bool RepairCommands::namesCanBeHandled(const QStringList &paths)
{
    for (const QString &path : paths) {
        // Acting on the look-alike the text names would be acting on another file.
        if (!FileProbe::NameCanBeHandled(path)) {
            m_console.message(FileProbe::CannotHandleMessage(path));
            return false;
        }
    }
    return true;
}

int RepairCommands::refuse(const QString &reason)
{
    m_console.message(reason);
    return ExitStatus::Refused;
}

int RepairCommands::fail(const RepairFailure &failure)
{
    m_console.message(failure.message());
    return failure.code();
}

int RepairCommands::scan(const QString &file)
{
    if (!namesCanBeHandled({file}))
        return ExitStatus::Refused;
    const QString path = FileProbe::AbsolutePath(file);
    if (file.trimmed().isEmpty() || !FileProbe::IsOrdinaryFile(path))
        return refuse(GoodPartSplit::refusalMessage(GoodPartSplit::SourceMissing));
    AviScanner scanner(path);
    const AviScanner::Result result = scanner.scan(hooks());
    switch (result.kind) {
    case AviScanner::Result::DamageFound:
        m_console.result(AviScanner::damageLine(result.offset));
        return ExitStatus::Success;
    case AviScanner::Result::NoDamageFound:
        return refuse(AviScanner::noDamageMessage(path));
    case AviScanner::Result::NotAnAvi:
        return refuse(AviScanner::notAnAviMessage(path));
    case AviScanner::Result::Failed:
        break;
    }
    return fail(*result.failure);
}

int RepairCommands::split(const QString &file, const QString &sizeText, bool overwrite)
{
    if (!namesCanBeHandled({file}))
        return ExitStatus::Refused;
    // The size is read as the window's size box reads it, rewriting an error line first.
    const ErrorOffset::Entry entry = ErrorOffset::ApplyErrorOffset(sizeText);
    if (entry.status == ErrorOffset::Entry::Unreadable)
        return refuse(ErrorOffset::IncorrectSizeMessage());
    const QString source = FileProbe::AbsolutePath(file);
    if (file.trimmed().isEmpty() || !FileProbe::IsOrdinaryFile(source))
        return refuse(GoodPartSplit::refusalMessage(GoodPartSplit::SourceMissing));
    const std::optional<qint64> size = ErrorOffset::ReadSplitSize(
        entry.status == ErrorOffset::Entry::Rewritten ? entry.text : sizeText);
    if (!size)
        return refuse(ErrorOffset::IncorrectSizeMessage());

    // Ctrl-C, SIGTERM and SIGHUP stop a copy at its next piece, which then cleans up; a scan
    // or a listing writes nothing and simply ends.
    TerminationSignals termination;
    GoodPartSplit split(source, *size);
    GoodPartSplit::Outcome outcome = split.check();
    if (outcome == GoodPartSplit::NeedsConsent) {
        if (!overwrite) {
            m_console.message(split.message(outcome) + u' ' + tr("Give --yes to replace it."));
            return split.failure()->code();
        }
        split.agreeToOverwrite();
        outcome = GoodPartSplit::Ready;
    }
    if (outcome == GoodPartSplit::Ready)
        outcome = split.run(m_chunkBuffer, hooks());

    switch (outcome) {
    case GoodPartSplit::Written:
        m_console.result(shown(split.goodPartPath()) + u'\t' + QString::number(*size));
        return ExitStatus::Success;
    case GoodPartSplit::Interrupted:
        return interrupted();
    default:
        break;
    }
    if (split.failure())
        return fail(*split.failure());
    return refuse(split.message(outcome));
}

int RepairCommands::merge(const QStringList &goodParts, bool force)
{
    if (!namesCanBeHandled(goodParts))
        return ExitStatus::Refused;
    TerminationSignals termination;
    for (const QString &goodPart : goodParts) {
        const int status = mergeOne(FileProbe::AbsolutePath(goodPart), force);
        if (status != ExitStatus::Success)
            return status;
    }
    return ExitStatus::Success;
}

int RepairCommands::mergeOne(const QString &goodPart, bool force)
{
    if (!NamingRules::HasGoodPartName(NamingRules::SplitFolderAndName(goodPart).name)) {
        return refuse(
            tr("%1 is not a good part: its name does not end in QQQ").arg(shown(goodPart)));
    }
    MergeBack merge(goodPart);
    if (force)
        merge.acceptDifferentJoin();
    switch (merge.run(m_chunkBuffer, hooks())) {
    case MergeBack::Merged:
        m_console.result(shown(merge.fixedPath()));
        return ExitStatus::Success;
    case MergeBack::CompanionTooShort:
        return refuse(shown(goodPart) + QStringLiteral(": ") + MergeBack::tooShortMessage());
    case MergeBack::JoinDiffers:
        return refuse(merge.joinDiffersMessage() + u' ' + tr("Give --force to merge it anyway."));
    case MergeBack::Interrupted:
        return interrupted();
    case MergeBack::Failed:
        break;
    }
    return fail(*merge.failure());
}

int RepairCommands::list(const QString &folder)
{
    const QString where = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (!namesCanBeHandled({where}))
        return ExitStatus::Refused;
    const QFileInfo info(where);
    if (!info.isDir())
        return fail(RepairFailure::fromErrno(ENOTDIR, where));
    if (!info.isReadable())
        return fail(RepairFailure::fromErrno(EACCES, where));
    // The listing leaves out names that are not valid text; say so for good parts.
    for (const QString &name : FileProbe::NamesThatDoNotDecode(folder)) {
        if (NamingRules::HasGoodPartName(name))
            m_console.message(FileProbe::CannotHandleMessage(QDir(where).filePath(name)));
    }
    const QStringList pending = NamingRules::PendingMergesIn(where);
    for (const QString &name : pending)
        m_console.result(folder.isEmpty() ? name : shown(QDir(folder).filePath(name)));
    return ExitStatus::Success;
}
