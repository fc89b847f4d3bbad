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
    m_blockSize = to.blockSize();
    m_nextPosition = m_writebackFrom = m_waitedUpTo = m_syncedUpTo = plan.firstPosition;
    qint64 position = plan.firstPosition;
    qint64 remaining = plan.byteCount;

    while (remaining >= plan.fullPieceFrom) {
        m_chunkBuffer.resize(PieceSize);
        // The piece's bytes after its last block boundary go with the next stretch.
        const qint64 pieceEnd = BoundaryAtOrBefore(position + PieceSize, m_blockSize);
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
    if (auto failure = m_backgroundSync.wait())
        return failure;
    if (m_hooks.progress)
        m_hooks.progress(plan.byteCount, plan.byteCount);
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
    return keepWritingBack(to);
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

RawFile::Result PieceCopier::keepWritingBack(RawFile &to)
{
    if (auto failure = to.startWriteback(m_writebackFrom, m_nextPosition - m_writebackFrom))
        return failure;
    m_writebackFrom = m_nextPosition;
    const qint64 waitUpTo = m_nextPosition - WritebackLag;
    if (waitUpTo > m_waitedUpTo) {
        if (auto failure = to.waitForWriteback(m_waitedUpTo, waitUpTo - m_waitedUpTo))
            return failure;
        m_waitedUpTo = waitUpTo;
    }
    RawFile::Result failure;
    if (m_backgroundSync.finished(failure) && !failure
        && m_waitedUpTo - m_syncedUpTo >= SyncEvery) {
        m_backgroundSync.start(to);
        m_syncedUpTo = m_waitedUpTo;
    }
    return failure;
}

void PieceCopier::yieldToWindow()
{
    if (m_hooks.yield)
        m_hooks.yield();
}
