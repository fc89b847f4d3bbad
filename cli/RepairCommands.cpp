#include "RepairCommands.h"

#include "ErrorOffset.h"
#include "FileProbe.h"
#include "MergeBack.h"
#include "NamingRules.h"

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
    return {{}, [this](qint64 done, qint64 total) { m_console.progress(done, total); }};
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
    Q_UNUSED(file);
    return refuse(tr("scan is not available in this build"));
}

int RepairCommands::split(const QString &file, const QString &sizeText, bool overwrite)
{
    Q_UNUSED(file);
    Q_UNUSED(sizeText);
    Q_UNUSED(overwrite);
    return refuse(tr("split is not available in this build"));
}

int RepairCommands::merge(const QStringList &goodParts, bool force)
{
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
    case MergeBack::Failed:
        break;
    }
    return fail(*merge.failure());
}

int RepairCommands::list(const QString &folder)
{
    const QString where = folder.isEmpty() ? QStringLiteral(".") : folder;
    const QFileInfo info(where);
    if (!info.isDir())
        return fail(RepairFailure::fromErrno(ENOTDIR, where));
    if (!info.isReadable())
        return fail(RepairFailure::fromErrno(EACCES, where));
    const QStringList pending = NamingRules::PendingMergesIn(where);
    for (const QString &name : pending)
        m_console.result(folder.isEmpty() ? name : shown(QDir(folder).filePath(name)));
    return ExitStatus::Success;
}
