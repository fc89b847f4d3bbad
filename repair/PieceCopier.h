#pragma once

#include "BackgroundSync.h"
#include "RawFile.h"

#include <QByteArray>

#include <functional>

// What a long copy calls back into: the window's event processing and its progress bar.
struct CopyHooks
{
    std::function<void()> yield;
    std::function<void(qint64 done, qint64 total)> progress;
    // Asked after each yield: true ends the copy there (the program is asked to end).
    std::function<bool()> stopRequested = nullptr;
};

// Where a copy runs and when it hands control back to the window.
struct PiecePlan
{
    qint64 firstPosition = 1; // 1-based, the same in both files
    qint64 byteCount = 0;
    qint64 fullPieceFrom = 0; // a full piece is taken while at least this many bytes remain
    // Split hands control back after reading and after writing each full piece, Merge Back
    // after reading only; when the kernel moves a piece in one call, all come after it.
    int yieldsPerFullPiece = 0;
};

// Copies a run of bytes to the same positions of another file. The window sees pieces of
// 3,000,000 bytes that start 2,999,999 bytes apart: its hand-overs come after each full
// piece, and the caller's buffer is sized to each piece. Underneath, the bytes move in
// stretches that end on the file system's block boundaries, which the kernel copies
// fastest, and which it shares between the files instead of copying where the file system
// can; only the unaligned ends are then copied. Memory stays at one piece, filled only
// where the kernel cannot copy between the two files.
class PieceCopier
{
public:
    static const qint64 PieceSize = 3000000;
    static const qint64 PieceStride = 2999999;
    // How far the disk may fall behind the copy. The writeback of each stretch starts as
    // soon as it is copied, and the copy waits only for what was sent this long ago, so
    // copying and writing overlap while the dirty data, and the final sync, stay small.
    static const qint64 WritebackLag = 8 * PieceSize;
    // How much written data a sync in the background takes to the disk at a time, so
    // that the disk's cache empties as the copy runs and the sync at the end is short.
    static const qint64 SyncEvery = 16 * PieceSize;

    PieceCopier(QByteArray &chunkBuffer, const CopyHooks &hooks)
        : m_chunkBuffer(chunkBuffer), m_hooks(hooks)
    {
    }

    RawFile::Result copy(const RawFile &from, RawFile &to, const PiecePlan &plan);
    // The copy failed because it was asked to stop, not because of the files.
    bool stopped() const { return m_stopped; }

    // The bytes that copying `plan` really writes: all of them, less the block-aligned bulk
    // where the two files can share blocks.
    static qint64 BytesToWrite(const RawFile &from, const RawFile &to, const PiecePlan &plan);

private:
    RawFile::Result copyUpTo(const RawFile &from, RawFile &to, qint64 end);
    RawFile::Result moveStretch(const RawFile &from, RawFile &to, qint64 count);
    RawFile::Result keepWritingBack(RawFile &to);
    void yieldToWindow();

    QByteArray &m_chunkBuffer;
    const CopyHooks &m_hooks;
    qint64 m_blockSize = 4096;
    // 1-based positions: the first byte not yet copied, the first whose writeback has not
    // started, and the first the copy has not yet waited for.
    qint64 m_nextPosition = 1;
    qint64 m_writebackFrom = 1;
    qint64 m_waitedUpTo = 1;
    qint64 m_syncedUpTo = 1;
    BackgroundSync m_backgroundSync;
    bool m_kernelRefused = false;
    bool m_stopped = false;
};
