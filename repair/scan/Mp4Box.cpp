#include "Mp4Box.h"

#include <QtEndian>

#include <limits>

bool Mp4Box::isType(quint32 type)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const quint32 c = (type >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return (type >> 24) != ' ';
}

Mp4Box::Fit Mp4Box::parse(const char *bytes, qint64 available, qint64 at, qint64 parentEnd,
                          Mp4Box &box, bool anyType)
{
    if (available < 8)
        return Fit::Short;
    const quint32 size = qFromBigEndian<quint32>(bytes);
    box.start = at;
    box.type = qFromBigEndian<quint32>(bytes + 4);
    box.headerSize = 8;
    if (!anyType && !isType(box.type))
        return Fit::Invalid;
    quint64 total = size;
    if (size == 1) {
        if (available < 16)
            return Fit::Short;
        total = qFromBigEndian<quint64>(bytes + 8);
        box.headerSize = 16;
    } else if (size == 0) {
        total = quint64(parentEnd - at);
    }
    if (box.type == boxType("uuid"))
        box.headerSize += 16; // the extended type
    if (available < box.headerSize)
        return Fit::Short;
    if (total < quint64(box.headerSize))
        return Fit::Invalid;
    // The size comes from the file: compared, never added, until it is known to fit.
    if (total > quint64(parentEnd - at)) {
        const quint64 room = quint64(std::numeric_limits<qint64>::max() - at);
        box.end = total > room ? std::numeric_limits<qint64>::max() : at + qint64(total);
        return Fit::PastParent;
    }
    box.end = at + qint64(total);
    return Fit::Inside;
}
