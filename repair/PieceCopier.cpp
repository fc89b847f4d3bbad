#include "PieceCopier.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// The block boundaries at or before and at or after a 1-based position.
qint64 BoundaryAtOrBefore(qint64 position, qint64 blockSize)
{
    return (position - 1) / blockSize * blockSize + 1;
}

qint64 BoundaryAtOrAfter(qint64 position, qint64 blockSize)
{
    return BoundaryAtOrBefore(position + blockSize - 1, blockSize);
}

} // namespace

RawFile::Result PieceCopier::copy(const RawFile &from, RawFile &to, const PiecePlan &plan)
{
    RawFile::Result failure = copyPieces(from, to, plan);
    // The sync in the background uses the file: it ends here, however the copy ended.
    RawFile::Result synced = m_backgroundSync.wait();
    if (!failure)
        failure = synced;
    if (!failure && m_hooks.progress)
        m_hooks.progress(plan.byteCount, plan.byteCount);
    return failure;
}

RawFile::Result PieceCopier::copyPieces(const RawFile &from, RawFile &to, const PiecePlan &plan)
{
    m_blockSize = to.blockSize();
    // Shared blocks are on the disk already; the final sync takes the few bytes copied.
    m_syncsInBackground = !to.canShareBlocksWith(from);
    m_nextPosition = plan.firstPosition;
    m_syncedUpTo = m_syncingUpTo = plan.firstPosition;
    m_syncLag = LeastSyncLag;
    m_bytesSynced = m_timeSyncing = 0;
    qint64 position = plan.firstPosition;
    qint64 remaining = plan.byteCount;

    while (remaining >= plan.fullPieceFrom) {
        m_chunkBuffer.resize(PieceSize);
        // The piece's bytes after its last stretch boundary go with the next stretch.
        const qint64 pieceEnd = BoundaryAtOrBefore(position + PieceSize, StretchAlignment);
        if (auto failure = copyUpTo(from, to, pieceEnd))
            return failure;
        for (int i = 0; i < plan.yieldsPerFullPiece; ++i)
            yieldToWindow();
        if (m_hooks.stopRequested && m_hooks.stopRequested()) {
            m_stopped = true;
            return RepairFailure(RepairFailure::DeviceIoError,
                                 QCoreApplication::translate(
                                     "PieceCopier", "The copy to %1 was stopped before its end")
                                     .arg(to.path()));
        }
        if (m_hooks.progress)
            m_hooks.progress(position + PieceSize - plan.firstPosition, plan.byteCount);
        position += PieceStride;
        remaining -= PieceStride;
    }
    if (remaining > 0) {
        m_chunkBuffer.resize(remaining);
        if (auto failure = copyUpTo(from, to, plan.firstPosition + plan.byteCount))
            return failure;
    }
    return {};
}

qint64 PieceCopier::BytesToWrite(const RawFile &from, const RawFile &to, const PiecePlan &plan)
{
    if (plan.byteCount <= 0 || !to.canShareBlocksWith(from))
        return plan.byteCount;
    const qint64 blockSize = to.blockSize();
    const qint64 bulkStart = BoundaryAtOrAfter(plan.firstPosition, blockSize);
    const qint64 bulkEnd = BoundaryAtOrBefore(plan.firstPosition + plan.byteCount, blockSize);
    return plan.byteCount - std::max<qint64>(bulkEnd - bulkStart, 0);
}

RawFile::Result PieceCopier::copyUpTo(const RawFile &from, RawFile &to, qint64 end)
{
    if (end <= m_nextPosition)
        return {};
    // A stretch that starts off a boundary goes to the next boundary on its own, so that
    // the rest lines up with the blocks of both files.
    const qint64 boundary = BoundaryAtOrAfter(m_nextPosition, m_blockSize);
    if (boundary > m_nextPosition && boundary < end) {
        if (auto failure = moveStretch(from, to, boundary - m_nextPosition))
            return failure;
    }
    if (auto failure = moveStretch(from, to, end - m_nextPosition))
        return failure;
    return keepSyncing(to);
}

RawFile::Result PieceCopier::moveStretch(const RawFile &from, RawFile &to, qint64 count)
{
    if (!m_kernelRefused) {
        if (auto failure = to.copyRangeFrom(from, m_nextPosition, count, m_kernelRefused))
            return failure;
        if (!m_kernelRefused) {
            m_nextPosition += count;
            return {};
        }
    }
    // Through memory, never more than one piece at a time; the buffer keeps its piece's size.
    const qint64 pieceSize = m_chunkBuffer.size();
    while (count > 0) {
        const qint64 size = std::min(count, PieceSize);
        m_chunkBuffer.resize(size);
        if (auto failure = from.readAt(m_nextPosition, m_chunkBuffer.data(), size))
            return failure;
        if (auto failure = to.writeAt(m_nextPosition, m_chunkBuffer.constData(), size))
            return failure;
        m_nextPosition += size;
        count -= size;
    }
    m_chunkBuffer.resize(pieceSize);
    return {};
}

RawFile::Result PieceCopier::keepSyncing(const RawFile &to)
{
    if (!m_syncsInBackground)
        return {};
    // One sync follows another, each taking what was copied before it started; the copy
    // waits for one only when it is too far ahead of what is on the disk.
    RawFile::Result failure;
    const bool tooFarAhead = m_nextPosition - m_syncedUpTo > m_syncLag;
    const bool ended = tooFarAhead ? (failure = m_backgroundSync.wait(), true)
                                   : m_backgroundSync.finished(failure);
    if (failure || !ended)
        return failure;
    if (m_syncingUpTo > m_syncedUpTo)
        fitLagToDisk(m_syncingUpTo - m_syncedUpTo, m_syncClock.nsecsElapsed());
    m_syncedUpTo = m_syncingUpTo;
    m_backgroundSync.start(to);
    m_syncClock.start();
    m_syncingUpTo = m_nextPosition;
    return {};
}

// The disk's speed is taken over all syncs so far, and the lag at most doubles at a time:
// one sync alone can be far faster than the disk, when a burst of writes was let through.
void PieceCopier::fitLagToDisk(qint64 syncedBytes, qint64 nanoseconds)
{
    m_bytesSynced += syncedBytes;
    m_timeSyncing += nanoseconds;
    const double bytesPerSecond
        = double(m_bytesSynced) / double(std::max<qint64>(m_timeSyncing, 1)) * 1e9;
    m_syncLag = std::clamp(qint64(bytesPerSecond * LongestWait), LeastSyncLag,
                           std::min(2 * m_syncLag, MostSyncLag));
}

void PieceCopier::yieldToWindow()
{
    if (m_hooks.yield)
        m_hooks.yield();
}
