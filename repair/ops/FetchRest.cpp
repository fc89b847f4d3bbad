#include "FetchRest.h"

#include "NamingRules.h"
#include "RemoteFetch.h"

namespace {

// The disk gets the fetched bytes in runs of this size while the next ones arrive, so that
// the sync before the rename is short.
const qint64 SyncEvery = 32 * 1024 * 1024;

} // namespace

FetchRest::FetchRest(const QString &goodPartPath, const QString &address, const QString &fixedPath)
    : m_goodPartPath(goodPartPath), m_address(address), m_fixedPath(fixedPath),
      m_goodPartName(NamingRules::SplitFolderAndName(goodPartPath).name),
      m_fixedName(NamingRules::SplitFolderAndName(fixedPath).name)
{
}

std::optional<qint64> FetchRest::UnfinishedFrom(const QString &goodPartPath)
{
    const NamingRules::FolderAndName parts = NamingRules::SplitFolderAndName(goodPartPath);
    Folder folder;
    if (!folder.open(parts.folder))
        return std::nullopt;
    const std::optional<FileIdentity> goodPart = folder.entry(parts.name);
    const std::optional<FetchRecord> record = FetchRecord::Read(folder, parts.name);
    if (!goodPart || !record || !record->describes(*goodPart))
        return std::nullopt;
    return record->goodPartLength;
}

Expected<void> FetchRest::run(const CopyHooks &hooks)
{
    if (Expected<void> opened
        = m_folder.open(NamingRules::SplitFolderAndName(m_goodPartPath).folder);
        !opened)
        return opened;
    HeldGoodPart goodPart;
    if (Expected<void> opened = goodPart.open(m_folder, m_goodPartName, m_goodPartPath); !opened)
        return opened;
    // The space is known only once the server said how long the file is.
    if (Expected<void> checked
        = HeldGoodPart::CheckFixedName(m_folder, m_fixedName, m_fixedPath, 0);
        !checked)
        return checked;
    Expected<void> fetched = fetch(goodPart, hooks);
    if (fetched)
        return putInPlace(goodPart);
    if (fetched.failure().reason() != RepairFailure::Reason::ConnectionLost)
        giveBack(goodPart.file());
    return fetched;
}

Expected<void> FetchRest::fetch(HeldGoodPart &goodPart, const CopyHooks &hooks)
{
    RawFile &file = goodPart.file();
    const Expected<FileIdentity> identity = file.identity();
    if (!identity)
        return identity.failure();
    m_record = FetchRecord::Read(m_folder, m_goodPartName);
    if (m_record && !m_record->describes(*identity))
        m_record.reset();
    FetchPlan plan;
    plan.address = m_address;
    plan.shownAs = m_goodPartPath;
    plan.heldLength = identity->size;
    plan.goodPartLength = m_record ? m_record->goodPartLength : identity->size;
    // Another address may serve the same file; only its length must agree.
    if (m_record && m_record->address == m_address)
        plan.known = m_record->version;
    else if (m_record)
        plan.known.total = m_record->version.total;
    plan.wholeAllowed = m_wholeAllowed;
    plan.differentJoinAccepted = m_differentJoinAccepted;
    plan.retries = m_retries;
    m_goodPartLength = plan.goodPartLength;
    m_lengthKnown = true;

    FetchSink sink;
    sink.versionKnown = [&](const RemoteVersion &version) { return noteVersion(file, version); };
    sink.write = [&](qint64 offset, const char *data, qint64 count) {
        return append(file, offset, data, count);
    };
    sink.readHeld
        = [&](qint64 offset, char *data, qint64 count) { return file.readAt(offset, data, count); };
    sink.redirected = m_redirectNotice;
    RemoteFetch fetcher(plan, sink, hooks);
    const Expected<void> fetched = fetcher.run();
    m_bytesReceived = fetcher.bytesReceived();
    // What reached the disk in the background is reported now, whatever the outcome.
    const Expected<void> synced = m_backgroundSync.wait();
    if (!fetched)
        return fetched;
    return synced;
}

Expected<void> FetchRest::noteVersion(const RawFile &goodPart, const RemoteVersion &version)
{
    if (m_record && m_record->address == m_address && m_record->version.total == version.total
        && m_record->version.sameValidators(version))
        return {};
    const Expected<qint64> held = goodPart.length();
    if (!held)
        return held.failure();
    if (Expected<void> checked
        = HeldGoodPart::CheckFixedName(m_folder, m_fixedName, m_fixedPath, version.total - *held);
        !checked)
        return checked;
    const Expected<FileIdentity> identity = goodPart.identity();
    if (!identity)
        return identity.failure();
    FetchRecord record;
    record.device = identity->device;
    record.inode = identity->inode;
    record.goodPartLength = m_goodPartLength;
    record.address = m_address;
    record.version = version;
    // On disk before the first byte is appended: without it, no one could tell the user's
    // bytes from the fetched ones.
    if (Expected<void> written = record.write(m_folder, m_goodPartName); !written)
        return written;
    m_record = record;
    return {};
}

Expected<void> FetchRest::append(RawFile &goodPart, qint64 offset, const char *data, qint64 count)
{
    if (Expected<void> written = goodPart.writeAt(offset, data, count); !written)
        return written;
    m_unsynced += count;
    if (m_unsynced >= SyncEvery) {
        if (const std::optional<Expected<void>> ended = m_backgroundSync.finished()) {
            if (!*ended)
                return *ended;
            m_backgroundSync.start(goodPart);
            m_unsynced = 0;
        }
    }
    return {};
}

Expected<void> FetchRest::putInPlace(HeldGoodPart &goodPart)
{
    Expected<void> placed = goodPart.file().sync();
    if (placed)
        placed = goodPart.stillNamed();
    if (placed)
        placed = m_folder.renameWithoutReplacing(m_goodPartName, m_fixedName);
    if (!placed) {
        // Everything fetched is on disk: kept for the next run, which only renames.
        return placed;
    }
    if (Expected<void> synced = m_folder.sync(); !synced)
        return synced;
    // The fixed file is complete on disk; the record of its fetch has served.
    if (FetchRecord::Remove(m_folder, m_goodPartName))
        (void)m_folder.sync();
    return {};
}

void FetchRest::giveBack(RawFile &goodPart)
{
    // The good part as the user had it; the record goes only once that is on disk.
    if (!m_lengthKnown)
        return;
    if (goodPart.truncate(m_goodPartLength) && goodPart.sync()) {
        if (FetchRecord::Remove(m_folder, m_goodPartName))
            (void)m_folder.sync();
    }
}
