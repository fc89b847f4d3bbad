#include "AviScanner.h"

#include "FileProbe.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

constexpr quint32 fourcc(const char (&text)[5])
{
    return quint32(quint8(text[0])) | quint32(quint8(text[1])) << 8 | quint32(quint8(text[2])) << 16
           | quint32(quint8(text[3])) << 24;
}

const quint32 Riff = fourcc("RIFF");
const quint32 List = fourcc("LIST");
const quint32 Avi = fourcc("AVI ");
const quint32 Avix = fourcc("AVIX");
const quint32 Hdrl = fourcc("hdrl");
const quint32 Strl = fourcc("strl");
const quint32 Movi = fourcc("movi");
const quint32 Rec = fourcc("rec ");
const quint32 Junk = fourcc("JUNK");
const quint32 Idx1 = fourcc("idx1");
const quint32 Indx = fourcc("indx");

// Headers sit close together in small files and far apart in big ones: a small block
// serves both. Index entries are read straight through, so they get a bigger one.
const qint64 HeaderBlock = 4096;
const qint64 EntryBlock = 65536;
// How many steps pass between two hand-overs to the window.
const quint64 StepsPerYield = 1024;
// Headers and index chunks kept from the walk: 3.2 MB and 160 KB at most.
const size_t SeenHeadersKept = 200000;
const size_t IndexChunksKept = 4096;
// Index entries beyond the kept headers are checked by reading the header they point at. An
// index that points at the same few chunks again and again would cost a read per entry:
// the headers read are remembered, in a table of 64 KB, and the reads allowed grow with the
// file's size, well above what a sane index needs (one per chunk it points at); entries
// that would need more are left unchecked.
const size_t PointedHeadersKept = 4096;
const qint64 ReadsBeyondKeptPerMiB = 1024;
const qint64 ReadsBeyondKeptAtLeast = 16384;
// How far back into the data before it a run of zeros is followed.
const qint64 ZeroRunFollowed = 1024 * 1024;

const qint64 LegacyEntrySize = 16;
// An OpenDML index starts with 24 bytes of fields before its entries.
const qint64 IndexFieldsSize = 24;
const quint8 IndexOfIndexes = 0x00;
const quint8 IndexOfChunks = 0x01;
const quint32 DeltaFrameBit = 0x80000000u;

quint16 le16(const char *bytes)
{
    return qFromLittleEndian<quint16>(bytes);
}

quint32 le32(const char *bytes)
{
    return qFromLittleEndian<quint32>(bytes);
}

quint64 le64(const char *bytes)
{
    return qFromLittleEndian<quint64>(bytes);
}

char letter(quint32 id, int index)
{
    return char((id >> (8 * index)) & 0xFF);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int streamNumber(quint32 id, int firstDigit)
{
    return (letter(id, firstDigit) - '0') * 10 + (letter(id, firstDigit + 1) - '0');
}

// Every RIFF id is four printable characters that do not start with a blank.
bool isFourcc(quint32 id)
{
    for (int i = 0; i < 4; ++i) {
        const char c = letter(id, i);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return letter(id, 0) != ' ';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "00dc", "01wb": a stream's number and two letters for the kind of data.
bool isStreamChunk(quint32 id)
{
    return isDigit(letter(id, 0)) && isDigit(letter(id, 1)) && isLetter(letter(id, 2))
           && isLetter(letter(id, 3));
}

// "ix00": the OpenDML index of one stream's chunks.
bool isIndexChunk(quint32 id)
{
    return letter(id, 0) == 'i' && letter(id, 1) == 'x' && isDigit(letter(id, 2))
           && isDigit(letter(id, 3));
}

// base + add - back as an offset into a file of `length` bytes; nothing when it falls
// outside. The inputs come from the file, so no sum may be trusted not to overflow.
std::optional<qint64> offsetIn(qint64 length, quint64 base, quint64 add, qint64 back)
{
    if (base > quint64(length) || add > quint64(length))
        return std::nullopt;
    const qint64 at = qint64(base + add) - back;
    if (at < 0 || at > length)
        return std::nullopt;
    return at;
}

} // namespace

AviScanner::AviScanner(const QString &path)
    : m_path(path), m_headers(m_file, HeaderBlock), m_entries(m_file, EntryBlock)
{
}

QString AviScanner::notAnAviMessage(const QString &path)
{
    return tr("%1 is not an AVI file").arg(QFileInfo(path).fileName());
}

Expected<ScanFinding> AviScanner::scan(const CopyHooks &hooks)
{
    m_hooks = &hooks;
    m_pass = Pass::Structure;
    m_damage = -1;
    m_suspectFrom = 0;
    m_moviFourcc = -1;
    m_streams = 0;
    m_chunks = 0;
    m_indexEntries = 0;
    m_steps = 0;
    m_failure.reset();
    m_seen.clear();
    m_indexes.clear();
    m_pointedBeyondKept.assign(PointedHeadersKept, SeenHeader{-1, 0, 0});
    m_seenEnd = std::numeric_limits<qint64>::max();
    m_indexesEnd = std::numeric_limits<qint64>::max();

    // A folder, a device or a pipe is refused before it is opened: opening a pipe waits.
    if (const Expected<qint64> measured = FileProbe::MeasureFile(m_path); !measured)
        return measured.failure();
    if (const Expected<void> opened = m_file.openForReading(m_path); !opened)
        return opened.failure();
    const Expected<qint64> length = m_file.length();
    if (!length)
        return length.failure();
    m_length = *length;
    m_headers.setLength(m_length);
    m_entries.setLength(m_length);
    m_readsBeyondKeptLeft
        = std::max(ReadsBeyondKeptAtLeast, m_length / (1024 * 1024) * ReadsBeyondKeptPerMiB);
    m_seen.reserve(size_t(std::min<qint64>(SeenHeadersKept, m_length / 8 + 1)));

    char head[12];
    if (m_length < 12 || !read(m_headers, 0, head, 12) || le32(head) != Riff
        || le32(head + 8) != Avi) {
        if (m_failure)
            return *m_failure;
        return RepairFailure::refusal(RepairFailure::Reason::NotReadable, notAnAviMessage(m_path),
                                      m_path);
    }

    // The structure first, then the indexes up to the first damage it found: an index
    // entry beyond that point cannot be checked against anything trustworthy.
    walkRiffs();
    if (!m_failure)
        checkIndexes();
    (void)m_file.close();
    m_seen = {};
    m_indexes = {};
    m_pointedBeyondKept = {};

    if (m_failure)
        return *m_failure;
    if (m_hooks->progress)
        m_hooks->progress(m_length, m_length);
    ScanFinding finding;
    if (m_damage >= 0)
        finding.damage = m_damage;
    finding.checked
        = QCoreApplication::translate("AviScanner", "%1 chunk headers and %2 index entries")
              .arg(m_chunks)
              .arg(m_indexEntries);
    return finding;
}

void AviScanner::walkRiffs()
{
    qint64 at = 0;
    for (bool first = true; at < m_length && !stopped(at); first = false) {
        tick(at);
        char head[12];
        // Bytes after a RIFF that ended where its size said are foreign from their first
        // byte; damage that began earlier, in the last chunk's data, shows in its index.
        if (m_length - at < 12) {
            damageAt(at);
            return;
        }
        if (!read(m_headers, at, head, 12))
            return;
        const Chunk riff{at, le32(head), le32(head + 4)};
        const quint32 form = le32(head + 8);
        // Only OpenDML extensions may follow the first RIFF.
        if (riff.id != Riff || form != (first ? Avi : Avix) || riff.size < 4) {
            damageAt(at);
            return;
        }
        walkList(riff, form);
        at = riff.paddedEnd();
    }
}

void AviScanner::walkList(const Chunk &list, quint32 listType)
{
    const qint64 end = list.end();
    qint64 at = list.start + 12;
    m_suspectFrom = at;
    while (at < end && !stopped(at)) {
        tick(at);
        // A few spare bytes at the end of a list hold no chunk and do no harm.
        if (end - at < 8 && end <= m_length)
            return;
        if (at + 8 > m_length) {
            damageAt(m_length); // the file ends where its own sizes say more follows
            return;
        }
        char head[8];
        if (!read(m_headers, at, head, 8))
            return;
        const Chunk child{at, le32(head), le32(head + 4)};
        if (!validChildId(listType, child.id) || child.end() > end) {
            if (child.id == 0 && child.size == 0)
                zerosFrom(at);
            else
                structureBroken();
            return;
        }
        if (m_pass == Pass::Structure)
            remember(child);
        visitChild(listType, child);
        at = child.paddedEnd();
    }
}

void AviScanner::visitChild(quint32 parentType, const Chunk &child)
{
    if (child.id == List) {
        if (child.size < 4) {
            structureBroken();
            return;
        }
        if (child.dataStart() + 4 > m_length) {
            damageAt(m_length);
            return;
        }
        const std::optional<quint32> listType = readList(child.start);
        if (!listType)
            return;
        const bool inMovi = parentType == Movi || parentType == Rec;
        if (inMovi && *listType != Rec) {
            structureBroken();
            return;
        }
        const bool descend = (parentType == Avi && (*listType == Hdrl || *listType == Movi))
                             || (parentType == Avix && *listType == Movi)
                             || (parentType == Hdrl && *listType == Strl)
                             || (parentType == Movi && *listType == Rec);
        if (!descend) {
            leafChecked(child);
            return;
        }
        if (parentType == Avi && *listType == Movi)
            m_moviFourcc = child.dataStart();
        if (*listType == Strl && m_pass == Pass::Structure)
            ++m_streams;
        walkList(child, *listType);
        return;
    }

    leafChecked(child);
    const bool legacy = child.id == Idx1 && parentType == Avi;
    const bool openDml = (child.id == Indx && parentType == Strl)
                         || ((parentType == Movi || parentType == Rec) && isIndexChunk(child.id));
    if (!legacy && !openDml)
        return;
    const IndexChunk index{child, legacy};
    if (m_pass == Pass::Indexes) {
        if (child.start >= m_indexesEnd)
            checkIndexChunk(index);
    } else if (m_indexes.size() < IndexChunksKept) {
        m_indexes.push_back(index);
    } else if (m_indexesEnd > child.start) {
        m_indexesEnd = child.start;
    }
}

void AviScanner::remember(const Chunk &header)
{
    ++m_chunks;
    if (m_seen.size() < SeenHeadersKept)
        m_seen.push_back({header.start, header.id, header.size});
    else if (m_seenEnd > header.start)
        m_seenEnd = header.start;
}

void AviScanner::checkIndexes()
{
    m_pass = Pass::Indexes;
    for (const IndexChunk &index : m_indexes) {
        if (stopped(index.chunk.start))
            return;
        checkIndexChunk(index);
    }
    // Index chunks beyond those kept are met by walking the structure again.
    if (m_indexesEnd != std::numeric_limits<qint64>::max() && !stopped(m_indexesEnd)) {
        m_suspectFrom = 0;
        walkRiffs();
    }
}

void AviScanner::checkIndexChunk(const IndexChunk &index)
{
    if (index.legacy)
        checkLegacyIndex(index.chunk);
    else
        checkIndex(index.chunk);
}

bool AviScanner::validChildId(quint32 parentType, quint32 id) const
{
    if (parentType != Movi && parentType != Rec)
        return isFourcc(id);
    if (id == List || id == Junk)
        return true;
    // A stream number beyond the streams the header declares is foreign bytes.
    if (isIndexChunk(id))
        return m_streams == 0 || streamNumber(id, 2) < m_streams;
    if (isStreamChunk(id))
        return m_streams == 0 || streamNumber(id, 0) < m_streams;
    return false;
}

void AviScanner::checkLegacyIndex(const Chunk &index)
{
    if (m_moviFourcc < 0)
        return;
    // Offsets count from the "movi" code by the book; some writers count from the file's
    // start. The first entry that can be checked tells which.
    const qint64 bases[] = {m_moviFourcc, 0};
    std::optional<qint64> base;
    const qint64 count = index.size / LegacyEntrySize;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 at = index.dataStart() + i * LegacyEntrySize;
        if (at + LegacyEntrySize > m_length || stopped(at))
            return;
        tick(at);
        char entry[LegacyEntrySize];
        if (!read(m_entries, at, entry, LegacyEntrySize))
            return;
        // A "rec " entry points at the list that groups the chunks.
        const quint32 id = le32(entry) == Rec ? List : le32(entry);
        const quint32 offset = le32(entry + 8);
        const quint32 size = le32(entry + 12);
        if (!base) {
            // Damage only when every base was checked and none fits.
            bool checkable = false;
            bool unchecked = false;
            for (qint64 candidate : bases) {
                const std::optional<qint64> pointed = offsetIn(m_length, candidate, offset, 0);
                if (beyondLimit(pointed))
                    continue;
                const std::optional<bool> matches = headerMatches(pointed, id, size);
                checkable = checkable || matches.has_value();
                unchecked = unchecked || !matches.has_value();
                if (matches.value_or(false)) {
                    base = candidate;
                    break;
                }
            }
            if (!base && (!checkable || unchecked))
                continue;
            if (!base) {
                damageAt(at);
                return;
            }
            ++m_indexEntries;
            continue;
        }
        const std::optional<qint64> pointed = offsetIn(m_length, *base, offset, 0);
        if (beyondLimit(pointed))
            continue;
        const std::optional<bool> matches = headerMatches(pointed, id, size);
        if (!matches)
            continue;
        if (!*matches) {
            damageAt(at);
            return;
        }
        ++m_indexEntries;
    }
}

void AviScanner::checkIndex(const Chunk &index)
{
    const qint64 fields = index.dataStart();
    if (index.size < IndexFieldsSize) {
        damageAt(index.start);
        return;
    }
    if (fields + IndexFieldsSize > m_length)
        return; // the file ends inside it, which the walk has reported
    char head[IndexFieldsSize];
    if (!read(m_entries, fields, head, IndexFieldsSize))
        return;
    const quint16 longsPerEntry = le16(head);
    const quint8 type = quint8(head[3]);
    const quint32 entries = le32(head + 4);
    const quint32 chunkId = le32(head + 8);
    const qint64 stride = qint64(longsPerEntry) * 4;

    const bool knownLayout = (type == IndexOfIndexes && longsPerEntry == 4)
                             || (type == IndexOfChunks && longsPerEntry >= 2);
    if (!knownLayout) {
        damageAt(fields);
        return;
    }
    if (entries > (index.size - IndexFieldsSize) / stride) {
        damageAt(fields + 4); // more entries in use than the chunk holds
        return;
    }
    const bool streamMatches = !isIndexChunk(index.id)
                               || (letter(chunkId, 0) == letter(index.id, 2)
                                   && letter(chunkId, 1) == letter(index.id, 3));
    if (!isStreamChunk(chunkId) || !streamMatches) {
        damageAt(fields + 8);
        return;
    }
    if (type == IndexOfIndexes)
        checkIndexOfIndexes(index, entries, chunkId);
    else
        checkIndexOfChunks(index, stride, entries, chunkId);
}

void AviScanner::checkIndexOfIndexes(const Chunk &index, quint32 entries, quint32 chunkId)
{
    const qint64 entrySize = 16;
    const quint32 indexId = fourcc("ix00") & 0xFFFF;
    const quint32 expectedId = indexId | (chunkId & 0xFFFF) << 16;
    for (quint32 i = 0; i < entries; ++i) {
        const qint64 at = index.dataStart() + IndexFieldsSize + qint64(i) * entrySize;
        if (at + entrySize > m_length || stopped(at))
            return;
        tick(at);
        char entry[entrySize];
        if (!read(m_entries, at, entry, entrySize))
            return;
        const std::optional<qint64> pointed = offsetIn(m_length, le64(entry), 0, 0);
        // The size given here counts the pointed chunk's header too.
        const quint32 size = le32(entry + 8);
        if (beyondLimit(pointed))
            continue;
        const std::optional<bool> matches
            = size < 8 ? std::optional(false) : headerMatches(pointed, expectedId, size - 8);
        if (!matches)
            continue;
        if (!*matches) {
            damageAt(at);
            return;
        }
        ++m_indexEntries;
    }
}

void AviScanner::checkIndexOfChunks(const Chunk &index, qint64 stride, quint32 entries,
                                    quint32 chunkId)
{
    char baseField[8];
    if (!read(m_entries, index.dataStart() + 12, baseField, 8))
        return;
    const quint64 base = le64(baseField);
    for (quint32 i = 0; i < entries; ++i) {
        const qint64 at = index.dataStart() + IndexFieldsSize + qint64(i) * stride;
        if (at + 8 > m_length || stopped(at))
            return;
        tick(at);
        char entry[8];
        if (!read(m_entries, at, entry, 8))
            return;
        // Entries point at the data, eight bytes past the chunk's header.
        const std::optional<qint64> pointed = offsetIn(m_length, base, le32(entry), 8);
        const quint32 size = le32(entry + 4) & ~DeltaFrameBit;
        if (beyondLimit(pointed))
            continue;
        const std::optional<bool> matches = headerMatches(pointed, chunkId, size);
        if (!matches)
            continue;
        if (!*matches) {
            damageAt(at);
            return;
        }
        ++m_indexEntries;
    }
}

std::optional<bool> AviScanner::headerMatches(std::optional<qint64> at, quint32 id, quint32 size)
{
    if (!at || *at + 8 > m_length)
        return false;
    if (*at < m_seenEnd) {
        // The walk met every header here: a position it did not meet holds none.
        const auto seen = std::lower_bound(
            m_seen.cbegin(), m_seen.cend(), *at,
            [](const SeenHeader &header, qint64 start) { return header.start < start; });
        return seen != m_seen.cend() && seen->start == *at && seen->id == id && seen->size == size;
    }
    const std::optional<SeenHeader> header = headerBeyondKept(*at);
    if (!header)
        return std::nullopt;
    return header->id == id && header->size == size;
}

// The eight bytes at `at` as a header, from the table of those read before or from the file
// while the reads allowed last. Nothing after a read that fails, which ends the scan.
std::optional<AviScanner::SeenHeader> AviScanner::headerBeyondKept(qint64 at)
{
    // Spread by a multiplicative hash, so that chunks at regular distances do not collide.
    const size_t slot = size_t((quint64(at) * 0x9E3779B97F4A7C15ull) >> 52) % PointedHeadersKept;
    SeenHeader &kept = m_pointedBeyondKept[slot];
    if (kept.start == at)
        return kept;
    if (m_readsBeyondKeptLeft <= 0)
        return std::nullopt;
    const qint64 readsBefore = m_headers.reads();
    char head[8];
    if (!read(m_headers, at, head, 8))
        return std::nullopt;
    m_readsBeyondKeptLeft -= m_headers.reads() - readsBefore;
    kept = {at, le32(head), le32(head + 4)};
    return kept;
}

bool AviScanner::beyondLimit(std::optional<qint64> at) const
{
    if (m_damage < 0)
        return false;
    return !at || *at + 8 > m_damage;
}

std::optional<quint32> AviScanner::readList(qint64 at)
{
    char type[4];
    if (!read(m_headers, at + 8, type, 4))
        return std::nullopt;
    return le32(type);
}

bool AviScanner::read(BlockReader &reader, qint64 offset, char *data, qint64 count)
{
    if (Expected<void> got = reader.read(offset, data, count); !got)
        m_failure = got.failure();
    return !m_failure;
}

bool AviScanner::stopped(qint64 position) const
{
    return m_failure || (m_damage >= 0 && position >= m_damage);
}

void AviScanner::structureBroken()
{
    damageAt(m_suspectFrom);
}

// Zeros where a header belongs are the commonest damage: the part of a download that never
// came. They began where the run of zeros that reaches `at` begins, which may be inside the
// data before it; a run that goes back too far to follow counts from that data's start.
void AviScanner::zerosFrom(qint64 at)
{
    const qint64 from = std::max(m_suspectFrom, at - ZeroRunFollowed);
    char block[4096];
    qint64 end = at;
    while (end > from && !m_failure) {
        const qint64 count = std::min<qint64>(sizeof block, end - from);
        if (!read(m_headers, end - count, block, count))
            return;
        for (qint64 i = count - 1; i >= 0; --i) {
            if (block[i] != 0) {
                damageAt(end - count + i + 1);
                return;
            }
        }
        end -= count;
    }
    structureBroken();
}

void AviScanner::damageAt(qint64 offset)
{
    if (m_damage < 0 || offset < m_damage)
        m_damage = offset;
}

void AviScanner::leafChecked(const Chunk &chunk)
{
    // A header that makes sense says nothing about the data after it: damage met next may
    // have begun anywhere in that data.
    m_suspectFrom = chunk.size > 0 ? chunk.start : chunk.end();
}

void AviScanner::tick(qint64 position)
{
    if (++m_steps % StepsPerYield != 0)
        return;
    if (m_hooks->progress) {
        const qint64 done = m_pass == Pass::Structure ? position : m_length + position;
        m_hooks->progress(qMin(done, 2 * m_length), 2 * m_length);
    }
    if (m_hooks->yield)
        m_hooks->yield();
    // A close or a termination signal ends the scan here.
    if (m_hooks->stopAsked())
        m_failure = RepairFailure::interrupted(m_path);
}
