#include "Crc32.h"

#include <array>

namespace {

// The reflected polynomial, a byte at a time.
constexpr std::array<quint32, 256> makeTable()
{
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<quint32, 256> Table = makeTable();

} // namespace

void Crc32::add(const char *data, qint64 count)
{
    quint32 state = m_state;
    for (qint64 i = 0; i < count; ++i)
        state = Table[(state ^ quint8(data[i])) & 0xFF] ^ (state >> 8);
    m_state = state;
}
