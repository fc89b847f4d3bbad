#pragma once

#include <QtGlobal>

// One box header of an ISO base media file (MP4, QuickTime): where the box starts, where
// its size says it ends, and its four-letter type.
struct Mp4Box
{
    enum class Fit {
        Inside,     // a sound header whose box ends within its parent
        PastParent, // a sound header whose size runs past the parent's end
        Invalid,    // no header: a size below the header's own, or a type no box has
        Short,      // the bytes end before the header does
    };

    qint64 start = 0;
    qint64 end = 0; // as the size says; for PastParent no less than the parent's end
    quint32 type = 0;
    int headerSize = 8;

    qint64 dataStart() const { return start + headerSize; }
    qint64 dataSize() const { return end - dataStart(); }

    // Reads the header in the first `available` bytes of `bytes`, found at `at` inside a
    // parent that ends at `parentEnd`. A size of 0 means "to the parent's end". Sample
    // entries may have types of any four bytes (QuickTime names some sound formats by number).
    static Fit parse(const char *bytes, qint64 available, qint64 at, qint64 parentEnd, Mp4Box &box,
                     bool anyType = false);
    // Four printable characters, as every box type is.
    static bool isType(quint32 type);
};

constexpr quint32 boxType(const char (&text)[5])
{
    return quint32(quint8(text[0])) << 24 | quint32(quint8(text[1])) << 16
           | quint32(quint8(text[2])) << 8 | quint32(quint8(text[3]));
}
