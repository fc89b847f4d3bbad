#pragma once

#include "BlockReader.h"
#include "CopyHooks.h"
#include "RawFile.h"
#include "ScanFinding.h"

#include <QCoreApplication>
#include <QString>

#include <optional>
#include <vector>

// Reads an AVI's RIFF structure and its indexes, never the media data, and tells where the
// first damage it can prove begins: chunk headers that stop making sense, a file shorter
// than its own sizes, index entries that point at chunks that are not there. Memory stays
// under 4 MB whatever the file holds, no size read from the file decides an allocation, and
// every step moves forward.
class AviScanner
{
    Q_DECLARE_TR_FUNCTIONS(AviScanner)

public:
    explicit AviScanner(const QString &path);
    // A file that is no AVI is refused with the reason NotReadable.
    Expected<ScanFinding> scan(const CopyHooks &hooks);

    static QString notAnAviMessage(const QString &path);

    // How often the last scan read the file: what its cost is counted in.
    qint64 readsMade() const { return m_headers.reads() + m_entries.reads(); }

private:
    struct Chunk
    {
        qint64 start = 0; // of the 8-byte header
        quint32 id = 0;
        quint32 size = 0; // of the data after the header
        qint64 dataStart() const { return start + 8; }
        qint64 end() const { return start + 8 + size; }
        qint64 paddedEnd() const { return end() + (size & 1); }
    };

    // A header the walk met, kept so that index entries are checked without reading again.
    struct SeenHeader
    {
        qint64 start;
        quint32 id;
        quint32 size;
    };
    struct IndexChunk
    {
        Chunk chunk;
        bool legacy;
    };

    enum class Pass { Structure, Indexes };

    void walkRiffs();
    void walkList(const Chunk &list, quint32 listType);
    void visitChild(quint32 parentType, const Chunk &child);
    void remember(const Chunk &header);
    void checkIndexes();
    void checkIndexChunk(const IndexChunk &index);
    void checkLegacyIndex(const Chunk &index);
    void checkIndex(const Chunk &index);
    void checkIndexOfIndexes(const Chunk &index, quint32 entries, quint32 chunkId);
    void checkIndexOfChunks(const Chunk &index, qint64 stride, quint32 entries, quint32 chunkId);
    bool validChildId(quint32 parentType, quint32 id) const;
    // Whether a chunk header with this id and size stands at `at`; nothing when finding out
    // would take a read beyond what the scan allows itself for the file's size.
    std::optional<bool> headerMatches(std::optional<qint64> at, quint32 id, quint32 size);
    std::optional<SeenHeader> headerBeyondKept(qint64 at);
    bool beyondLimit(std::optional<qint64> at) const;
    std::optional<quint32> readList(qint64 at); // the list type after a LIST header
    bool read(BlockReader &reader, qint64 offset, char *data, qint64 count);

    bool stopped(qint64 position) const;
    void structureBroken();
    void zerosFrom(qint64 at);
    void damageAt(qint64 offset);
    void leafChecked(const Chunk &chunk);
    void tick(qint64 position);

    RawFile m_file;
    QString m_path;
    const CopyHooks *m_hooks = nullptr;
    BlockReader m_headers;
    BlockReader m_entries;
    qint64 m_length = 0;
    Pass m_pass = Pass::Structure;
    qint64 m_damage = -1;     // the first proven damage so far; -1 while there is none
    qint64 m_suspectFrom = 0; // where damage met next may have begun
    qint64 m_moviFourcc = -1; // the legacy index counts from here
    int m_streams = 0;        // stream lists in the header
    qint64 m_chunks = 0;
    qint64 m_indexEntries = 0;
    quint64 m_steps = 0;
    // The read failure or the interrupt that ends the walk early.
    std::optional<RepairFailure> m_failure;
    // Every header the walk met before m_seenEnd, in file order, at a few MB at most.
    std::vector<SeenHeader> m_seen;
    qint64 m_seenEnd = 0;
    // Headers beyond m_seenEnd that index entries pointed at, by where they start, and the
    // reads still allowed for more.
    std::vector<SeenHeader> m_pointedBeyondKept;
    qint64 m_readsBeyondKeptLeft = 0;
    // The index chunks the walk met before m_indexesEnd; beyond it the walk runs again.
    std::vector<IndexChunk> m_indexes;
    qint64 m_indexesEnd = 0;
};
