#include "RepairCommands.h"

#include "FileProbe.h"
#include "MediaScanner.h"
#include "NamingRules.h"
#include "PendingMerges.h"
#include "SystemErrors.h"
#include "TerminationSignals.h"

#include <QDir>
#include <QFileInfo>

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

void RepairCommands::giveBackIn(const QString &folder)
{
    // Folders are named with their separator, so that the files in them are shown whole.
    const QString folderPart = folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString &notice : Repair::giveBackCutShortMerges(folderPart))
        m_console.message(notice);
}

void RepairCommands::giveBackBeside(const QString &file)
{
    giveBackIn(NamingRules::SplitFolderAndName(file).folder);
}

RepairFailure RepairCommands::sourceNotTaken(const RepairFailure &failure)
{
    const QString file = failure.file();
    // A dangling link names no file either.
    if (!QFileInfo::exists(file))
        return SystemErrors::FileNotFound(file);
    return RepairFailure::refusal(failure.reason(),
                                  tr("Not a plain, visible file: %1").arg(shown(file)), file);
}

int RepairCommands::fail(const RepairFailure &failure, const QString &hint)
{
    using Reason = RepairFailure::Reason;
    switch (failure.reason()) {
    case Reason::Interrupted: {
        m_console.message(tr("Interrupted; nothing was left half-done."));
        const int signal = TerminationSignals::receivedSignal();
        return signal > 0 ? ExitStatus::AfterSignal + signal : ExitStatus::Interrupted;
    }
    case Reason::SourceMissing: {
        const RepairFailure said = sourceNotTaken(failure);
        m_console.message(said.message());
        return said.code() == RepairFailure::NoCode ? ExitStatus::Refused : said.code();
    }
    case Reason::CompanionTooShort:
        m_console.message(shown(failure.file()) + QStringLiteral(": ") + failure.description());
        break;
    default:
        m_console.message(hint.isEmpty() ? failure.message() : failure.message() + u' ' + hint);
        break;
    }
    return failure.code() == RepairFailure::NoCode ? ExitStatus::Refused : failure.code();
}

int RepairCommands::showResult(const QString &line)
{
    const Expected<void> written = m_console.result(line);
    return written ? ExitStatus::Success : fail(written.failure());
}

int RepairCommands::scan(const QString &file)
{
    if (!namesCanBeHandled({file}))
        return ExitStatus::Refused;
    const Expected<QString> path = FileProbe::MakeAbsolute(file);
    if (!path)
        return fail(path.failure());
    giveBackBeside(*path);
    const Expected<qint64> damage = m_repair.findDamage(*path, hooks());
    if (!damage)
        return fail(damage.failure());
    return showResult(MediaScanner::DamageLine(*damage));
}

int RepairCommands::split(const QString &file, const QString &sizeText, bool overwrite)
{
    if (!namesCanBeHandled({file}))
        return ExitStatus::Refused;
    // Ctrl-C, SIGTERM and SIGHUP stop a copy at its next piece, which then cleans up, and
    // the exit status tells which came; a scan or a listing writes nothing and simply ends.
    const Expected<QString> path = FileProbe::MakeAbsolute(file);
    if (!path)
        return fail(path.failure());
    giveBackBeside(*path);
    TerminationSignals termination;
    RepairSteps steps;
    steps.hooks = hooks();
    steps.agree = [overwrite](const RepairFailure &) { return overwrite; };
    const Expected<QString> goodPart = m_repair.split(*path, sizeText, steps);
    if (!goodPart) {
        const RepairFailure::Reason reason = goodPart.failure().reason();
        const bool needsConsent = reason == RepairFailure::Reason::NeedsConsent
                                  || reason == RepairFailure::Reason::ReplacesForGood;
        return fail(goodPart.failure(), needsConsent ? tr("Give --yes to replace it.") : QString());
    }
    return showResult(shown(*goodPart) + u'\t' + QString::number(m_repair.splitSize()));
}

int RepairCommands::merge(const QStringList &goodParts, bool force)
{
    if (!namesCanBeHandled(goodParts))
        return ExitStatus::Refused;
    QStringList paths;
    for (const QString &goodPart : goodParts) {
        const Expected<QString> path = FileProbe::MakeAbsolute(goodPart);
        if (!path)
            return fail(path.failure());
        paths << *path;
    }
    QStringList folders;
    for (const QString &path : paths) {
        const QString folder = NamingRules::SplitFolderAndName(path).folder;
        if (!folders.contains(folder)) {
            folders << folder;
            giveBackIn(folder);
        }
    }
    TerminationSignals termination;
    for (const QString &goodPart : paths) {
        if (const int status = mergeOne(goodPart, {}, force); status != ExitStatus::Success)
            return status;
    }
    return ExitStatus::Success;
}

int RepairCommands::mergeWith(const QString &goodPart, const QString &newFile, bool force)
{
    if (!namesCanBeHandled({goodPart, newFile}))
        return ExitStatus::Refused;
    const Expected<QString> path = FileProbe::MakeAbsolute(goodPart);
    if (!path)
        return fail(path.failure());
    const Expected<QString> newPath = FileProbe::MakeAbsolute(newFile);
    if (!newPath)
        return fail(newPath.failure());
    giveBackBeside(*path);
    TerminationSignals termination;
    return mergeOne(*path, *newPath, force);
}

int RepairCommands::mergeOne(const QString &goodPart, const QString &newFile, bool force)
{
    RepairSteps steps;
    steps.hooks = hooks();
    steps.agree = [force](const RepairFailure &) { return force; };
    const Expected<QString> fixed = m_repair.merge(goodPart, steps, newFile);
    if (!fixed) {
        const RepairFailure::Reason reason = fixed.failure().reason();
        const bool forceable = reason == RepairFailure::Reason::JoinDiffers
                               || reason == RepairFailure::Reason::DamagedToo;
        return fail(fixed.failure(),
                    forceable ? tr("Give --force to merge it anyway.") : QString());
    }
    return showResult(shown(*fixed));
}

RepairSteps RepairCommands::fetchSteps(bool force)
{
    RepairSteps steps;
    steps.hooks = hooks();
    // --force answers the join's question only; what stands at a good part's path stays.
    steps.agree = [force](const RepairFailure &question) {
        return force && question.reason() == RepairFailure::Reason::JoinDiffers;
    };
    steps.tell
        = [this](const QString &address) { m_console.note(tr("redirected to %1").arg(address)); };
    return steps;
}

QString RepairCommands::fetchHint(const RepairFailure &failure) const
{
    switch (failure.reason()) {
    case RepairFailure::Reason::JoinDiffers:
        return tr("Give --force to keep it anyway.");
    case RepairFailure::Reason::RangesIgnored:
        return tr("Give --whole to let it stream through; only the missing bytes are kept.");
    case RepairFailure::Reason::NotReadable:
        return tr("Give --at SIZE to say how much of it to keep.");
    default:
        return {};
    }
}

int RepairCommands::fetch(const QString &goodPart, const QString &address,
                          const FetchChoices &choices, bool force)
{
    if (!namesCanBeHandled({goodPart}))
        return ExitStatus::Refused;
    const Expected<QString> path = FileProbe::MakeAbsolute(goodPart);
    if (!path)
        return fail(path.failure());
    giveBackBeside(*path);
    TerminationSignals termination;
    const Expected<QString> fixed = m_repair.fetch(*path, address, choices, fetchSteps(force));
    if (!fixed)
        return fail(fixed.failure(), fetchHint(fixed.failure()));
    return showResult(shown(*fixed));
}

int RepairCommands::repair(const QString &file, const QString &address, const QString &sizeText,
                           const FetchChoices &choices, bool force)
{
    if (!namesCanBeHandled({file}))
        return ExitStatus::Refused;
    const Expected<QString> absolute = FileProbe::MakeAbsolute(file);
    if (!absolute)
        return fail(absolute.failure());
    const QString source = *absolute;
    giveBackBeside(source);
    const NamingRules::FolderAndName parts = NamingRules::SplitFolderAndName(source);
    const QString goodPart = NamingRules::GoodPartPath(parts.folder, parts.name);
    const bool goodPartWasThere = FileProbe::Exists(goodPart);
    TerminationSignals termination;
    const Expected<QString> fixed
        = m_repair.repair(source, address, sizeText, choices, fetchSteps(force));
    if (!fixed) {
        QString hint = fetchHint(fixed.failure());
        // The good part it split off is worth keeping: fetch goes on from it.
        if (!goodPartWasThere && !goodPart.isEmpty() && FileProbe::Exists(goodPart))
            hint += (hint.isEmpty() ? QString() : QStringLiteral(" "))
                    + tr("The good part %1 is kept for saltwick-cli fetch.").arg(shown(goodPart));
        return fail(fixed.failure(), hint);
    }
    return showResult(shown(*fixed));
}

int RepairCommands::list(const QString &folder)
{
    const QString where = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (!namesCanBeHandled({where}))
        return ExitStatus::Refused;
    const QFileInfo info(where);
    if (!info.isDir())
        return fail(SystemErrors::NotAFolder(where));
    if (!info.isReadable())
        return fail(SystemErrors::NotReadable(where));
    giveBackIn(folder);
    // The listing leaves out names that are not valid text; say so for good parts.
    for (const QString &name : FileProbe::NamesThatDoNotDecode(folder)) {
        if (NamingRules::HasGoodPartName(name))
            m_console.message(FileProbe::CannotHandleMessage(QDir(where).filePath(name)));
    }
    const QStringList pending = PendingMerges::In(where);
    for (const QString &name : pending) {
        const int status = showResult(folder.isEmpty() ? name : shown(QDir(folder).filePath(name)));
        if (status != ExitStatus::Success)
            return status;
    }
    return ExitStatus::Success;
}
