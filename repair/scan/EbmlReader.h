#pragma once

#include "RawFile.h"

#include <QByteArray>

// The element headers of an EBML file: an id and a data size, each a variable-length
// integer. Read through a window that widens while reads follow on from each other and
// narrows where they jump: close headers cost one call to the system for many, and headers
// far apart (a block's media between them) a small read each.
class EbmlReader
{
public:
    struct Element
    {
        enum class Verdict {
            Valid,
            Zeros,     // nothing but zero bytes where the header belongs
            Invalid,   // these bytes hold no id and size
            Truncated, // the file ends inside the header; the id is known when it is whole
        };
        Verdict verdict = Verdict::Invalid;
        qint64 start = 0;
        quint32 id = 0; // with its length marker, as ids are written down
        int idLength = 0;
        int headerLength = 0;
        bool unknownSize = false;
        quint64 size = 0; // of the data after the header, below 2^56; 0 for an unknown size

        qint64 dataStart() const { return start + headerLength; }
        // Where a known size says it ends, which may lie beyond the file.
        qint64 end() const { return dataStart() + qint64(size); }
    };

    explicit EbmlReader(const RawFile &file);

    // The file's length, which no read passes.
    void setLength(qint64 length);
    // The longest size field the file's header allows, 1 to 8 bytes.
    void setMaxSizeLength(int bytes) { m_maxSizeLength = bytes; }

    // The header that stands at `at`, which must lie inside the file.
    Expected<Element> element(qint64 at);
    // The value of an unsigned integer element of at most eight bytes inside the file.
    Expected<quint64> unsignedValue(const Element &element);
    Expected<void> read(qint64 offset, char *data, qint64 count);

    // How many bytes a variable-length integer takes, from its first byte; 0 for more than 8.
    static int vintLength(quint8 first);

private:
    static bool isValidId(quint32 id, int length);

    const RawFile &m_file;
    qint64 m_length = 0;
    QByteArray m_window;
    qint64 m_windowStart = 0;
    qint64 m_windowLength = 0; // of the bytes held
    qint64 m_windowSize = 0;   // of the next read
    int m_maxSizeLength = 8;
};
