#include "BlockReader.h"

#include <algorithm>
#include <cstring>

void BlockReader::setLength(qint64 length)
{
    m_length = length;
    m_blockLength = 0;
    m_reads = 0;
}

Expected<void> BlockReader::read(qint64 offset, char *data, qint64 count)
{
    if (count > m_blockSize) {
        ++m_reads;
        return m_file.readAt(offset, data, count);
    }
    if (offset < m_blockStart || offset + count > m_blockStart + m_blockLength) {
        ++m_reads;
        m_block.resize(m_blockSize);
        m_blockStart = offset;
        m_blockLength = std::min(m_blockSize, m_length - offset);
        if (Expected<void> got = m_file.readAt(offset, m_block.data(), m_blockLength); !got) {
            m_blockLength = 0;
            return got;
        }
    }
    std::memcpy(data, m_block.constData() + (offset - m_blockStart), size_t(count));
    return {};
}
