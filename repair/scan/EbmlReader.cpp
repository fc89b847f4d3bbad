#include "EbmlReader.h"

#include <algorithm>
#include <cstring>

namespace {

// The longest header there is: a four-byte id and an eight-byte size.
const int LongestHeader = 12;
const int LongestId = 4;
// The window's narrowest and widest read.
const qint64 NarrowWindow = 512;
const qint64 WideWindow = 65536;

} // namespace

EbmlReader::EbmlReader(const RawFile &file) : m_file(file) {}

void EbmlReader::setLength(qint64 length)
{
    m_length = length;
    m_windowLength = 0;
    m_windowSize = NarrowWindow;
}

int EbmlReader::vintLength(quint8 first)
{
    for (int length = 1; length <= 8; ++length) {
        if (first & (0x80 >> (length - 1)))
            return length;
    }
    return 0;
}

// An id's bits after its marker are neither all zeros nor all ones, and it is written as
// short as it can be: the smallest id of each length is one the shorter length cannot hold.
// Matroska uses 0x80 (chapter display texts) all the same.
bool EbmlReader::isValidId(quint32 id, int length)
{
    if (id == 0x80)
        return true;
    const quint32 bits = 7 * quint32(length);
    const quint32 value = id & ((quint32(1) << bits) - 1);
    const quint32 allOnes = (quint32(1) << bits) - 1;
    const quint32 shortestFloor = length == 1 ? 1 : (quint32(1) << (bits - 7)) - 1;
    return value != 0 && value != allOnes && value >= shortestFloor;
}

Expected<EbmlReader::Element> EbmlReader::element(qint64 at)
{
    Element element;
    element.start = at;
    const int available = int(std::min<qint64>(LongestHeader, m_length - at));
    unsigned char bytes[LongestHeader];
    if (Expected<void> got = read(at, reinterpret_cast<char *>(bytes), available); !got)
        return got.failure();

    if (std::all_of(bytes, bytes + available, [](unsigned char byte) { return byte == 0; })) {
        element.verdict = Element::Verdict::Zeros;
        return element;
    }
    const int idLength = vintLength(bytes[0]);
    if (idLength == 0 || idLength > LongestId)
        return element;
    if (idLength >= available) {
        element.verdict = Element::Verdict::Truncated;
        return element;
    }
    quint32 id = 0;
    for (int i = 0; i < idLength; ++i)
        id = id << 8 | bytes[i];
    const int sizeLength = vintLength(bytes[idLength]);
    if (!isValidId(id, idLength) || sizeLength == 0 || sizeLength > m_maxSizeLength)
        return element;
    if (idLength + sizeLength > available) {
        element.verdict = Element::Verdict::Truncated;
        element.id = id;
        element.idLength = idLength;
        return element;
    }
    quint64 size = bytes[idLength] & (0xFF >> sizeLength);
    for (int i = 1; i < sizeLength; ++i)
        size = size << 8 | bytes[idLength + i];

    element.verdict = Element::Verdict::Valid;
    element.id = id;
    element.idLength = idLength;
    element.headerLength = idLength + sizeLength;
    // All value bits set is the one way to say that the size is not known.
    element.unknownSize = size == (quint64(1) << (7 * sizeLength)) - 1;
    element.size = element.unknownSize ? 0 : size;
    return element;
}

Expected<quint64> EbmlReader::unsignedValue(const Element &element)
{
    unsigned char bytes[8];
    const int count = int(std::min<quint64>(element.size, 8));
    if (Expected<void> got = read(element.dataStart(), reinterpret_cast<char *>(bytes), count);
        !got)
        return got.failure();
    quint64 value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

Expected<void> EbmlReader::read(qint64 offset, char *data, qint64 count)
{
    if (count > WideWindow)
        return m_file.readAt(offset, data, count);
    const qint64 windowEnd = m_windowStart + m_windowLength;
    if (offset < m_windowStart || offset + count > windowEnd) {
        const bool followsOn = offset >= m_windowStart && offset <= windowEnd + m_windowSize;
        m_windowSize = followsOn ? std::min(2 * m_windowSize, WideWindow) : NarrowWindow;
        m_window.resize(WideWindow);
        m_windowStart = offset;
        m_windowLength = std::min(std::max(m_windowSize, count), m_length - offset);
        if (Expected<void> got = m_file.readAt(offset, m_window.data(), m_windowLength); !got) {
            m_windowLength = 0;
            return got;
        }
    }
    std::memcpy(data, m_window.constData() + (offset - m_windowStart), size_t(count));
    return {};
}
