#include "PieceCopier.h"

#include <algorithm>

namespace {

// The block boundaries at or before and at or after an offset.
qint64 BoundaryAtOrBefore(qint64 offset, qint64 blockSize)
{
    return offset / blockSize * blockSize;
}

qint64 BoundaryAtOrAfter(qint64 offset, qint64 blockSize)
{
    return BoundaryAtOrBefore(offset + blockSize - 1, blockSize);
}

} // namespace

Expected<void> PieceCopier::copy(const RawFile &from, RawFile &to, const PiecePlan &plan)
{
    Expected<void> copied = copyPieces(from, to, plan);
    // The sync in the background uses the file: it ends here, however the copy ended.
    const Expected<void> synced = m_backgroundSync.wait();
    if (!copied)
        return copied;
    if (!synced)
        return synced;
    if (m_hooks.progress)
        m_hooks.progress(plan.byteCount, plan.byteCount);
    return {};
}

Expected<void> PieceCopier::copyPieces(const RawFile &from, RawFile &to, const PiecePlan &plan)
{
    m_blockSize = to.blockSize();
    // Shared blocks are on the disk already; the final sync takes the few bytes copied.
    m_sharesBlocks = to.canShareBlocksWith(from);
    m_syncsInBackground = !m_sharesBlocks;
    m_nextOffset = plan.firstOffset;
    m_syncedUpTo = m_syncingUpTo = plan.firstOffset;
    m_syncLag = LeastSyncLag;
    m_bytesSynced = m_timeSyncing = 0;
    qint64 offset = plan.firstOffset;
    qint64 remaining = plan.byteCount;

    while (remaining >= plan.fullPieceFrom) {
        m_chunkBuffer.resize(PieceSize);
        // The piece's bytes after its last stretch boundary go with the next stretch.
        const qint64 pieceEnd = BoundaryAtOrBefore(offset + PieceSize, StretchAlignment);
        const qint64 end = stretchEnd(pieceEnd, plan.firstOffset + plan.byteCount);
        if (Expected<void> copied = copyUpTo(from, to, end); !copied)
            return copied;
        for (int i = 0; i < plan.yieldsPerFullPiece; ++i)
            yieldToWindow();
        if (m_hooks.stopAsked())
            return RepairFailure::interrupted(to.path());
        if (m_hooks.progress)
            m_hooks.progress(offset + PieceSize - plan.firstOffset, plan.byteCount);
        offset += PieceStride;
        remaining -= PieceStride;
    }
    if (remaining > 0) {
        m_chunkBuffer.resize(remaining);
        return copyUpTo(from, to, plan.firstOffset + plan.byteCount);
    }
    return {};
}

qint64 PieceCopier::BytesToWrite(const RawFile &from, const RawFile &to, const PiecePlan &plan)
{
    if (plan.byteCount <= 0 || !to.canShareBlocksWith(from))
        return plan.byteCount;
    const qint64 blockSize = to.blockSize();
    const qint64 bulkStart = BoundaryAtOrAfter(plan.firstOffset, blockSize);
    const qint64 bulkEnd = BoundaryAtOrBefore(plan.firstOffset + plan.byteCount, blockSize);
    return plan.byteCount - std::max<qint64>(bulkEnd - bulkStart, 0);
}

qint64 PieceCopier::stretchEnd(qint64 pieceEnd, qint64 end) const
{
    if (!m_sharesBlocks || m_kernelRefused || pieceEnd <= m_nextOffset)
        return pieceEnd;
    // Up to the plan's end at most, whose unaligned last bytes the kernel then copies.
    return std::min(BoundaryAtOrAfter(pieceEnd, SharedStretchAlignment), end);
}

Expected<void> PieceCopier::copyUpTo(const RawFile &from, RawFile &to, qint64 end)
{
    if (end <= m_nextOffset)
        return {};
    // A stretch that starts off a boundary goes to the next boundary on its own, so that
    // the rest lines up with the blocks of both files.
    const qint64 boundary = BoundaryAtOrAfter(m_nextOffset, m_blockSize);
    if (boundary > m_nextOffset && boundary < end) {
        if (Expected<void> moved = moveStretch(from, to, boundary - m_nextOffset); !moved)
            return moved;
    }
    if (Expected<void> moved = moveStretch(from, to, end - m_nextOffset); !moved)
        return moved;
    return keepSyncing(to);
}

Expected<void> PieceCopier::moveStretch(const RawFile &from, RawFile &to, qint64 count)
{
    if (!m_kernelRefused) {
        const Expected<bool> moved = to.copyRangeFrom(from, m_nextOffset, count);
        if (!moved)
            return moved.failure();
        if (*moved) {
            m_nextOffset += count;
            return {};
        }
        m_kernelRefused = true;
    }
    // Through memory, never more than one piece at a time; the buffer keeps its piece's size.
    const qint64 pieceSize = m_chunkBuffer.size();
    while (count > 0) {
        const qint64 size = std::min(count, PieceSize);
        m_chunkBuffer.resize(size);
        if (Expected<void> read = from.readAt(m_nextOffset, m_chunkBuffer.data(), size); !read)
            return read;
        if (Expected<void> written = to.writeAt(m_nextOffset, m_chunkBuffer.constData(), size);
            !written)
            return written;
        m_nextOffset += size;
        count -= size;
    }
    m_chunkBuffer.resize(pieceSize);
    return {};
}

Expected<void> PieceCopier::keepSyncing(const RawFile &to)
{
    if (!m_syncsInBackground)
        return {};
    // One sync follows another, each taking what was copied before it started; the copy
    // waits for one only when it is too far ahead of what is on the disk.
    const bool tooFarAhead = m_nextOffset - m_syncedUpTo > m_syncLag;
    const std::optional<Expected<void>> ended
        = tooFarAhead ? std::optional(m_backgroundSync.wait()) : m_backgroundSync.finished();
    if (!ended)
        return {};
    if (!*ended)
        return *ended;
    if (m_syncingUpTo > m_syncedUpTo)
        fitLagToDisk(m_syncingUpTo - m_syncedUpTo, m_syncClock.nsecsElapsed());
    m_syncedUpTo = m_syncingUpTo;
    m_backgroundSync.start(to);
    m_syncClock.start();
    m_syncingUpTo = m_nextOffset;
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
