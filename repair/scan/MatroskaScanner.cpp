#include "MatroskaScanner.h"

#include "Crc32.h"
#include "FileProbe.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

namespace Id {
const quint32 Ebml = 0x1A45DFA3;
const quint32 EbmlMaxSizeLength = 0x42F3;
const quint32 DocType = 0x4282;
const quint32 Crc32 = 0xBF;
const quint32 Void = 0xEC;

const quint32 Segment = 0x18538067;
const quint32 SeekHead = 0x114D9B74;
const quint32 Info = 0x1549A966;
const quint32 Tracks = 0x1654AE6B;
const quint32 Cues = 0x1C53BB6B;
const quint32 Tags = 0x1254C367;
const quint32 Attachments = 0x1941A469;
const quint32 Chapters = 0x1043A770;
const quint32 Cluster = 0x1F43B675;

const quint32 Seek = 0x4DBB;
const quint32 SeekId = 0x53AB;
const quint32 SeekPosition = 0x53AC;
const quint32 TrackEntry = 0xAE;
const quint32 TrackNumber = 0xD7;
const quint32 CuePoint = 0xBB;
const quint32 CueTime = 0xB3;
const quint32 CueTrackPositions = 0xB7;
const quint32 CueTrack = 0xF7;
const quint32 CueClusterPosition = 0xF1;
const quint32 CueRelativePosition = 0xF0;
const quint32 Tag = 0x7373;
const quint32 AttachedFile = 0x61A7;
const quint32 EditionEntry = 0x45B9;

const quint32 Timestamp = 0xE7;
const quint32 SilentTracks = 0x5854;
const quint32 Position = 0xA7;
const quint32 PrevSize = 0xAB;
const quint32 SimpleBlock = 0xA3;
const quint32 BlockGroup = 0xA0;
const quint32 Block = 0xA1;
} // namespace Id

// The leaves each element may hold besides a checksum and padding.
const quint32 EbmlHeaderLeaves[]
    = {0x4286, 0x42F7, 0x42F2, Id::EbmlMaxSizeLength, Id::DocType, 0x4287, 0x4285, 0x4281};
const quint32 InfoLeaves[] = {0x73A4, 0x7384,   0x3CB923, 0x3C83AB, 0x3EB923, 0x3E83BB, 0x4444,
                              0x6924, 0x2AD7B1, 0x4489,   0x4461,   0x7BA9,   0x4D80,   0x5741};
const quint32 CueTrackPositionsLeaves[]
    = {Id::CueTrack, Id::CueClusterPosition, Id::CueRelativePosition,
       0xB2,   // duration
       0x5378, // block number
       0xEA,   // codec state
       0xDB};  // references
const quint32 BlockGroupLeaves[] = {Id::Block,
                                    0x75A1,   // additions
                                    0x9B,     // duration
                                    0xFA,     // reference priority
                                    0xFB,     // reference block
                                    0xA4,     // codec state
                                    0x75A2,   // discard padding
                                    0x8E};    // slices
const quint32 TagLeaves[] = {0x63C0, 0x67C8}; // targets, simple tags
const quint32 TopLevel[] = {Id::SeekHead, Id::Info,        Id::Tracks,   Id::Cues,
                            Id::Tags,     Id::Attachments, Id::Chapters, Id::Cluster};
// Unsigned integers, which take at most eight bytes.
const quint32 UnsignedLeaves[] = {0x4286,
                                  0x42F7,
                                  0x42F2,
                                  Id::EbmlMaxSizeLength,
                                  0x4287,
                                  0x4285,
                                  0x2AD7B1,
                                  Id::TrackNumber,
                                  Id::SeekPosition,
                                  Id::CueTime,
                                  Id::CueTrack,
                                  Id::CueClusterPosition,
                                  Id::CueRelativePosition,
                                  0xB2,
                                  0x5378,
                                  0xEA,
                                  Id::Timestamp,
                                  Id::Position,
                                  Id::PrevSize};

template <size_t N> bool contains(const quint32 (&ids)[N], quint32 id)
{
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

// The end of an element whose size, and every parent's, is unknown: the file's end.
const qint64 Unbounded = std::numeric_limits<qint64>::max();

// How many steps pass between two hand-overs to the window.
const quint64 StepsPerYield = 1024;
// Kept from the walk: top-level elements (1 MB at most), blocks (2 MB), seek heads and cue
// lists, tracks.
const size_t SeenElementsKept = 65536;
const size_t SeenBlocksKept = 131072;
const size_t PointerListsKept = 1024;
const size_t TracksKept = 4096;
// How far back into the data before it a run of zeros is followed, and how long it must be
// to be taken for a piece that never came.
const qint64 ZeroRunFollowed = 1024 * 1024;
const qint64 ShortestZeroRun = 4096;
// A block starts with its track number (up to 8 bytes), a timestamp and flags.
const qint64 LongestBlockHeader = 11;
const quint8 SimpleBlockReserved = 0x70;
const quint8 BlockReserved = 0xF0;
const qint64 CrcChunk = 4096;
const qint64 LongestDocType = 32;

} // namespace

MatroskaScanner::MatroskaScanner(const QString &path) : m_path(path), m_reader(m_file) {}

QString MatroskaScanner::notMatroskaMessage(const QString &path)
{
    return tr("%1 is not a Matroska or WebM file").arg(QFileInfo(path).fileName());
}

Expected<ScanFinding> MatroskaScanner::scan(const CopyHooks &hooks)
{
    m_hooks = &hooks;
    m_pass = Pass::Structure;
    m_damage = -1;
    m_suspectFrom = 0;
    m_segmentData = 0;
    m_notMatroska = false;
    m_elements = 0;
    m_blocks = 0;
    m_checksums = 0;
    m_steps = 0;
    m_failure.reset();
    m_tracks.clear();
    m_anyTrack = true;
    m_seen.clear();
    m_seenEnd = std::numeric_limits<qint64>::max();
    m_seenBlocks.clear();
    m_blocksSeenEnd = std::numeric_limits<qint64>::max();
    m_pointerLists.clear();
    m_list.reset();
    m_listKept = false;
    m_reader.setMaxSizeLength(8);

    // A folder, a device or a pipe is refused before it is opened: opening a pipe waits.
    if (const Expected<qint64> measured = FileProbe::MeasureFile(m_path); !measured)
        return measured.failure();
    if (const Expected<void> opened = m_file.openForReading(m_path); !opened)
        return opened.failure();
    const Expected<qint64> length = m_file.length();
    if (!length)
        return length.failure();
    m_length = *length;
    m_reader.setLength(m_length);

    char magic[4];
    const bool isEbml
        = m_length >= 4 && read(0, magic, 4) && qFromBigEndian<quint32>(magic) == Id::Ebml;
    if (isEbml) {
        walkFile();
        // Seek entries and cues may point forward: they are checked once the structure is
        // known, up to the first damage it showed.
        if (!m_failure && !m_notMatroska)
            checkPointers();
    }
    (void)m_file.close();
    m_seen = {};
    m_seenBlocks = {};
    m_pointerLists = {};

    if (m_failure)
        return *m_failure;
    if (!isEbml || m_notMatroska)
        return RepairFailure::refusal(RepairFailure::Reason::NotReadable,
                                      notMatroskaMessage(m_path), m_path);
    if (m_hooks->progress)
        m_hooks->progress(m_length, m_length);
    ScanFinding finding;
    if (m_damage >= 0)
        finding.damage = m_damage;
    finding.checked
        = QCoreApplication::translate("MatroskaScanner", "%1 elements, %2 blocks and %3 checksums")
              .arg(m_elements)
              .arg(m_blocks)
              .arg(m_checksums);
    return finding;
}

// The file holds EBML documents, each a header and a segment.
void MatroskaScanner::walkFile()
{
    qint64 at = 0;
    bool segmentDue = false;
    while (at < m_length && !stopped(at)) {
        tick(at);
        const Expected<Element> read = m_reader.element(at);
        if (!read) {
            m_failure = read.failure();
            return;
        }
        const Element &element = *read;
        if (element.verdict == Element::Verdict::Zeros) {
            zerosFrom(at);
            return;
        }
        // Bytes after a segment that ended where its size said are foreign from their first
        // byte; damage that began earlier shows inside the segment.
        std::optional<qint64> next;
        if (element.verdict != Element::Verdict::Valid
            || (element.unknownSize && element.id != Id::Segment)) {
            damageAt(at);
            return;
        }
        ++m_elements;
        if (element.id == Id::Ebml && !segmentDue) {
            next = walk(element, Kind::EbmlHeader, Unbounded);
            segmentDue = true;
        } else if (element.id == Id::Segment && segmentDue) {
            next = walk(element, Kind::Segment, Unbounded);
            segmentDue = false;
        } else if (element.id == Id::Void && !segmentDue && element.end() <= m_length) {
            next = element.end();
        } else {
            damageAt(at);
            return;
        }
        if (!next)
            return;
        at = *next;
    }
    // A header with no segment after it.
    if (segmentDue && !stopped(m_length))
        damageAt(m_length);
}

// Walks the children of `master` and returns where it ends: where its size says, or for an
// unknown size where the first element of a level above it begins. Nothing when the walk
// stopped there.
std::optional<qint64> MatroskaScanner::walk(const Element &master, Kind kind, qint64 limit)
{
    Walk current;
    current.kind = kind;
    current.element = master;
    current.end = master.unknownSize ? limit : master.end();
    // A four-byte id that fits its place is no accident: damage met next came after it.
    if (m_pass == Pass::Structure && master.idLength == 4)
        m_suspectFrom = master.dataStart();
    if (kind == Kind::Segment)
        m_segmentData = master.dataStart();

    qint64 at = master.dataStart();
    while (at < current.end) {
        if (stopped(at))
            return std::nullopt;
        if (at >= m_length) {
            if (current.end == Unbounded)
                break;          // an unknown size ends with the file
            damageAt(m_length); // the file ends where its own sizes say more follows
            return std::nullopt;
        }
        tick(at);
        const Expected<Element> read = m_reader.element(at);
        if (!read) {
            m_failure = read.failure();
            return std::nullopt;
        }
        const Element &child = *read;
        // The file ends inside a header that may stand here: the element it cuts began there.
        if (child.verdict == Element::Verdict::Truncated && child.id != 0
            && childOf(kind, child.id)) {
            damageAt(at);
            return std::nullopt;
        }
        if (child.verdict != Element::Verdict::Valid) {
            headerBroken(child);
            return std::nullopt;
        }
        const std::optional<Kind> childKind = childOf(kind, child.id);
        if (!childKind && master.unknownSize && endsUnknownSize(kind, child.id))
            break;
        const quint32 once = onceOnly(kind, child.id);
        const qint64 room = current.end - child.dataStart();
        // Once the blocks begin, only blocks follow: padding or a field among them would let a
        // walk gone astray in damaged media find its way back without noticing.
        const bool amongBlocks = kind == Kind::Cluster && current.blocks > 0
                                 && child.id != Id::SimpleBlock && child.id != Id::BlockGroup;
        const bool misplaced = !childKind || (child.id == Id::Crc32 && current.children > 0)
                               || (current.metOnce & once) || amongBlocks;
        if (misplaced || room < 0
            || (child.unknownSize ? !mayHaveUnknownSize(*childKind) : child.size > quint64(room))) {
            structureBroken();
            return std::nullopt;
        }
        current.metOnce |= once;
        ++current.children;
        if (m_pass == Pass::Structure) {
            ++m_elements;
            if (kind == Kind::Segment)
                remember(child);
            if (*childKind == Kind::SeekHead || *childKind == Kind::Cues) {
                m_list = {child, *childKind, m_segmentData};
                m_listKept = false;
            }
        }
        const std::optional<qint64> next = *childKind == Kind::Leaf
                                               ? visitLeaf(current, child)
                                               : walk(child, *childKind, current.end);
        if (!next)
            return std::nullopt;
        if (*childKind == Kind::BlockGroup)
            ++current.blocks;
        at = *next;
    }
    if (!finish(current))
        return std::nullopt;
    return std::min(at, current.end);
}

std::optional<MatroskaScanner::Kind> MatroskaScanner::childOf(Kind parent, quint32 id)
{
    if (id == Id::Crc32 || id == Id::Void)
        return Kind::Leaf;
    const auto leafIf = [](bool allowed) -> std::optional<Kind> {
        return allowed ? std::optional(Kind::Leaf) : std::nullopt;
    };
    switch (parent) {
    case Kind::EbmlHeader:
        return leafIf(contains(EbmlHeaderLeaves, id));
    case Kind::Segment:
        switch (id) {
        case Id::SeekHead:
            return Kind::SeekHead;
        case Id::Info:
            return Kind::Info;
        case Id::Tracks:
            return Kind::Tracks;
        case Id::Cues:
            return Kind::Cues;
        case Id::Tags:
            return Kind::Tags;
        case Id::Attachments:
            return Kind::Attachments;
        case Id::Chapters:
            return Kind::Chapters;
        case Id::Cluster:
            return Kind::Cluster;
        }
        return std::nullopt;
    case Kind::SeekHead:
        return id == Id::Seek ? std::optional(Kind::Seek) : std::nullopt;
    case Kind::Seek:
        return leafIf(id == Id::SeekId || id == Id::SeekPosition);
    case Kind::Info:
        return leafIf(contains(InfoLeaves, id));
    case Kind::Tracks:
        return id == Id::TrackEntry ? std::optional(Kind::TrackEntry) : std::nullopt;
    case Kind::Cues:
        return id == Id::CuePoint ? std::optional(Kind::CuePoint) : std::nullopt;
    case Kind::CuePoint:
        if (id == Id::CueTrackPositions)
            return Kind::CueTrackPositions;
        return leafIf(id == Id::CueTime);
    case Kind::CueTrackPositions:
        return leafIf(contains(CueTrackPositionsLeaves, id));
    case Kind::Tags:
        return id == Id::Tag ? std::optional(Kind::Tag) : std::nullopt;
    case Kind::Tag:
        return leafIf(contains(TagLeaves, id));
    case Kind::Attachments:
        return id == Id::AttachedFile ? std::optional(Kind::AttachedFile) : std::nullopt;
    case Kind::Chapters:
        return id == Id::EditionEntry ? std::optional(Kind::EditionEntry) : std::nullopt;
    case Kind::TrackEntry:
    case Kind::AttachedFile:
    case Kind::EditionEntry:
        // Their many kinds of leaves grow with each version of the format: any that belongs
        // to no level above is taken.
        return leafIf(id != Id::Ebml && id != Id::Segment && !contains(TopLevel, id));
    case Kind::Cluster:
        if (id == Id::BlockGroup)
            return Kind::BlockGroup;
        return leafIf(id == Id::Timestamp || id == Id::SilentTracks || id == Id::Position
                      || id == Id::PrevSize || id == Id::SimpleBlock);
    case Kind::BlockGroup:
        return leafIf(contains(BlockGroupLeaves, id));
    case Kind::Leaf:
        break;
    }
    return std::nullopt;
}

bool MatroskaScanner::endsUnknownSize(Kind kind, quint32 id)
{
    const bool document = id == Id::Ebml || id == Id::Segment;
    if (kind == Kind::Cluster)
        return document || contains(TopLevel, id);
    return kind == Kind::Segment && document;
}

bool MatroskaScanner::mayHaveUnknownSize(Kind kind)
{
    return kind == Kind::Segment || kind == Kind::Cluster;
}

quint32 MatroskaScanner::onceOnly(Kind parent, quint32 id)
{
    quint32 bit = 0;
    switch (parent) {
    case Kind::EbmlHeader:
        bit = id == Id::DocType ? 1 : id == Id::EbmlMaxSizeLength ? 2 : 0;
        break;
    case Kind::Seek:
        bit = id == Id::SeekId ? 1 : id == Id::SeekPosition ? 2 : 0;
        break;
    case Kind::TrackEntry:
        bit = id == Id::TrackNumber ? 1 : 0;
        break;
    case Kind::CuePoint:
        bit = id == Id::CueTime ? 1 : 0;
        break;
    case Kind::CueTrackPositions:
        bit = id == Id::CueTrack              ? 1
              : id == Id::CueClusterPosition  ? 2
              : id == Id::CueRelativePosition ? 4
                                              : 0;
        break;
    case Kind::Cluster:
        bit = id == Id::Timestamp      ? 1
              : id == Id::Position     ? 2
              : id == Id::PrevSize     ? 4
              : id == Id::SilentTracks ? 8
                                       : 0;
        break;
    default:
        break;
    }
    return bit;
}

// Returns where the leaf ends, or nothing when the walk stops at it.
std::optional<qint64> MatroskaScanner::visitLeaf(Walk &parent, const Element &leaf)
{
    const bool isBlock = (parent.kind == Kind::Cluster && leaf.id == Id::SimpleBlock)
                         || (parent.kind == Kind::BlockGroup && leaf.id == Id::Block);
    if (isBlock) {
        // Blocks are met only in the walk of the structure.
        if (!checkBlock(parent, leaf))
            return std::nullopt;
        ++parent.blocks;
        return leaf.end();
    }
    // Ids are read by what they mean in their parent: the open-ended ones have others.
    const bool openEnded = parent.kind == Kind::TrackEntry || parent.kind == Kind::AttachedFile
                           || parent.kind == Kind::EditionEntry;
    const bool isUnsigned
        = (!openEnded || leaf.id == Id::TrackNumber) && contains(UnsignedLeaves, leaf.id);
    const bool sizeFits = (leaf.id != Id::Crc32 || leaf.size == 4)
                          && (!isUnsigned || leaf.size <= 8)
                          && (leaf.id != Id::SeekId || (leaf.size >= 1 && leaf.size <= 4));
    // A leaf the file's end cuts short. The walk cannot tell a real one from bytes that only
    // look like one, so the damage may have begun before it.
    if (!sizeFits || leaf.end() > m_length) {
        structureBroken();
        return std::nullopt;
    }

    const bool pointer
        = (parent.kind == Kind::Seek || parent.kind == Kind::CueTrackPositions)
          && (leaf.id == Id::SeekId || leaf.id == Id::SeekPosition || leaf.id == Id::CueTrack
              || leaf.id == Id::CueClusterPosition || leaf.id == Id::CueRelativePosition);
    const bool valueUsed
        = pointer
          || (m_pass == Pass::Structure
              && ((parent.kind == Kind::EbmlHeader
                   && (leaf.id == Id::DocType || leaf.id == Id::EbmlMaxSizeLength))
                  || (parent.kind == Kind::TrackEntry && leaf.id == Id::TrackNumber)
                  || leaf.id == Id::Crc32));
    if (!valueUsed)
        return leaf.end();
    if (leaf.id == Id::Crc32) {
        char bytes[4];
        if (!read(leaf.dataStart(), bytes, 4))
            return std::nullopt;
        parent.crc = qFromLittleEndian<quint32>(bytes);
        parent.crcEnd = leaf.end();
        return leaf.end();
    }
    if (leaf.id == Id::DocType) {
        // Longer than any name of a format: not one this scanner reads.
        parent.docType = QByteArray(int(std::min<quint64>(leaf.size, LongestDocType)), '\0');
        if (!read(leaf.dataStart(), parent.docType.data(), parent.docType.size()))
            return std::nullopt;
        if (leaf.size > LongestDocType)
            parent.docType = "?";
        while (parent.docType.endsWith('\0'))
            parent.docType.chop(1);
        return leaf.end();
    }
    const std::optional<quint64> value = unsignedValue(leaf);
    if (!value)
        return std::nullopt;
    switch (leaf.id) {
    case Id::EbmlMaxSizeLength:
        parent.maxSizeLength = value;
        break;
    case Id::TrackNumber:
    case Id::CueTrack:
        parent.track = value;
        break;
    case Id::SeekId:
        parent.seekId = quint32(*value);
        break;
    case Id::SeekPosition:
    case Id::CueClusterPosition:
        parent.position = value;
        break;
    case Id::CueRelativePosition:
        parent.relative = value;
        break;
    }
    return leaf.end();
}

// What an element's children together must hold, once they are all met.
bool MatroskaScanner::finish(Walk &walk)
{
    if (m_pass == Pass::Pointers) {
        if (walk.kind == Kind::Seek)
            checkSeek(walk);
        else if (walk.kind == Kind::CueTrackPositions)
            checkCue(walk);
        return !stopped(walk.element.start);
    }
    switch (walk.kind) {
    case Kind::Seek:
    case Kind::CueTrackPositions:
        checkOrKeep(walk);
        if (stopped(walk.element.start))
            return false;
        break;
    case Kind::EbmlHeader:
        // Another format that is built of EBML too.
        if (walk.element.start == 0 && walk.docType != "matroska" && walk.docType != "webm") {
            m_notMatroska = true;
            return false;
        }
        if (walk.maxSizeLength && (*walk.maxSizeLength < 1 || *walk.maxSizeLength > 8)) {
            structureBroken();
            return false;
        }
        m_reader.setMaxSizeLength(int(walk.maxSizeLength.value_or(8)));
        break;
    case Kind::TrackEntry:
        if (!walk.track || *walk.track == 0) {
            structureBroken();
            return false;
        }
        if (m_tracks.size() < TracksKept) {
            const auto place = std::lower_bound(m_tracks.begin(), m_tracks.end(), *walk.track);
            if (place == m_tracks.end() || *place != *walk.track)
                m_tracks.insert(place, *walk.track);
        }
        break;
    case Kind::Tracks:
        // Blocks of any track are taken while the list is unknown, or longer than kept.
        m_anyTrack = m_tracks.empty() || m_tracks.size() >= TracksKept;
        break;
    case Kind::BlockGroup:
        if (walk.blocks != 1) {
            structureBroken();
            return false;
        }
        break;
    default:
        break;
    }
    return checkCrc(walk);
}

bool MatroskaScanner::checkBlock(const Walk &parent, const Element &block)
{
    // Damage after a block group's header may have begun anywhere in the group.
    const qint64 holder = parent.kind == Kind::BlockGroup ? parent.element.start : block.start;
    if (block.size < 4) {
        structureBroken();
        return false;
    }
    const qint64 count = qint64(std::min<quint64>(block.size, LongestBlockHeader));
    if (count > m_length - block.dataStart()) {
        damageAt(holder); // the file ends inside the block's own header
        return false;
    }
    unsigned char bytes[LongestBlockHeader];
    if (!read(block.dataStart(), reinterpret_cast<char *>(bytes), count))
        return false;
    const int trackLength = EbmlReader::vintLength(bytes[0]);
    if (trackLength == 0 || quint64(trackLength) + 3 > block.size) {
        structureBroken();
        return false;
    }
    quint64 track = bytes[0] & (0xFF >> trackLength);
    for (int i = 1; i < trackLength; ++i)
        track = track << 8 | bytes[i];
    const quint8 flags = bytes[trackLength + 2];
    const quint8 reserved = block.id == Id::SimpleBlock ? SimpleBlockReserved : BlockReserved;
    if (!hasTrack(track) || (flags & reserved)) {
        structureBroken();
        return false;
    }
    ++m_blocks;
    if (m_seenBlocks.size() < SeenBlocksKept)
        m_seenBlocks.push_back({holder, track});
    else if (m_blocksSeenEnd > holder)
        m_blocksSeenEnd = holder;
    // A block that makes sense says nothing about the media after its header: damage met
    // next may have begun anywhere in it.
    m_suspectFrom = holder;
    if (block.end() > m_length) {
        damageAt(holder); // the file ends inside it
        return false;
    }
    return true;
}

// A checksum covers its parent's data after it. Those of clusters and block groups cover the
// media, which this scan does not read; the others cover headers.
bool MatroskaScanner::checkCrc(const Walk &walk)
{
    const bool coversMedia
        = walk.kind == Kind::Segment || walk.kind == Kind::Cluster || walk.kind == Kind::BlockGroup;
    if (!walk.crc || coversMedia || walk.element.unknownSize || walk.end > m_length)
        return true;
    const qint64 from = walk.crcEnd;
    Crc32 crc;
    char chunk[CrcChunk];
    for (qint64 at = from; at < walk.end; at += CrcChunk) {
        tick(at);
        const qint64 count = std::min(CrcChunk, walk.end - at);
        if (m_failure || !read(at, chunk, count))
            return false;
        crc.add(chunk, count);
    }
    ++m_checksums;
    if (crc.value() != *walk.crc) {
        damageAt(from);
        return false;
    }
    return true;
}

// A pointer back to what the walk has met is checked at once; a list that points forward
// is walked again once the whole structure is known.
void MatroskaScanner::checkOrKeep(const Walk &entry)
{
    if (!m_list)
        return;
    const std::optional<quint64> position = entry.position;
    const std::optional<qint64> target = position ? pointedAt(*position) : std::nullopt;
    if (target && *target >= m_list->element.start) {
        if (!m_listKept && m_pointerLists.size() < PointerListsKept)
            m_pointerLists.push_back(*m_list);
        m_listKept = true;
        return;
    }
    if (entry.kind == Kind::Seek)
        checkSeek(entry);
    else
        checkCue(entry);
}

void MatroskaScanner::checkPointers()
{
    m_pass = Pass::Pointers;
    for (const PointerList &list : m_pointerLists) {
        // In file order: once one lies beyond the damage, all that follow do.
        if (stopped(list.element.start))
            return;
        m_segmentData = list.segmentData;
        (void)walk(list.element, list.kind, Unbounded);
        if (m_failure)
            return;
    }
}

void MatroskaScanner::checkSeek(const Walk &seek)
{
    if (!seek.seekId || !seek.position) {
        damageAt(seek.element.start);
        return;
    }
    const std::optional<qint64> target = pointedAt(*seek.position);
    if (!target) {
        damageAt(m_length);
        return;
    }
    if (!beyondLimit(*target) && !elementAt(*target, *seek.seekId))
        damageAt(seek.element.start);
}

void MatroskaScanner::checkCue(const Walk &positions)
{
    if (!positions.track || !positions.position) {
        damageAt(positions.element.start);
        return;
    }
    const std::optional<qint64> cluster = pointedAt(*positions.position);
    if (!cluster) {
        damageAt(m_length);
        return;
    }
    if (beyondLimit(*cluster))
        return;
    std::optional<Element> found;
    if (!elementAt(*cluster, Id::Cluster, &found)) {
        damageAt(positions.element.start);
        return;
    }
    if (!positions.relative || m_failure)
        return;
    // The block counts from the cluster's data.
    const qint64 room = m_length - found->dataStart();
    if (room <= 0 || *positions.relative >= quint64(room)) {
        damageAt(m_length);
        return;
    }
    const qint64 block = found->dataStart() + qint64(*positions.relative);
    if (!beyondLimit(block) && !blockAt(block, *positions.track))
        damageAt(positions.element.start);
}

std::optional<qint64> MatroskaScanner::pointedAt(quint64 position)
{
    if (m_segmentData >= m_length || position >= quint64(m_length - m_segmentData))
        return std::nullopt;
    return m_segmentData + qint64(position);
}

bool MatroskaScanner::elementAt(qint64 at, quint32 id, std::optional<Element> *found)
{
    if (at < m_seenEnd) {
        // The walk met every top-level element here: a position it did not meet holds none.
        const auto seen = std::lower_bound(
            m_seen.cbegin(), m_seen.cend(), at,
            [](const SeenElement &element, qint64 start) { return element.start < start; });
        if (seen == m_seen.cend() || seen->start != at || seen->id != id)
            return false;
        if (found) {
            Element element;
            element.verdict = Element::Verdict::Valid;
            element.start = at;
            element.id = id;
            element.headerLength = seen->headerLength;
            *found = element;
        }
        return true;
    }
    const Expected<Element> read = m_reader.element(at);
    if (!read) {
        m_failure = read.failure();
        return false;
    }
    if (read->verdict != Element::Verdict::Valid || read->id != id)
        return false;
    if (found)
        *found = *read;
    return true;
}

// Whether a block of `track`, or a group that holds one, stands at `at`.
bool MatroskaScanner::blockAt(qint64 at, quint64 track)
{
    if (at < m_blocksSeenEnd) {
        const auto seen = std::lower_bound(
            m_seenBlocks.cbegin(), m_seenBlocks.cend(), at,
            [](const SeenBlock &block, qint64 start) { return block.start < start; });
        return seen != m_seenBlocks.cend() && seen->start == at && seen->track == track;
    }
    const Expected<Element> read = m_reader.element(at);
    if (!read) {
        m_failure = read.failure();
        return false;
    }
    if (read->verdict != Element::Verdict::Valid)
        return false;
    if (read->id == Id::BlockGroup)
        return true;
    if (read->id != Id::SimpleBlock || read->dataStart() >= m_length)
        return false;
    unsigned char bytes[8];
    const qint64 count = std::min<qint64>(8, m_length - read->dataStart());
    if (!this->read(read->dataStart(), reinterpret_cast<char *>(bytes), count))
        return false;
    const int trackLength = EbmlReader::vintLength(bytes[0]);
    if (trackLength == 0 || trackLength > count)
        return false;
    quint64 number = bytes[0] & (0xFF >> trackLength);
    for (int i = 1; i < trackLength; ++i)
        number = number << 8 | bytes[i];
    return number == track;
}

bool MatroskaScanner::hasTrack(quint64 track) const
{
    if (track == 0)
        return false;
    return m_anyTrack || std::binary_search(m_tracks.cbegin(), m_tracks.cend(), track);
}

void MatroskaScanner::remember(const Element &element)
{
    if (m_seen.size() < SeenElementsKept)
        m_seen.push_back({element.start, element.id, element.headerLength});
    else if (m_seenEnd > element.start)
        m_seenEnd = element.start;
}

bool MatroskaScanner::stopped(qint64 position) const
{
    return m_failure || m_notMatroska || beyondLimit(position);
}

bool MatroskaScanner::beyondLimit(qint64 position) const
{
    return m_damage >= 0 && position >= m_damage;
}

bool MatroskaScanner::read(qint64 offset, char *data, qint64 count)
{
    if (Expected<void> got = m_reader.read(offset, data, count); !got)
        m_failure = got.failure();
    return !m_failure;
}

std::optional<quint64> MatroskaScanner::unsignedValue(const Element &element)
{
    const Expected<quint64> value = m_reader.unsignedValue(element);
    if (!value) {
        m_failure = value.failure();
        return std::nullopt;
    }
    return *value;
}

void MatroskaScanner::headerBroken(const Element &element)
{
    switch (element.verdict) {
    case Element::Verdict::Zeros:
        zerosFrom(element.start);
        break;
    case Element::Verdict::Truncated:
    case Element::Verdict::Invalid:
    case Element::Verdict::Valid:
        structureBroken();
        break;
    }
}

void MatroskaScanner::structureBroken()
{
    damageAt(m_suspectFrom);
}

// Zeros where a header belongs are the commonest damage: the part of a download that never
// came. They began where the run of zeros that reaches `at` begins, which may be inside the
// data before it; a run that goes back too far to follow counts from that data's start. A
// short run is taken for media that a walk gone astray landed in: damage came before it.
void MatroskaScanner::zerosFrom(qint64 at)
{
    char block[4096];
    qint64 ahead = 0;
    while (ahead < ShortestZeroRun && at + ahead < m_length) {
        const qint64 count
            = std::min({qint64(sizeof block), ShortestZeroRun - ahead, m_length - at - ahead});
        if (!read(at + ahead, block, count))
            return;
        const qint64 zeros
            = std::find_if(block, block + count, [](char c) { return c != 0; }) - block;
        ahead += zeros;
        if (zeros < count)
            break;
    }
    const bool toTheEnd = at + ahead == m_length;

    const qint64 from = std::max(m_suspectFrom, at - ZeroRunFollowed);
    qint64 end = at;
    while (end > from && !m_failure) {
        const qint64 count = std::min<qint64>(sizeof block, end - from);
        if (!read(end - count, block, count))
            return;
        qint64 i = count - 1;
        while (i >= 0 && block[i] == 0)
            --i;
        if (i >= 0) {
            const qint64 runStart = end - count + i + 1;
            if (toTheEnd || at + ahead - runStart >= ShortestZeroRun)
                damageAt(runStart);
            else
                structureBroken();
            return;
        }
        end -= count;
    }
    structureBroken();
}

void MatroskaScanner::damageAt(qint64 offset)
{
    if (m_damage < 0 || offset < m_damage)
        m_damage = offset;
}

void MatroskaScanner::tick(qint64 position)
{
    if (++m_steps % StepsPerYield != 0)
        return;
    if (m_hooks->progress && m_pass == Pass::Structure)
        m_hooks->progress(qMin(position, m_length), m_length);
    if (m_hooks->yield)
        m_hooks->yield();
    // A close or a termination signal ends the scan here.
    if (m_hooks->stopAsked())
        m_failure = RepairFailure::interrupted(m_path);
}
