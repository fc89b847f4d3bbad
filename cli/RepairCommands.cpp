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

int RepairCommands::fail(const RepairFailure &failure, const QString &hint)
{
    using Reason = RepairFailure::Reason;
    switch (failure.reason()) {
    case Reason::Interrupted:
        m_console.message(tr("Interrupted; nothing was left half-done."));
        return ExitStatus::Interrupted;
    case Reason::CompanionTooShort:
        m_console.message(shown(failure.file()) + QStringLiteral(": ") + failure.description());
        break;
    default:
        m_console.message(hint.isEmpty() ? failure.message() : failure.message() + u' ' + hint);
        break;
    }
    return failure.code() == RepairFailure::NoCode ? ExitStatus::Refused : failure.code();
}

int RepairCommands::scan(const QString &file)
{
    if (!namesCanBeHandled({file}))
        return ExitStatus::Refused;
    const Expected<qint64> damage = m_repair.findDamage(FileProbe::AbsolutePath(file), hooks());
    if (!damage)
        return fail(damage.failure());
    if (const Expected<void> written = m_console.result(MediaScanner::DamageLine(*damage));
        !written)
        return fail(written.failure());
    return ExitStatus::Success;
}

int RepairCommands::split(const QString &file, const QString &sizeText, bool overwrite)
{
    if (!namesCanBeHandled({file}))
        return ExitStatus::Refused;
    // Ctrl-C, SIGTERM and SIGHUP stop a copy at its next piece, which then cleans up; a scan
    // or a listing writes nothing and simply ends.
    TerminationSignals termination;
    RepairSteps steps;
    steps.hooks = hooks();
    steps.agree = [overwrite](const RepairFailure &) { return overwrite; };
    const Expected<QString> goodPart
        = m_repair.split(FileProbe::AbsolutePath(file), sizeText, steps);
    if (!goodPart) {
        const bool needsConsent
            = goodPart.failure().reason() == RepairFailure::Reason::NeedsConsent;
        return fail(goodPart.failure(), needsConsent ? tr("Give --yes to replace it.") : QString());
    }
    const Expected<void> written
        = m_console.result(shown(*goodPart) + u'\t' + QString::number(m_repair.splitSize()));
    if (!written)
        return fail(written.failure());
    return ExitStatus::Success;
}

int RepairCommands::merge(const QStringList &goodParts, bool force)
{
    if (!namesCanBeHandled(goodParts))
        return ExitStatus::Refused;
    TerminationSignals termination;
    RepairSteps steps;
    steps.hooks = hooks();
    steps.agree = [force](const RepairFailure &) { return force; };
    for (const QString &goodPart : goodParts) {
        const Expected<QString> fixed = m_repair.merge(FileProbe::AbsolutePath(goodPart), steps);
        if (!fixed) {
            const bool joinDiffers = fixed.failure().reason() == RepairFailure::Reason::JoinDiffers;
            return fail(fixed.failure(),
                        joinDiffers ? tr("Give --force to merge it anyway.") : QString());
        }
        if (const Expected<void> written = m_console.result(shown(*fixed)); !written)
            return fail(written.failure());
    }
    return ExitStatus::Success;
}

int RepairCommands::list(const QString &folder)
{
    const QString where = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (!namesCanBeHandled({where}))
        return ExitStatus::Refused;
    const QFileInfo info(where);
    if (!info.isDir())
        return fail(SystemErrors::Failure(ENOTDIR, where));
    if (!info.isReadable())
        return fail(SystemErrors::Failure(EACCES, where));
    // The listing leaves out names that are not valid text; say so for good parts.
    for (const QString &name : FileProbe::NamesThatDoNotDecode(folder)) {
        if (NamingRules::HasGoodPartName(name))
            m_console.message(FileProbe::CannotHandleMessage(QDir(where).filePath(name)));
    }
    const QStringList pending = PendingMerges::In(where);
    for (const QString &name : pending) {
        const Expected<void> written
            = m_console.result(folder.isEmpty() ? name : shown(QDir(folder).filePath(name)));
        if (!written)
            return fail(written.failure());
    }
    return ExitStatus::Success;
}
