#include "Mp4SampleTable.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

// Three of these per track: small, since tables are read straight through.
const qint64 TableBlock = 16384;
const qint64 RunEntrySize = 12;

// How many entries of `width` bytes from `at` lie inside a file of `length` bytes.
quint32 entriesInside(qint64 length, qint64 at, quint32 count, qint64 width)
{
    if (at < 0 || at >= length)
        return 0;
    return quint32(std::min<qint64>(count, (length - at) / width));
}

} // namespace

Mp4SampleTable::Mp4SampleTable(const RawFile &file, qint64 length, const Layout &layout)
    : m_layout(layout), m_sizes(file, TableBlock), m_runs(file, TableBlock),
      m_offsets(file, TableBlock)
{
    m_sizes.setLength(length);
    m_runs.setLength(length);
    m_offsets.setLength(length);
    if (m_layout.uniformSize == 0) {
        // Four-bit sizes come two to a byte.
        const qint64 perEntry = m_layout.sizeBits >= 8 ? m_layout.sizeBits / 8 : 1;
        const quint32 perByte = m_layout.sizeBits == 4 ? 2 : 1;
        const quint32 inside
            = entriesInside(length, m_layout.sizesAt, m_layout.sizeCount / perByte + 1, perEntry);
        m_layout.sizeCount = std::min<quint64>(m_layout.sizeCount, quint64(inside) * perByte);
    }
    m_layout.runCount = entriesInside(length, m_layout.runsAt, m_layout.runCount, RunEntrySize);
    m_layout.offsetCount
        = entriesInside(length, m_layout.offsetsAt, m_layout.offsetCount, m_layout.offsetBytes);
}

Expected<bool> Mp4SampleTable::readRun(quint32 index, Run &run)
{
    char entry[RunEntrySize];
    if (Expected<void> got
        = m_runs.read(m_layout.runsAt + qint64(index) * RunEntrySize, entry, RunEntrySize);
        !got)
        return got.failure();
    run.firstChunk = qFromBigEndian<quint32>(entry);
    run.samples = qFromBigEndian<quint32>(entry + 4);
    run.description = qFromBigEndian<quint32>(entry + 8);
    return true;
}

Expected<Mp4SampleTable::Step> Mp4SampleTable::nextChunk()
{
    if (m_nextChunk >= m_layout.offsetCount)
        return Step::End;
    const quint32 number = m_nextChunk + 1;
    if (m_nextChunk == 0) {
        // The first run must start at the first chunk, and each later one after the last.
        if (m_layout.runCount == 0) {
            m_brokenAt = m_layout.runsAt;
            return Step::Broken;
        }
        if (Expected<bool> read = readRun(0, m_run); !read)
            return read.failure();
        if (m_run.firstChunk != 1) {
            m_brokenAt = m_layout.runsAt;
            return Step::Broken;
        }
        m_nextRunFirst.reset();
    }
    while (true) {
        if (!m_nextRunFirst && m_runIndex + 1 < m_layout.runCount) {
            Run next;
            if (Expected<bool> read = readRun(m_runIndex + 1, next); !read)
                return read.failure();
            if (next.firstChunk <= m_run.firstChunk) {
                m_brokenAt = m_layout.runsAt + qint64(m_runIndex + 1) * RunEntrySize;
                return Step::Broken;
            }
            m_nextRunFirst = next.firstChunk;
        }
        if (!m_nextRunFirst || number < *m_nextRunFirst)
            break;
        ++m_runIndex;
        if (Expected<bool> read = readRun(m_runIndex, m_run); !read)
            return read.failure();
        m_nextRunFirst.reset();
    }

    const qint64 entryAt = m_layout.offsetsAt + qint64(m_nextChunk) * m_layout.offsetBytes;
    char field[8];
    if (Expected<void> got = m_offsets.read(entryAt, field, m_layout.offsetBytes); !got)
        return got.failure();
    quint64 offset = m_layout.offsetBytes == 8 ? qFromBigEndian<quint64>(field)
                                               : qFromBigEndian<quint32>(field);
    offset = std::min<quint64>(offset, quint64(std::numeric_limits<qint64>::max()));
    m_chunk = {qint64(offset), m_run.samples, m_run.description, entryAt};
    ++m_nextChunk;
    return Step::Chunk;
}

quint32 Mp4SampleTable::takeUniform(quint32 count)
{
    const quint32 taken = std::min(count, m_layout.sizeCount - m_sizesTaken);
    m_sizesTaken += taken;
    return taken;
}

Expected<std::optional<quint32>> Mp4SampleTable::nextSize()
{
    if (m_sizesTaken >= m_layout.sizeCount)
        return std::optional<quint32>();
    const quint32 index = m_sizesTaken++;
    if (m_layout.uniformSize != 0)
        return std::optional<quint32>(m_layout.uniformSize);
    char field[4];
    const int bits = m_layout.sizeBits;
    const qint64 at
        = m_layout.sizesAt + (bits == 4 ? qint64(index / 2) : qint64(index) * (bits / 8));
    if (Expected<void> got = m_sizes.read(at, field, bits >= 8 ? bits / 8 : 1); !got)
        return got.failure();
    switch (bits) {
    case 4:
        return std::optional<quint32>(index % 2 == 0 ? quint8(field[0]) >> 4
                                                     : quint8(field[0]) & 0x0F);
    case 8:
        return std::optional<quint32>(quint8(field[0]));
    case 16:
        return std::optional<quint32>(qFromBigEndian<quint16>(field));
    default:
        return std::optional<quint32>(qFromBigEndian<quint32>(field));
    }
}
