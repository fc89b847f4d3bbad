#pragma once

#include "BackgroundSync.h"
#include "CopyHooks.h"
#include "RawFile.h"

#include <QByteArray>
#include <QElapsedTimer>

// Where a copy runs and when it hands control back to the window.
struct PiecePlan
{
    qint64 firstOffset = 0; // the same in both files
    qint64 byteCount = 0;
    qint64 fullPieceFrom = 0; // a full piece is taken while at least this many bytes remain
    // Split hands control back after reading and after writing each full piece, Merge Back
    // after reading only; when the kernel moves a piece in one call, all come after it.
    int yieldsPerFullPiece = 0;
};

// Copies a run of bytes to the same positions of another file. The window sees pieces of
// 3,000,000 bytes that start 2,999,999 bytes apart: its hand-overs come after each full
// piece, and the caller's buffer is sized to each piece. Underneath, the bytes move in
// stretches that end on mebibyte boundaries, which the kernel copies fastest, and which
// it shares between the files instead of copying where the file system can; only the
// unaligned ends are then copied. Memory stays at one piece, filled only where the kernel
// cannot copy between the two files.
class PieceCopier
{
public:
    static constexpr qint64 PieceSize = 3000000;
    static constexpr qint64 PieceStride = 2999999;
    // Where stretches end. The kernel copies stretches that line up with whole mebibytes
    // markedly faster than ones that merely line up with blocks; a mebibyte is a whole
    // number of blocks on every file system we share blocks on.
    static constexpr qint64 StretchAlignment = 1024 * 1024;
    // Where the files share blocks, the bulk is shared ahead of the pieces in stretches that
    // end on these boundaries. Each call leaves a record of its own in the file system's
    // trees (on btrfs some 200 bytes), so stretches of a mebibyte made the good part of a
    // 4 GiB file take 292 KiB; 128 MiB is btrfs's largest extent, so a stretch spans at
    // most two of the source's, and one is shared in a few milliseconds.
    static constexpr qint64 SharedStretchAlignment = 128 * 1024 * 1024;
    // How far the disk may fall behind the copy. Syncs run one after another in the
    // background, each taking what was copied before it started, so copying and writing
    // overlap and the disk gets large runs to write. The copy waits only when it is
    // further ahead of the last completed sync than the disk, at the speed the syncs so
    // far have shown, writes in LongestWait; so the waits, and the sync before "Done",
    // stay short on a slow disk too. The lag starts at its least and stays within these.
    static constexpr qint64 LeastSyncLag = 2 * PieceSize;
    static constexpr qint64 MostSyncLag = 64 * PieceSize;
    static constexpr double LongestWait = 0.15; // seconds

    PieceCopier(QByteArray &chunkBuffer, const CopyHooks &hooks)
        : m_chunkBuffer(chunkBuffer), m_hooks(hooks)
    {
    }

    // Fails with the reason Interrupted when the hooks ask it to stop.
    Expected<void> copy(const RawFile &from, RawFile &to, const PiecePlan &plan);

    // The bytes that copying `plan` really writes: all of them, less the block-aligned bulk
    // where the two files can share blocks.
    static qint64 BytesToWrite(const RawFile &from, const RawFile &to, const PiecePlan &plan);

private:
    Expected<void> copyPieces(const RawFile &from, RawFile &to, const PiecePlan &plan);
    Expected<void> copyUpTo(const RawFile &from, RawFile &to, qint64 end);
    // How far a piece that ends at `pieceEnd` moves the bytes, of a plan that ends at `end`.
    qint64 stretchEnd(qint64 pieceEnd, qint64 end) const;
    Expected<void> moveStretch(const RawFile &from, RawFile &to, qint64 count);
    Expected<void> keepSyncing(const RawFile &to);
    void fitLagToDisk(qint64 syncedBytes, qint64 nanoseconds);
    void yieldToWindow();

    QByteArray &m_chunkBuffer;
    const CopyHooks &m_hooks;
    qint64 m_blockSize = 4096;
    // The first byte not yet copied, the first not known to be on the disk, and the first
    // the running sync does not take.
    qint64 m_nextOffset = 0;
    qint64 m_syncedUpTo = 0;
    qint64 m_syncingUpTo = 0;
    bool m_sharesBlocks = false;
    bool m_syncsInBackground = true;
    qint64 m_syncLag = LeastSyncLag;
    QElapsedTimer m_syncClock;
    // What the completed syncs took to the disk, and how long they took, in nanoseconds.
    qint64 m_bytesSynced = 0;
    qint64 m_timeSyncing = 0;
    BackgroundSync m_backgroundSync;
    bool m_kernelRefused = false;
};
