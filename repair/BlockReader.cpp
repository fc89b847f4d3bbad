#include "BlockReader.h"

#include <algorithm>
#include <cstring>

void BlockReader::setLength(qint64 length)
{
    m_length = length;
    m_blockLength = 0;
}

RawFile::Result BlockReader::read(qint64 offset, char *data, qint64 count)
{
    if (count > m_blockSize)
        return m_file.readAt(offset + 1, data, count);
    if (offset < m_blockStart || offset + count > m_blockStart + m_blockLength) {
        m_block.resize(m_blockSize);
        m_blockStart = offset;
        m_blockLength = std::min(m_blockSize, m_length - offset);
        if (const RawFile::Result failure
            = m_file.readAt(offset + 1, m_block.data(), m_blockLength)) {
            m_blockLength = 0;
            return failure;
        }
    }
    std::memcpy(data, m_block.constData() + (offset - m_blockStart), size_t(count));
    return {};
}
