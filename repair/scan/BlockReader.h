#pragma once

#include "RawFile.h"

#include <QByteArray>

// Small pieces of a file through one block held in memory, so that neighbouring reads
// cost one call to the system and a read never asks for more than the block.
class BlockReader
{
public:
    BlockReader(const RawFile &file, qint64 blockSize) : m_file(file), m_blockSize(blockSize) {}

    // The file's length, which every read must stay within. The count of reads starts over.
    void setLength(qint64 length);
    // Reads `count` bytes from a 0-based offset; offset + count must not pass the length.
    Expected<void> read(qint64 offset, char *data, qint64 count);
    // How often the file itself was read: what a walk over a file costs.
    qint64 reads() const { return m_reads; }

private:
    const RawFile &m_file;
    const qint64 m_blockSize;
    qint64 m_length = 0;
    QByteArray m_block;
    qint64 m_blockStart = 0;
    qint64 m_blockLength = 0;
    qint64 m_reads = 0;
};
