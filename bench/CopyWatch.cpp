#include "CopyWatch.h"

#include "ProcessMemory.h"

#include <QCoreApplication>

#include <algorithm>

CopyWatch::CopyWatch(qint64 expectedPieces)
{
    m_progressTimes.reserve(size_t(expectedPieces) + 2);
}

CopyHooks CopyWatch::hooks()
{
    return {[this] { yielded(); }, [this](qint64 done, qint64 total) { progressed(done, total); }};
}

void CopyWatch::start()
{
    // Without a resettable high-water mark, the hooks sample instead; that misses what
    // rises and falls between two pieces, which is why the kernel's count is preferred.
    m_sampleMemory = !ProcessMemory::ResetPeak();
    m_baseline = ProcessMemory::Resident();
    m_sampledPeak = m_baseline;
    m_clock.start();
}

CopyStats CopyWatch::finish()
{
    const qint64 endNs = m_clock.nsecsElapsed();
    CopyStats stats;
    if (m_sampleMemory) {
        sampleMemory();
        stats.peakAboveBaseline = m_sampledPeak - m_baseline;
    } else {
        stats.peakAboveBaseline = ProcessMemory::Peak() - m_baseline;
    }
    stats.peakSampled = m_sampleMemory;
    stats.yields = m_yields;
    stats.firstYieldNs = m_firstYieldNs >= 0 ? m_firstYieldNs : endNs;
    stats.longestYieldGapNs = m_longestGapNs;
    stats.lastYieldToEndNs = endNs - m_lastYieldNs;

    std::vector<qint64> pieces;
    for (size_t i = 1; i < m_progressTimes.size(); ++i)
        pieces.push_back(m_progressTimes[i] - m_progressTimes[i - 1]);
    if (!pieces.empty()) {
        stats.longestPieceNs = *std::max_element(pieces.begin(), pieces.end());
        std::nth_element(pieces.begin(), pieces.begin() + pieces.size() / 2, pieces.end());
        stats.medianPieceNs = pieces[pieces.size() / 2];
    }
    return stats;
}

void CopyWatch::yielded()
{
    const qint64 now = m_clock.nsecsElapsed();
    if (m_firstYieldNs < 0)
        m_firstYieldNs = now;
    else
        m_longestGapNs = std::max(m_longestGapNs, now - m_lastYieldNs);
    ++m_yields;
    QCoreApplication::processEvents();
    m_lastYieldNs = m_clock.nsecsElapsed();
}

void CopyWatch::progressed(qint64 done, qint64 total)
{
    // The window turns this into a progress bar value; a bar only repaints on a change.
    const int value = total > 0 ? int(done * 1000 / total) : 1000;
    if (value != m_progressValue)
        m_progressValue = value;
    if (m_progressTimes.size() < m_progressTimes.capacity())
        m_progressTimes.push_back(m_clock.nsecsElapsed());
    if (m_sampleMemory)
        sampleMemory();
}

void CopyWatch::sampleMemory()
{
    m_sampledPeak = std::max(m_sampledPeak, ProcessMemory::Resident());
}
