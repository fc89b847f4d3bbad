#pragma once

#include "PieceCopier.h"

#include <QElapsedTimer>

#include <vector>

// What one copy showed of the window's responsiveness and of the memory it took.
struct CopyStats
{
    qint64 peakAboveBaseline = 0; // bytes
    bool peakSampled = false;     // taken from samples in the hooks, not from the kernel
    int yields = 0;
    qint64 firstYieldNs = 0;      // from the start of the copy to its first yield
    qint64 longestYieldGapNs = 0; // between two consecutive yields
    qint64 lastYieldToEndNs = 0;  // includes the final sync and rename
    qint64 medianPieceNs = 0;     // between two consecutive progress reports
    qint64 longestPieceNs = 0;
};

// Hooks for one copy that do the window's work (process events, work out the progress
// bar's value) and time the yields and watch the memory as they go.
class CopyWatch
{
public:
    explicit CopyWatch(qint64 expectedPieces);

    CopyHooks hooks();
    void start();
    CopyStats finish();

private:
    void yielded();
    void progressed(qint64 done, qint64 total);
    void sampleMemory();

    QElapsedTimer m_clock;
    bool m_sampleMemory = false;
    qint64 m_baseline = 0;
    qint64 m_sampledPeak = 0;
    int m_yields = 0;
    qint64 m_firstYieldNs = -1;
    qint64 m_lastYieldNs = 0;
    qint64 m_longestGapNs = 0;
    int m_progressValue = -1;
    // Reserved up front so that recording allocates nothing during the copy.
    std::vector<qint64> m_progressTimes;
};
