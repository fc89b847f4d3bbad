#pragma once

#include "CopyHooks.h"
#include "EbmlReader.h"
#include "RawFile.h"
#include "ScanFinding.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <optional>
#include <vector>

// Reads a Matroska or WebM file's element headers, never the media in its blocks, and tells
// where the first damage it can prove begins: an element that may not stand where it does
// or does not fit its parent, a block of a track the file does not have, a checksum that
// does not match, a file shorter than its own sizes, a seek entry or cue that points at
// nothing. Memory stays under 4 MB whatever the file holds, no size read from the file
// decides an allocation, and every step moves forward.
class MatroskaScanner
{
    Q_DECLARE_TR_FUNCTIONS(MatroskaScanner)

public:
    explicit MatroskaScanner(const QString &path);
    // A file that is no Matroska is refused with the reason NotReadable.
    Expected<ScanFinding> scan(const CopyHooks &hooks);

    static QString notMatroskaMessage(const QString &path);

private:
    using Element = EbmlReader::Element;

    // The elements whose children are walked; every other element is a leaf.
    enum class Kind {
        EbmlHeader,
        Segment,
        SeekHead,
        Seek,
        Info,
        Tracks,
        TrackEntry,
        Cues,
        CuePoint,
        CueTrackPositions,
        Tags,
        Tag,
        Attachments,
        AttachedFile,
        Chapters,
        EditionEntry,
        Cluster,
        BlockGroup,
        Leaf,
    };

    // One element whose children are being walked, and what they told so far.
    struct Walk
    {
        Kind kind = Kind::Leaf;
        Element element;
        qint64 end = 0; // where its children end; the parent's end for an unknown size
        int children = 0;
        quint32 metOnce = 0; // children that may stand only once
        int blocks = 0;
        std::optional<quint32> crc;
        qint64 crcEnd = 0; // the checksum covers the data from here to the end
        QByteArray docType;
        std::optional<quint64> maxSizeLength;
        std::optional<quint64> track;
        std::optional<quint64> position;
        std::optional<quint64> relative;
        std::optional<quint32> seekId;
    };

    // A top-level element the walk met, kept so that seek entries and cues are checked
    // against it without reading again.
    struct SeenElement
    {
        qint64 start;
        quint32 id;
        int headerLength;
    };
    struct SeenBlock
    {
        qint64 start; // of the block, or of the group that holds it
        quint64 track;
    };
    // A seek head or a cue list that points forward, walked again once the whole structure
    // is known.
    struct PointerList
    {
        Element element;
        Kind kind;
        qint64 segmentData;
    };

    enum class Pass { Structure, Pointers };

    // What an element of `parent` with this id is: a master whose children are walked, a
    // leaf, or nothing when it may not stand there.
    static std::optional<Kind> childOf(Kind parent, quint32 id);
    // Whether this id, met inside an element of unknown size, begins the next element of a
    // level above it.
    static bool endsUnknownSize(Kind kind, quint32 id);
    static bool mayHaveUnknownSize(Kind kind);
    // A bit for a child that may stand only once in its parent; 0 for the others.
    static quint32 onceOnly(Kind parent, quint32 id);

    void walkFile();
    std::optional<qint64> walk(const Element &master, Kind kind, qint64 limit);
    std::optional<qint64> visitLeaf(Walk &parent, const Element &leaf);
    bool finish(Walk &walk);
    bool checkBlock(const Walk &parent, const Element &block);
    bool checkCrc(const Walk &walk);
    void checkOrKeep(const Walk &entry);
    void checkPointers();
    void checkSeek(const Walk &seek);
    void checkCue(const Walk &positions);
    // The element that the segment data start plus `position` names, or nothing past the
    // file's end, which then is where the damage lies.
    std::optional<qint64> pointedAt(quint64 position);
    bool elementAt(qint64 at, quint32 id, std::optional<Element> *found = nullptr);
    bool blockAt(qint64 at, quint64 track);
    bool hasTrack(quint64 track) const;
    void remember(const Element &element);

    bool stopped(qint64 position) const;
    bool beyondLimit(qint64 position) const;
    bool read(qint64 offset, char *data, qint64 count);
    std::optional<quint64> unsignedValue(const Element &element);
    void headerBroken(const Element &element);
    void structureBroken();
    void zerosFrom(qint64 at);
    void damageAt(qint64 offset);
    void tick(qint64 position);

    RawFile m_file;
    QString m_path;
    const CopyHooks *m_hooks = nullptr;
    EbmlReader m_reader;
    qint64 m_length = 0;
    Pass m_pass = Pass::Structure;
    qint64 m_damage = -1;     // the first proven damage so far; -1 while there is none
    qint64 m_suspectFrom = 0; // where damage met next may have begun
    qint64 m_segmentData = 0; // the segment's positions count from here
    bool m_notMatroska = false;
    qint64 m_elements = 0;
    qint64 m_blocks = 0;
    qint64 m_checksums = 0;
    quint64 m_steps = 0;
    // The read failure or the interrupt that ends the walk early.
    std::optional<RepairFailure> m_failure;
    // The track numbers of the track list; any track is taken before it or beyond the ones
    // kept.
    std::vector<quint64> m_tracks;
    bool m_anyTrack = true;
    // Every top-level element the walk met before m_seenEnd, in file order.
    std::vector<SeenElement> m_seen;
    qint64 m_seenEnd = 0;
    // Every block the walk met before m_blocksSeenEnd, in file order.
    std::vector<SeenBlock> m_seenBlocks;
    qint64 m_blocksSeenEnd = 0;
    std::vector<PointerList> m_pointerLists;
    // The seek head or cue list being walked, and whether it is kept for a second walk.
    std::optional<PointerList> m_list;
    bool m_listKept = false;
};
