#pragma once

#include "BlockReader.h"
#include "CopyHooks.h"
#include "Mp4Box.h"
#include "Mp4SampleTable.h"
#include "RawFile.h"
#include "ScanFinding.h"

#include <QCoreApplication>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// Reads an MP4 or QuickTime file's boxes and sample tables, and of the media data only the
// NAL length prefixes of H.264 and H.265 samples, and tells where the first damage it can
// prove begins: box headers that stop making sense, samples that lie outside the media data
// or past the file's end, samples whose NAL units do not add up to them. Samples are checked
// in file order across tracks and fragments, so that the earliest damage is the one found.
// Memory stays under 8 MB whatever the file holds, no size read from the file decides an
// allocation, and every step moves forward.
class Mp4Scanner
{
    Q_DECLARE_TR_FUNCTIONS(Mp4Scanner)

public:
    explicit Mp4Scanner(const QString &path);
    // A file that is no MP4 is refused with the reason NotReadable.
    Expected<ScanFinding> scan(const CopyHooks &hooks);

    // Whether a file's first bytes hold a box type that can begin an MP4 or QuickTime file.
    static bool startsLikeMp4(const QByteArray &head);
    static QString notAnMp4Message(const QString &path);

private:
    // How the samples of one sample entry can be checked: by their NAL length prefixes, or
    // (lengthSize 0) only by where they lie.
    struct NalFormat
    {
        int lengthSize = 0;
        bool hevc = false;
    };

    struct Track
    {
        quint32 id = 0;
        Mp4SampleTable::Layout tables;
        std::array<NalFormat, 8> formats; // of the first sample entries
        NalFormat format(quint32 description) const;
    };

    // What a movie-extends box gives the fragments of a track.
    struct TrackDefaults
    {
        quint32 id = 0;
        quint32 description = 1;
        quint32 size = 0;
    };

    // One track run of a movie fragment: samples that follow each other in the file.
    struct FragmentRun
    {
        qint64 start = 0;
        quint32 count = 0;
        qint64 entriesAt = 0;
        qint64 entrySize = 0;
        qint64 sizeField = -1; // inside an entry; -1 when every sample has the default size
        quint32 defaultSize = 0;
        NalFormat format;
        qint64 trunAt = 0;
    };

    struct MediaData
    {
        qint64 start = 0;
        qint64 dataStart = 0;
        qint64 end = 0; // as its size says, which may lie past the file's end
    };

    // The first header at the top level that made no sense, and from where the damage that
    // put it there may have begun.
    struct Break
    {
        qint64 at = -1;
        qint64 floor = 0;
        bool afterMediaData = false; // so checked samples before it narrow the floor down
    };

    enum class Phase { Structure, Samples };

    void walkTopLevel();
    void visitTopLevel(const Mp4Box &box);
    bool topLevelType(quint32 type) const;
    Mp4Box::Fit readBox(qint64 at, qint64 parentEnd, Mp4Box &box, bool anyType = false);
    // Walks the children from `from` to the parent's end, counting them; false when a child
    // made no sense (the damage is recorded) or the walk was ended.
    template <typename Visit>
    bool forEachChild(const Mp4Box &parent, qint64 from, Visit visit, bool anyType = false);
    void childBroken(qint64 at);

    void parseMovie(const Mp4Box &moov);
    void parseTrack(const Mp4Box &trak);
    bool parseSampleTables(const Mp4Box &stbl, Track &track);
    bool parseSampleDescriptions(const Mp4Box &stsd, Track &track);
    bool parseTable(const Mp4Box &box, Track &track);
    NalFormat nalFormatOf(const Mp4Box &entry);
    void parseMovieExtends(const Mp4Box &mvex);
    void findMovieNearEnd();
    bool wholeMovieAt(qint64 at, Mp4Box &moov);

    void parseFragment(const Mp4Box &moof);
    bool parseTrackFragment(const Mp4Box &traf, const Mp4Box &moof, qint64 &dataEnd, bool first);
    void parseFragmentIndex(const Mp4Box &mfra);
    bool checkFragmentIndexTable(const Mp4Box &tfra);

    void checkMovieSamples();
    // False when the track can go no further.
    bool checkChunk(const Track &track, Mp4SampleTable &table);
    void checkPendingFragment();
    bool checkRun(const FragmentRun &run);
    bool checkUniformSamples(qint64 start, quint32 count, quint32 size, qint64 entryAt);
    bool checkSample(qint64 start, quint32 size, NalFormat format, qint64 entryAt);
    bool checkNalUnits(qint64 start, qint64 size, NalFormat format, const MediaData &mdat);
    const MediaData *mediaDataHolding(qint64 start, quint64 size);
    const Track *trackWithId(quint32 id) const;

    bool read(BlockReader &reader, qint64 offset, char *data, qint64 count);
    bool stopped(qint64 position) const;
    void damageAt(qint64 offset);
    qint64 zeroRunStart(qint64 at, qint64 floor);
    void settleBreak();
    void tick(qint64 position);

    RawFile m_file;
    QString m_path;
    const CopyHooks *m_hooks = nullptr;
    BlockReader m_headers;
    BlockReader m_entries;
    BlockReader m_smallSamples;
    BlockReader m_largeSamples;
    qint64 m_length = 0;
    Phase m_phase = Phase::Structure;
    qint64 m_damage = -1; // the first proven damage so far; -1 while there is none
    std::optional<RepairFailure> m_failure;
    quint64 m_steps = 0;
    qint64 m_boxes = 0;
    qint64 m_samples = 0;
    qint64 m_nalSamples = 0;

    // Where damage met next in the structure may have begun.
    qint64 m_suspectFrom = 0;
    bool m_suspectInMediaData = false;
    Break m_break;
    bool m_movieSeen = false;
    bool m_fragmentSeen = false;
    bool m_movieSamplesChecked = false;
    bool m_noIndex = false;
    qint64 m_searchHeaders = 0;
    std::vector<Track> m_tracks;
    std::vector<TrackDefaults> m_defaults;
    std::vector<MediaData> m_mediaData; // in file order
    bool m_mediaDataDropped = false;    // more than were kept
    MediaData m_beyondKept;             // stands for those not kept
    std::vector<FragmentRun> m_runs;    // of the last fragment, checked when the next begins

    // Samples are checked in file order: bytes before these were placed and checked.
    qint64 m_samplesEnd = 0;
    qint64 m_provenTo = 0; // just past the last NAL prefix that held
    size_t m_mediaDataCursor = 0;
};
