#pragma once

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

// Copies a run of bytes to the same positions of another file in pieces of 3,000,000 bytes
// that start 2,999,999 bytes apart. Consecutive pieces share one byte, written twice with
// the same value. Memory stays at one piece held in the caller's buffer; where the kernel
// can copy between the two files itself, the buffer is only sized, never filled.
class PieceCopier
{
public:
    static const qint64 PieceSize = 3000000;
    static const qint64 PieceStride = 2999999;
    // Full pieces between two syncs during a copy: few enough that no sync, the last one
    // included, holds the window up for long; enough that the syncs cost no speed.
    static const int PiecesPerSync = 16;

    PieceCopier(QByteArray &chunkBuffer, const CopyHooks &hooks)
        : m_chunkBuffer(chunkBuffer), m_hooks(hooks)
    {
    }

    RawFile::Result copy(const RawFile &from, RawFile &to, const PiecePlan &plan);
    // The copy failed because it was asked to stop, not because of the files.
    bool stopped() const { return m_stopped; }

private:
    RawFile::Result movePiece(const RawFile &from, RawFile &to, qint64 position, qint64 size);
    void yieldToWindow();

    QByteArray &m_chunkBuffer;
    const CopyHooks &m_hooks;
    bool m_kernelRefused = false;
    bool m_stopped = false;
};
