#pragma once

#include <QtGlobal>

// The CRC-32 of ISO 3309 and ITU-T V.42 (as zlib and EBML use it), over bytes fed in pieces.
class Crc32
{
public:
    void add(const char *data, qint64 count);
    quint32 value() const { return ~m_state; }

private:
    quint32 m_state = 0xFFFFFFFFu;
};
