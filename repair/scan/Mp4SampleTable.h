#pragma once

#include "BlockReader.h"
#include "Expected.h"
#include "RawFile.h"

#include <optional>

// The sample tables of one track (sizes, samples per chunk, chunk offsets), walked together
// chunk by chunk through small blocks, so that a table of any length costs the same memory.
class Mp4SampleTable
{
public:
    // Where each table's first entry is and how many entries it has, as the boxes say.
    struct Layout
    {
        qint64 sizesAt = -1; // stsz or stz2
        quint32 sizeCount = 0;
        quint32 uniformSize = 0; // every sample's size when not 0 (stsz only)
        int sizeBits = 32;
        qint64 runsAt = -1; // stsc
        quint32 runCount = 0;
        qint64 offsetsAt = -1; // stco or co64
        quint32 offsetCount = 0;
        int offsetBytes = 4;

        bool complete() const { return sizesAt >= 0 && runsAt >= 0 && offsetsAt >= 0; }
    };

    struct Chunk
    {
        qint64 offset = 0;       // of its first sample
        quint32 samples = 0;     // as the sample-to-chunk table gives them
        quint32 description = 0; // 1-based sample entry
        qint64 entryAt = 0;      // where the chunk's offset is written
    };

    enum class Step { Chunk, End, Broken };

    // Entries past `length` are not read: the track ends there.
    Mp4SampleTable(const RawFile &file, qint64 length, const Layout &layout);

    // Moves to the next chunk. Broken when the tables contradict themselves at brokenAt().
    Expected<Step> nextChunk();
    const Chunk &chunk() const { return m_chunk; }
    qint64 brokenAt() const { return m_brokenAt; }

    bool uniformSizes() const { return m_layout.uniformSize != 0 || m_layout.sizeCount == 0; }
    quint32 uniformSize() const { return m_layout.uniformSize; }
    // Takes up to `count` samples of the uniform size at once; returns how many there were.
    quint32 takeUniform(quint32 count);
    // The next sample's size; nothing when the size table has run out.
    Expected<std::optional<quint32>> nextSize();

private:
    struct Run
    {
        quint32 firstChunk = 0;
        quint32 samples = 0;
        quint32 description = 0;
    };
    Expected<bool> readRun(quint32 index, Run &run);

    Layout m_layout;
    BlockReader m_sizes;
    BlockReader m_runs;
    BlockReader m_offsets;
    Chunk m_chunk;
    qint64 m_brokenAt = -1;
    quint32 m_nextChunk = 0; // 0-based
    quint32 m_sizesTaken = 0;
    quint32 m_runIndex = 0;
    Run m_run;
    std::optional<quint32> m_nextRunFirst; // the chunk that starts the next run, 1-based
};
