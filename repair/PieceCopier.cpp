#include "PieceCopier.h"

RawFile::Result PieceCopier::copy(const RawFile &from, RawFile &to, const PiecePlan &plan)
{
    qint64 position = plan.firstPosition;
    qint64 remaining = plan.byteCount;
    int piecesSinceSync = 0;

    while (remaining >= plan.fullPieceFrom) {
        if (auto failure = movePiece(from, to, position, PieceSize))
            return failure;
        // The data goes to the disk while the copy runs, with yields in between. Left to the
        // caller's sync at the end, the whole file's writeback and the disk's cache flush
        // would hold the window up in one go, for about a second per GiB.
        if (++piecesSinceSync == PiecesPerSync) {
            piecesSinceSync = 0;
            if (auto failure = to.syncData())
                return failure;
        }
        for (int i = 0; i < plan.yieldsPerFullPiece; ++i)
            yieldToWindow();
        if (m_hooks.stopRequested && m_hooks.stopRequested()) {
            m_stopped = true;
            return RepairFailure(
                RepairFailure::DeviceIoError,
                QStringLiteral("The copy to %1 was stopped before its end").arg(to.path()));
        }
        if (m_hooks.progress)
            m_hooks.progress(position + PieceSize - plan.firstPosition, plan.byteCount);
        position += PieceStride;
        remaining -= PieceStride;
    }
    if (remaining > 0) {
        if (auto failure = movePiece(from, to, position, remaining))
            return failure;
    }
    if (m_hooks.progress)
        m_hooks.progress(plan.byteCount, plan.byteCount);
    return {};
}

RawFile::Result PieceCopier::movePiece(const RawFile &from, RawFile &to, qint64 position,
                                       qint64 size)
{
    m_chunkBuffer.resize(size);
    if (!m_kernelRefused) {
        if (auto failure = to.copyRangeFrom(from, position, size, m_kernelRefused))
            return failure;
        if (!m_kernelRefused)
            return {};
    }
    if (auto failure = from.readAt(position, m_chunkBuffer.data(), size))
        return failure;
    return to.writeAt(position, m_chunkBuffer.constData(), size);
}

void PieceCopier::yieldToWindow()
{
    if (m_hooks.yield)
        m_hooks.yield();
}
