#include "Mp4Scanner.h"

#include "FileProbe.h"

#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <limits>
#include <memory>

namespace {

// Headers sit close together in the index and far apart around the media data: a small
// block serves both. Fragment entries are read straight through, so they get a bigger one.
const qint64 HeaderBlock = 4096;
const qint64 EntryBlock = 16384;
// A run of small samples is read through one big block; of a large sample only its first
// bytes are wanted, so it gets a small block, not one that would be thrown away unread.
const qint64 SmallSamplesBlock = 65536;
const qint64 LargeSampleBlock = 4096;
const quint32 LargeSample = 32768;
// How many steps pass between two hand-overs to the window.
const quint64 StepsPerYield = 1024;
// Kept from the walk: tracks (each reads its tables through three blocks of 16 KB), track
// defaults, media data boxes and the runs of one fragment; about 5 MB at most.
const size_t TracksKept = 64;
const size_t DefaultsKept = 64;
const size_t MediaDataKept = 65536;
const size_t RunsKept = 4096;
// How far back into the data before it a run of zeros is followed.
const qint64 ZeroRunFollowed = 1024 * 1024;
// A movie box the walk could not reach is looked for this far back from the file's end.
const qint64 MovieSearched = 32 * 1024 * 1024;
const qint64 SearchBlock = 65536;
// Headers a search may read in all: candidates that nest could otherwise cost the square of
// the bytes searched.
const qint64 SearchHeaders = 1000000;
// A visual sample entry holds 78 bytes of fields before its child boxes.
const qint64 VisualEntryFields = 78;
const qint64 MaxPosition = std::numeric_limits<qint64>::max() / 4;

const quint32 Ftyp = boxType("ftyp");
const quint32 Styp = boxType("styp");
const quint32 Moov = boxType("moov");
const quint32 Mdat = boxType("mdat");
const quint32 Moof = boxType("moof");
const quint32 Mfra = boxType("mfra");
const quint32 Free = boxType("free");
const quint32 Skip = boxType("skip");
const quint32 Wide = boxType("wide");
const quint32 Pnot = boxType("pnot");
const quint32 Trak = boxType("trak");
const quint32 Tkhd = boxType("tkhd");
const quint32 Mdia = boxType("mdia");
const quint32 Minf = boxType("minf");
const quint32 Stbl = boxType("stbl");
const quint32 Stsd = boxType("stsd");
const quint32 Stsz = boxType("stsz");
const quint32 Stz2 = boxType("stz2");
const quint32 Stsc = boxType("stsc");
const quint32 Stco = boxType("stco");
const quint32 Co64 = boxType("co64");
const quint32 Mvex = boxType("mvex");
const quint32 Trex = boxType("trex");
const quint32 Mvhd = boxType("mvhd");
const quint32 Traf = boxType("traf");
const quint32 Tfhd = boxType("tfhd");
const quint32 Trun = boxType("trun");
const quint32 Tfra = boxType("tfra");
const quint32 Mfro = boxType("mfro");
const quint32 AvcC = boxType("avcC");
const quint32 HvcC = boxType("hvcC");

// Track fragment header and track run flags.
const quint32 BaseDataOffsetPresent = 0x000001;
const quint32 DescriptionIndexPresent = 0x000002;
const quint32 DefaultDurationPresent = 0x000008;
const quint32 DefaultSizePresent = 0x000010;
const quint32 DefaultFlagsPresent = 0x000020;
const quint32 DefaultBaseIsMoof = 0x020000;
const quint32 DataOffsetPresent = 0x000001;
const quint32 FirstSampleFlagsPresent = 0x000004;
const quint32 SampleDurationPresent = 0x000100;
const quint32 SampleSizePresent = 0x000200;
const quint32 PerSampleFields = 0x000F00;

quint32 be32(const char *bytes)
{
    return qFromBigEndian<quint32>(bytes);
}

quint64 be64(const char *bytes)
{
    return qFromBigEndian<quint64>(bytes);
}

qint64 clampedPosition(quint64 value)
{
    return qint64(std::min<quint64>(value, quint64(MaxPosition)));
}

// start + count * size, or a position past every file when that is further.
qint64 endOf(qint64 start, quint64 count, quint64 size)
{
    const quint64 bytes = count * size; // both below 2^32: no overflow
    if (start < 0 || bytes > quint64(MaxPosition - std::min(start, MaxPosition)))
        return MaxPosition;
    return start + qint64(bytes);
}

bool allZero(const char *bytes, qint64 count)
{
    return count > 0 && std::all_of(bytes, bytes + count, [](char c) { return c == 0; });
}

bool isTopLevelType(quint32 type)
{
    static const quint32 types[] = {Ftyp,
                                    Styp,
                                    Moov,
                                    Mdat,
                                    Moof,
                                    Mfra,
                                    Free,
                                    Skip,
                                    Wide,
                                    Pnot,
                                    boxType("uuid"),
                                    boxType("meta"),
                                    boxType("sidx"),
                                    boxType("ssix"),
                                    boxType("prft"),
                                    boxType("emsg"),
                                    boxType("pdin")};
    return std::find(std::begin(types), std::end(types), type) != std::end(types);
}

} // namespace

Mp4Scanner::Mp4Scanner(const QString &path)
    : m_path(path), m_headers(m_file, HeaderBlock), m_entries(m_file, EntryBlock),
      m_smallSamples(m_file, SmallSamplesBlock), m_largeSamples(m_file, LargeSampleBlock)
{
}

bool Mp4Scanner::startsLikeMp4(const QByteArray &head)
{
    if (head.size() < 8)
        return false;
    const quint32 type = be32(head.constData() + 4);
    for (quint32 first : {Ftyp, Styp, Moov, Mdat, Moof, Free, Skip, Wide, Pnot}) {
        if (type == first)
            return true;
    }
    return false;
}

QString Mp4Scanner::notAnMp4Message(const QString &path)
{
    return tr("%1 is not an MP4 or QuickTime file").arg(QFileInfo(path).fileName());
}

Mp4Scanner::NalFormat Mp4Scanner::Track::format(quint32 description) const
{
    if (description == 0 || description > formats.size())
        return {};
    return formats[description - 1];
}

Expected<ScanFinding> Mp4Scanner::scan(const CopyHooks &hooks)
{
    m_hooks = &hooks;
    m_phase = Phase::Structure;
    m_damage = -1;
    m_failure.reset();
    m_steps = 0;
    m_boxes = 0;
    m_samples = 0;
    m_nalSamples = 0;
    m_suspectFrom = 0;
    m_suspectInMediaData = false;
    m_break = {};
    m_movieSeen = false;
    m_fragmentSeen = false;
    m_movieSamplesChecked = false;
    m_noIndex = false;
    m_tracks.clear();
    m_defaults.clear();
    m_mediaData.clear();
    m_mediaDataDropped = false;
    m_runs.clear();
    m_samplesEnd = 0;
    m_provenTo = 0;
    m_mediaDataCursor = 0;

    // A folder, a device or a pipe is refused before it is opened: opening a pipe waits.
    if (const Expected<qint64> measured = FileProbe::MeasureFile(m_path); !measured)
        return measured.failure();
    if (const Expected<void> opened = m_file.openForReading(m_path); !opened)
        return opened.failure();
    const Expected<qint64> length = m_file.length();
    if (!length)
        return length.failure();
    m_length = *length;
    for (BlockReader *reader : {&m_headers, &m_entries, &m_smallSamples, &m_largeSamples})
        reader->setLength(m_length);

    char head[8];
    if (m_length < 8 || !read(m_headers, 0, head, 8) || !startsLikeMp4(QByteArray(head, 8))) {
        if (m_failure)
            return *m_failure;
        return RepairFailure::refusal(RepairFailure::Reason::NotReadable, notAnMp4Message(m_path),
                                      m_path);
    }

    walkTopLevel();
    if (!m_failure)
        checkPendingFragment();
    // Written last, the index may be there even when the walk could not reach it.
    if (!m_failure && !m_movieSeen && !m_fragmentSeen && (m_break.at >= 0 || m_damage >= 0))
        findMovieNearEnd();
    if (!m_failure && !m_movieSeen && !m_fragmentSeen) {
        // Without its index nothing in the media data can be checked; the file is whole
        // only once the rest, with the index, has been fetched.
        m_noIndex = true;
        damageAt(m_length);
    }
    if (!m_failure && !m_movieSamplesChecked) {
        m_phase = Phase::Samples;
        checkMovieSamples();
    }
    if (!m_failure)
        settleBreak();
    (void)m_file.close();
    m_tracks = {};
    m_defaults = {};
    m_mediaData = {};
    m_runs = {};

    if (m_failure)
        return *m_failure;
    if (m_hooks->progress)
        m_hooks->progress(m_length, m_length);
    ScanFinding finding;
    if (m_damage >= 0)
        finding.damage = m_damage;
    if (m_noIndex) {
        finding.checked = QCoreApplication::translate(
                              "Mp4Scanner", "%1 boxes; the file ends before its sample index, "
                                            "so no sample before its end could be checked")
                              .arg(m_boxes);
    } else {
        finding.checked
            = QCoreApplication::translate("Mp4Scanner",
                                          "%1 boxes and %2 samples, %3 of them to their NAL units")
                  .arg(m_boxes)
                  .arg(m_samples)
                  .arg(m_nalSamples);
    }
    return finding;
}

void Mp4Scanner::walkTopLevel()
{
    qint64 at = 0;
    while (at < m_length && !stopped(at)) {
        tick(at);
        Mp4Box box;
        const Mp4Box::Fit fit = readBox(at, m_length, box);
        if (m_failure)
            return;
        if (fit == Mp4Box::Fit::PastParent && isTopLevelType(box.type)) {
            damageAt(m_length); // the file ends before this box does: cut short there
        } else if (fit != Mp4Box::Fit::Inside) {
            // How far back the damage may reach is settled once the samples are checked.
            m_break = {at, m_suspectFrom, m_suspectInMediaData};
            return;
        }
        ++m_boxes;
        m_suspectFrom = box.start;
        m_suspectInMediaData = false;
        visitTopLevel(box);
        at = box.end;
    }
}

void Mp4Scanner::visitTopLevel(const Mp4Box &box)
{
    if (box.type == Moov) {
        if (!m_movieSeen) {
            m_movieSeen = true;
            parseMovie(box);
        }
    } else if (box.type == Mdat) {
        m_suspectInMediaData = true;
        if (m_mediaData.size() < MediaDataKept) {
            m_mediaData.push_back({box.start, box.dataStart(), box.end});
        } else if (!m_mediaDataDropped) {
            m_mediaDataDropped = true;
            m_beyondKept = {box.start, box.start, MaxPosition};
        }
    } else if (box.type == Moof) {
        // The movie's own samples lie before its first fragment.
        m_fragmentSeen = true;
        if (!m_movieSamplesChecked)
            checkMovieSamples();
        checkPendingFragment();
        parseFragment(box);
    } else if (box.type == Mfra) {
        checkPendingFragment();
        parseFragmentIndex(box);
    }
}

Mp4Box::Fit Mp4Scanner::readBox(qint64 at, qint64 parentEnd, Mp4Box &box, bool anyType)
{
    char bytes[32];
    const qint64 count = std::min<qint64>(sizeof bytes, m_length - at);
    if (count <= 0 || !read(m_headers, at, bytes, count))
        return Mp4Box::Fit::Short;
    return Mp4Box::parse(bytes, count, at, parentEnd, box, anyType);
}

template <typename Visit>
bool Mp4Scanner::forEachChild(const Mp4Box &parent, qint64 from, Visit visit, bool anyType)
{
    qint64 at = from;
    while (at < parent.end) {
        if (stopped(at))
            return false;
        tick(at);
        if (at >= m_length) {
            damageAt(m_length); // the parent was cut short
            return false;
        }
        // A few spare bytes at the end of a box hold no child and do no harm.
        if (parent.end - at < 8 && parent.end <= m_length)
            return true;
        Mp4Box child;
        const Mp4Box::Fit fit = readBox(at, parent.end, child, anyType);
        if (m_failure)
            return false;
        if (fit == Mp4Box::Fit::Short) {
            damageAt(m_length);
            return false;
        }
        if (fit != Mp4Box::Fit::Inside) {
            childBroken(at);
            return false;
        }
        ++m_boxes;
        if (child.end > m_length) {
            damageAt(m_length);
            return false;
        }
        // A header that makes sense says nothing about the content after it.
        m_suspectFrom = child.start;
        if (!visit(child))
            return false;
        at = child.end;
    }
    return true;
}

void Mp4Scanner::childBroken(qint64 at)
{
    char head[8];
    const qint64 count = std::min<qint64>(sizeof head, m_length - at);
    if (!read(m_headers, at, head, count))
        return;
    damageAt(allZero(head, count) ? zeroRunStart(at, m_suspectFrom) : m_suspectFrom);
}

void Mp4Scanner::parseMovie(const Mp4Box &moov)
{
    forEachChild(moov, moov.dataStart(), [this](const Mp4Box &child) {
        if (child.type == Trak)
            parseTrack(child);
        else if (child.type == Mvex)
            parseMovieExtends(child);
        return !stopped(child.start);
    });
}

void Mp4Scanner::parseTrack(const Mp4Box &trak)
{
    Track track;
    bool tables = false;
    const bool whole = forEachChild(trak, trak.dataStart(), [&](const Mp4Box &child) {
        if (child.type == Tkhd) {
            char fields[24];
            const qint64 count = std::min<qint64>(sizeof fields, child.dataSize());
            if (!read(m_headers, child.dataStart(), fields, count))
                return false;
            const qint64 idAt = count > 0 && fields[0] == 1 ? 20 : 12;
            if (count < idAt + 4) {
                damageAt(child.start);
                return false;
            }
            track.id = be32(fields + idAt);
            return true;
        }
        if (child.type != Mdia)
            return true;
        return forEachChild(child, child.dataStart(), [&](const Mp4Box &media) {
            if (media.type != Minf)
                return true;
            return forEachChild(media, media.dataStart(), [&](const Mp4Box &info) {
                if (info.type != Stbl)
                    return true;
                tables = true;
                return parseSampleTables(info, track);
            });
        });
    });
    if (whole && tables && track.tables.complete() && m_tracks.size() < TracksKept)
        m_tracks.push_back(track);
}

bool Mp4Scanner::parseSampleTables(const Mp4Box &stbl, Track &track)
{
    return forEachChild(stbl, stbl.dataStart(), [&](const Mp4Box &child) {
        if (child.type == Stsd)
            return parseSampleDescriptions(child, track);
        if (child.type == Stsz || child.type == Stz2 || child.type == Stsc || child.type == Stco
            || child.type == Co64)
            return parseTable(child, track);
        return true;
    });
}

bool Mp4Scanner::parseSampleDescriptions(const Mp4Box &stsd, Track &track)
{
    if (stsd.dataSize() < 8) {
        damageAt(stsd.start);
        return false;
    }
    size_t index = 0;
    return forEachChild(
        stsd, stsd.dataStart() + 8,
        [&](const Mp4Box &entry) {
            if (index < track.formats.size())
                track.formats[index] = nalFormatOf(entry);
            ++index;
            return !m_failure;
        },
        true);
}

bool Mp4Scanner::parseTable(const Mp4Box &box, Track &track)
{
    const bool sizes = box.type == Stsz || box.type == Stz2;
    const qint64 fieldsSize = sizes ? 12 : 8;
    char fields[12];
    if (box.dataSize() < fieldsSize) {
        damageAt(box.start);
        return false;
    }
    if (!read(m_headers, box.dataStart(), fields, fieldsSize))
        return false;
    const qint64 entriesAt = box.dataStart() + fieldsSize;
    const quint64 room = quint64(box.end - entriesAt);
    Mp4SampleTable::Layout &tables = track.tables;
    if (sizes) {
        const quint32 count = be32(fields + 8);
        const int bits = box.type == Stsz ? 32 : quint8(fields[7]);
        const quint32 uniform = box.type == Stsz ? be32(fields + 4) : 0;
        if (bits != 4 && bits != 8 && bits != 16 && bits != 32) {
            damageAt(box.dataStart() + 7);
            return false;
        }
        if (uniform == 0 && (quint64(count) * quint64(bits) + 7) / 8 > room) {
            damageAt(box.dataStart() + 8); // more entries than the box holds
            return false;
        }
        tables.sizesAt = entriesAt;
        tables.sizeCount = count;
        tables.uniformSize = uniform;
        tables.sizeBits = bits;
        return true;
    }
    const quint32 count = be32(fields + 4);
    const qint64 width = box.type == Stsc ? 12 : box.type == Co64 ? 8 : 4;
    if (quint64(count) * quint64(width) > room) {
        damageAt(box.dataStart() + 4);
        return false;
    }
    if (box.type == Stsc) {
        tables.runsAt = entriesAt;
        tables.runCount = count;
    } else {
        tables.offsetsAt = entriesAt;
        tables.offsetCount = count;
        tables.offsetBytes = int(width);
    }
    return true;
}

Mp4Scanner::NalFormat Mp4Scanner::nalFormatOf(const Mp4Box &entry)
{
    static const quint32 avc[] = {boxType("avc1"), boxType("avc2"), boxType("avc3"),
                                  boxType("avc4"), boxType("dva1"), boxType("dvav")};
    static const quint32 hevc[]
        = {boxType("hvc1"), boxType("hev1"), boxType("dvh1"), boxType("dvhe")};
    const bool isAvc = std::find(std::begin(avc), std::end(avc), entry.type) != std::end(avc);
    const bool isHevc = std::find(std::begin(hevc), std::end(hevc), entry.type) != std::end(hevc);
    if (!isAvc && !isHevc)
        return {};
    // The configuration box gives the prefix's length; without one the samples go unchecked.
    const quint32 wanted = isAvc ? AvcC : HvcC;
    const qint64 lengthField = isAvc ? 4 : 21;
    qint64 at = entry.dataStart() + VisualEntryFields;
    while (entry.end - at >= 8 && !m_failure) {
        tick(at);
        Mp4Box child;
        if (readBox(at, entry.end, child) != Mp4Box::Fit::Inside)
            return {};
        if (child.type == wanted) {
            char config[22];
            if (child.dataSize() <= lengthField
                || !read(m_headers, child.dataStart(), config, lengthField + 1) || config[0] != 1)
                return {};
            const int lengthSize = (quint8(config[lengthField]) & 3) + 1;
            if (lengthSize == 3)
                return {};
            return {lengthSize, isHevc};
        }
        at = child.end;
    }
    return {};
}

void Mp4Scanner::parseMovieExtends(const Mp4Box &mvex)
{
    forEachChild(mvex, mvex.dataStart(), [this](const Mp4Box &child) {
        if (child.type != Trex)
            return true;
        char fields[24];
        if (child.dataSize() < qint64(sizeof fields)) {
            damageAt(child.start);
            return false;
        }
        if (!read(m_headers, child.dataStart(), fields, sizeof fields))
            return false;
        if (m_defaults.size() < DefaultsKept)
            m_defaults.push_back({be32(fields + 4), be32(fields + 8), be32(fields + 16)});
        return true;
    });
}

void Mp4Scanner::findMovieNearEnd()
{
    if (m_mediaData.empty())
        return;
    const MediaData last = m_mediaData.back();
    const qint64 low = std::max(last.dataStart, m_length - MovieSearched);
    std::vector<char> block(SearchBlock);
    m_searchHeaders = 0;
    // Backwards from the end, blocks overlapping by seven bytes so that no header is split.
    qint64 end = m_length;
    while (end - low >= 8) {
        tick(end);
        if (m_failure)
            return;
        const qint64 from = std::max(low, end - SearchBlock);
        if (Expected<void> got = m_file.readAt(from, block.data(), end - from); !got) {
            m_failure = got.failure();
            return;
        }
        for (qint64 i = end - from - 8; i >= 0; --i) {
            if (be32(block.data() + i + 4) != Moov)
                continue;
            Mp4Box moov;
            if (!wholeMovieAt(from + i, moov))
                continue;
            if (moov.start < last.end) {
                // The media data's size runs over the index: bytes went missing before it.
                m_mediaData.back().end = moov.start;
                if (m_break.at < 0 || m_break.at > moov.start)
                    m_break = {moov.start, last.start, true};
            }
            ++m_boxes;
            m_movieSeen = true;
            m_suspectFrom = moov.start;
            parseMovie(moov);
            return;
        }
        if (from == low)
            return;
        end = from + 7;
    }
}

bool Mp4Scanner::wholeMovieAt(qint64 at, Mp4Box &moov)
{
    if (readBox(at, m_length, moov) != Mp4Box::Fit::Inside || moov.type != Moov)
        return false;
    bool header = false;
    qint64 child = moov.dataStart();
    while (moov.end - child >= 8 && !m_failure) {
        if (++m_searchHeaders > SearchHeaders)
            return false;
        tick(child);
        Mp4Box box;
        if (readBox(child, moov.end, box) != Mp4Box::Fit::Inside)
            return false;
        header = header || box.type == Mvhd;
        child = box.end;
    }
    return header && !m_failure;
}

void Mp4Scanner::parseFragment(const Mp4Box &moof)
{
    m_runs.clear();
    qint64 dataEnd = moof.start;
    bool first = true;
    forEachChild(moof, moof.dataStart(), [&](const Mp4Box &child) {
        if (child.type != Traf)
            return true;
        const bool whole = parseTrackFragment(child, moof, dataEnd, first);
        first = false;
        return whole;
    });
}

bool Mp4Scanner::parseTrackFragment(const Mp4Box &traf, const Mp4Box &moof, qint64 &dataEnd,
                                    bool first)
{
    bool header = false;
    qint64 base = 0;
    quint32 defaultSize = 0;
    NalFormat format;
    qint64 runEnd = 0;
    return forEachChild(traf, traf.dataStart(), [&](const Mp4Box &child) {
        if (child.type == Tfhd) {
            char fields[32];
            const qint64 count = std::min<qint64>(sizeof fields, child.dataSize());
            if (count < 8) {
                damageAt(child.start);
                return false;
            }
            if (!read(m_headers, child.dataStart(), fields, count))
                return false;
            const quint32 flags = be32(fields) & 0xFFFFFF;
            const quint32 id = be32(fields + 4);
            const qint64 needed
                = 8 + (flags & BaseDataOffsetPresent ? 8 : 0)
                  + 4
                        * std::popcount(flags
                                        & (DescriptionIndexPresent | DefaultDurationPresent
                                           | DefaultSizePresent | DefaultFlagsPresent));
            if (count < needed) {
                damageAt(child.start);
                return false;
            }
            TrackDefaults defaults;
            for (const TrackDefaults &known : m_defaults) {
                if (known.id == id)
                    defaults = known;
            }
            qint64 field = 8;
            if (flags & BaseDataOffsetPresent) {
                base = clampedPosition(be64(fields + field));
                field += 8;
            } else {
                // Data counts from the fragment's start, or follows the track before it.
                base = (flags & DefaultBaseIsMoof) || first ? moof.start : dataEnd;
            }
            quint32 description = defaults.description;
            if (flags & DescriptionIndexPresent) {
                description = be32(fields + field);
                field += 4;
            }
            if (flags & DefaultDurationPresent)
                field += 4;
            defaultSize = flags & DefaultSizePresent ? be32(fields + field) : defaults.size;
            const Track *track = trackWithId(id);
            format = track ? track->format(description) : NalFormat();
            header = true;
            runEnd = base;
            return true;
        }
        if (child.type != Trun)
            return true;
        char fields[16];
        const qint64 count = std::min<qint64>(sizeof fields, child.dataSize());
        if (!header || count < 8) {
            damageAt(child.start);
            return false;
        }
        if (!read(m_headers, child.dataStart(), fields, count))
            return false;
        const quint32 flags = be32(fields) & 0xFFFFFF;
        const quint32 samples = be32(fields + 4);
        const qint64 entriesAt = child.dataStart() + 8 + (flags & DataOffsetPresent ? 4 : 0)
                                 + (flags & FirstSampleFlagsPresent ? 4 : 0);
        const qint64 entrySize = 4 * std::popcount(flags & PerSampleFields);
        if (entriesAt > child.end
            || (entrySize > 0 && samples > quint64(child.end - entriesAt) / entrySize)) {
            damageAt(child.dataStart() + 4); // more samples than the box holds
            return false;
        }
        FragmentRun run;
        run.start = flags & DataOffsetPresent ? base + qint32(be32(fields + 8)) : runEnd;
        run.count = samples;
        run.entriesAt = entriesAt;
        run.entrySize = entrySize;
        run.defaultSize = defaultSize;
        run.format = format;
        run.trunAt = child.start;
        if (flags & SampleSizePresent) {
            run.sizeField = flags & SampleDurationPresent ? 4 : 0;
            // Where the next run and the next track's data begin depends on every size.
            quint64 bytes = 0;
            for (quint32 i = 0; i < samples && bytes <= quint64(MaxPosition); ++i) {
                tick(entriesAt);
                char size[4];
                if (!read(m_entries, entriesAt + i * entrySize + run.sizeField, size, 4))
                    return false;
                bytes += be32(size);
            }
            runEnd = endOf(run.start, 1, std::min<quint64>(bytes, quint64(MaxPosition)));
        } else {
            runEnd = endOf(run.start, samples, defaultSize);
        }
        dataEnd = runEnd;
        if (m_runs.size() < RunsKept)
            m_runs.push_back(run);
        return true;
    });
}

void Mp4Scanner::parseFragmentIndex(const Mp4Box &mfra)
{
    forEachChild(mfra, mfra.dataStart(), [&](const Mp4Box &child) {
        if (child.type == Tfra)
            return checkFragmentIndexTable(child);
        if (child.type != Mfro)
            return true;
        char fields[8];
        if (child.dataSize() < 8) {
            damageAt(child.start);
            return false;
        }
        if (!read(m_headers, child.dataStart(), fields, 8))
            return false;
        if (be32(fields + 4) != quint64(mfra.end - mfra.start)) {
            damageAt(child.dataStart() + 4); // it names the size of the box it closes
            return false;
        }
        return true;
    });
}

bool Mp4Scanner::checkFragmentIndexTable(const Mp4Box &tfra)
{
    char fields[16];
    if (tfra.dataSize() < 16) {
        damageAt(tfra.start);
        return false;
    }
    if (!read(m_headers, tfra.dataStart(), fields, 16))
        return false;
    const qint64 offsetSize = fields[0] == 1 ? 8 : 4;
    const quint32 lengths = be32(fields + 8);
    const quint32 count = be32(fields + 12);
    const qint64 entrySize
        = 2 * offsetSize + ((lengths >> 4) & 3) + ((lengths >> 2) & 3) + (lengths & 3) + 3;
    const qint64 entriesAt = tfra.dataStart() + 16;
    if (count > quint64(tfra.end - entriesAt) / entrySize) {
        damageAt(tfra.dataStart() + 12);
        return false;
    }
    for (quint32 i = 0; i < count; ++i) {
        const qint64 entryAt = entriesAt + i * entrySize;
        if (stopped(entryAt))
            return false;
        tick(entryAt);
        char field[8];
        if (!read(m_entries, entryAt + offsetSize, field, offsetSize))
            return false;
        const qint64 moofAt = clampedPosition(offsetSize == 8 ? be64(field) : be32(field));
        // Past the damage found so far, nothing can be told from what stands there.
        if (m_damage >= 0 && moofAt + 8 > m_damage)
            continue;
        char head[8];
        if (moofAt + 8 > m_length || !read(m_headers, moofAt, head, 8) || be32(head + 4) != Moof
            || be32(head) == 1 || (be32(head) != 0 && be32(head) < 8)) {
            if (m_failure)
                return false;
            damageAt(entryAt);
            return false;
        }
    }
    return true;
}

void Mp4Scanner::checkMovieSamples()
{
    m_movieSamplesChecked = true;
    struct Cursor
    {
        const Track *track;
        std::unique_ptr<Mp4SampleTable> table;
        bool active = true;
    };
    std::vector<Cursor> cursors;
    cursors.reserve(m_tracks.size());
    for (const Track &track : m_tracks)
        cursors.push_back(
            {&track, std::make_unique<Mp4SampleTable>(m_file, m_length, track.tables)});

    const auto advance = [this](Cursor &cursor) {
        const Expected<Mp4SampleTable::Step> step = cursor.table->nextChunk();
        if (!step) {
            m_failure = step.failure();
            cursor.active = false;
        } else if (*step == Mp4SampleTable::Step::Broken) {
            damageAt(cursor.table->brokenAt());
            cursor.active = false;
        } else {
            cursor.active = *step == Mp4SampleTable::Step::Chunk;
        }
    };
    for (Cursor &cursor : cursors)
        advance(cursor);
    // Chunks in file order across the tracks, so that the first damage is the one found.
    while (!m_failure) {
        Cursor *next = nullptr;
        for (Cursor &cursor : cursors) {
            if (cursor.active
                && (!next || cursor.table->chunk().offset < next->table->chunk().offset))
                next = &cursor;
        }
        if (!next || stopped(next->table->chunk().offset))
            return;
        if (checkChunk(*next->track, *next->table))
            advance(*next);
        else
            next->active = false;
    }
}

bool Mp4Scanner::checkChunk(const Track &track, Mp4SampleTable &table)
{
    const Mp4SampleTable::Chunk &chunk = table.chunk();
    const NalFormat format = track.format(chunk.description);
    if (table.uniformSizes() && (format.lengthSize == 0 || table.uniformSize() == 0)) {
        const quint32 count = table.takeUniform(chunk.samples);
        return checkUniformSamples(chunk.offset, count, table.uniformSize(), chunk.entryAt)
               && count == chunk.samples;
    }
    qint64 at = chunk.offset;
    for (quint32 i = 0; i < chunk.samples; ++i) {
        if (stopped(at))
            return false;
        tick(at);
        const Expected<std::optional<quint32>> size = table.nextSize();
        if (!size) {
            m_failure = size.failure();
            return false;
        }
        if (!*size || !checkSample(at, **size, format, chunk.entryAt))
            return false;
        at += **size;
    }
    return true;
}

void Mp4Scanner::checkPendingFragment()
{
    std::stable_sort(m_runs.begin(), m_runs.end(),
                     [](const FragmentRun &a, const FragmentRun &b) { return a.start < b.start; });
    for (const FragmentRun &run : m_runs) {
        if (stopped(run.start) || !checkRun(run))
            break;
    }
    m_runs.clear();
}

bool Mp4Scanner::checkRun(const FragmentRun &run)
{
    if (run.sizeField < 0 && (run.format.lengthSize == 0 || run.defaultSize == 0))
        return checkUniformSamples(run.start, run.count, run.defaultSize, run.trunAt);
    qint64 at = run.start;
    for (quint32 i = 0; i < run.count; ++i) {
        if (stopped(at))
            return false;
        tick(at);
        quint32 size = run.defaultSize;
        if (run.sizeField >= 0) {
            char field[4];
            if (!read(m_entries, run.entriesAt + i * run.entrySize + run.sizeField, field, 4))
                return false;
            size = be32(field);
        }
        if (!checkSample(at, size, run.format, run.trunAt))
            return false;
        at += size;
    }
    return true;
}

bool Mp4Scanner::checkUniformSamples(qint64 start, quint32 count, quint32 size, qint64 entryAt)
{
    if (count == 0 || size == 0) {
        m_samples += count;
        return true;
    }
    const qint64 end = endOf(start, count, size);
    if (start < m_samplesEnd || !mediaDataHolding(start, quint64(end - start))) {
        damageAt(entryAt);
        return false;
    }
    if (end > m_length) {
        // The first sample that does not fit in what is left of the file.
        damageAt(start + (std::max<qint64>(m_length - start, 0) / size) * size);
        return false;
    }
    m_samplesEnd = end;
    m_samples += count;
    return true;
}

bool Mp4Scanner::checkSample(qint64 start, quint32 size, NalFormat format, qint64 entryAt)
{
    if (size == 0) {
        ++m_samples;
        return true;
    }
    // Outside the media data, or over a sample before it: the index itself is wrong.
    const MediaData *mdat = mediaDataHolding(start, size);
    if (!mdat || start < m_samplesEnd) {
        damageAt(entryAt);
        return false;
    }
    const qint64 end = start + size;
    if (end > m_length) {
        damageAt(std::min(start, m_length)); // the first sample the file lacks
        return false;
    }
    if (format.lengthSize > 0 && !checkNalUnits(start, size, format, *mdat))
        return false;
    m_samplesEnd = end;
    ++m_samples;
    return true;
}

bool Mp4Scanner::checkNalUnits(qint64 start, qint64 size, NalFormat format, const MediaData &mdat)
{
    const qint64 prefix = format.lengthSize;
    const qint64 header = format.hevc ? 2 : 1;
    BlockReader &reader = size >= LargeSample ? m_largeSamples : m_smallSamples;
    const qint64 end = start + size;
    qint64 at = start;
    while (at < end) {
        tick(at);
        char head[6];
        const qint64 count = std::min(prefix + header, end - at);
        if (!read(reader, at, head, count))
            return false;
        quint64 length = 0;
        for (qint64 i = 0; i < std::min(prefix, count); ++i)
            length = length << 8 | quint8(head[i]);
        bool sound = count == prefix + header && length >= quint64(header)
                     && length <= quint64(end - at - prefix);
        if (sound) {
            // The forbidden bit is clear, and the unit's type (H.264) or temporal layer
            // (H.265) is never 0.
            const quint8 first = quint8(head[prefix]);
            sound = (first & 0x80) == 0
                    && (format.hevc ? (quint8(head[prefix + 1]) & 7) != 0 : (first & 0x1F) != 0);
        }
        if (!sound) {
            // Samples carry no header: the damage may have begun anywhere after the last
            // prefix that held.
            const qint64 floor = std::min(std::max(mdat.dataStart, m_provenTo), at);
            damageAt(allZero(head, count) ? zeroRunStart(at, floor) : floor);
            return false;
        }
        m_provenTo = at + prefix + header;
        at += prefix + qint64(length);
    }
    ++m_nalSamples;
    return true;
}

const Mp4Scanner::MediaData *Mp4Scanner::mediaDataHolding(qint64 start, quint64 size)
{
    const auto holds = [start, size](const MediaData &mdat) {
        return start >= mdat.dataStart && start < mdat.end && size <= quint64(mdat.end - start);
    };
    if (m_mediaDataCursor < m_mediaData.size() && holds(m_mediaData[m_mediaDataCursor]))
        return &m_mediaData[m_mediaDataCursor];
    const auto after = std::upper_bound(
        m_mediaData.cbegin(), m_mediaData.cend(), start,
        [](qint64 position, const MediaData &mdat) { return position < mdat.dataStart; });
    if (after != m_mediaData.cbegin() && holds(*(after - 1))) {
        m_mediaDataCursor = size_t(after - 1 - m_mediaData.cbegin());
        return &m_mediaData[m_mediaDataCursor];
    }
    // Past the media data boxes kept, a sample can only be told to lie inside the file.
    if (m_mediaDataDropped && holds(m_beyondKept))
        return &m_beyondKept;
    return nullptr;
}

const Mp4Scanner::Track *Mp4Scanner::trackWithId(quint32 id) const
{
    for (const Track &track : m_tracks) {
        if (track.id == id)
            return &track;
    }
    return nullptr;
}

bool Mp4Scanner::read(BlockReader &reader, qint64 offset, char *data, qint64 count)
{
    if (Expected<void> got = reader.read(offset, data, count); !got)
        m_failure = got.failure();
    return !m_failure;
}

bool Mp4Scanner::stopped(qint64 position) const
{
    return m_failure || (m_damage >= 0 && position >= m_damage);
}

void Mp4Scanner::damageAt(qint64 offset)
{
    if (m_damage < 0 || offset < m_damage)
        m_damage = offset;
}

// Zeros where a header or a prefix belongs are the commonest damage: the part of a
// download that never came. They began where the run of zeros that reaches `at` begins,
// which may be inside the data before it; a run that goes back too far to follow, or all
// the way to the floor, counts from the floor.
qint64 Mp4Scanner::zeroRunStart(qint64 at, qint64 floor)
{
    const qint64 from = std::max(floor, at - ZeroRunFollowed);
    char block[4096];
    qint64 end = at;
    while (end > from) {
        const qint64 count = std::min<qint64>(sizeof block, end - from);
        if (Expected<void> got = m_file.readAt(end - count, block, count); !got) {
            m_failure = got.failure();
            return floor;
        }
        for (qint64 i = count - 1; i >= 0; --i) {
            if (block[i] != 0)
                return end - count + i + 1;
        }
        end -= count;
    }
    return floor;
}

void Mp4Scanner::settleBreak()
{
    if (m_break.at < 0)
        return;
    qint64 floor = m_break.floor;
    // Prefixes that held in the media data before it show the damage began after them.
    if (m_break.afterMediaData)
        floor = std::max(floor, std::min(m_provenTo, m_break.at));
    char head[8];
    const qint64 count = std::min<qint64>(sizeof head, m_length - m_break.at);
    if (count > 0 && !read(m_headers, m_break.at, head, count))
        return;
    damageAt(allZero(head, count) ? zeroRunStart(m_break.at, floor) : floor);
}

void Mp4Scanner::tick(qint64 position)
{
    if (++m_steps % StepsPerYield != 0)
        return;
    if (m_hooks->progress) {
        const qint64 within = std::clamp<qint64>(position, 0, m_length);
        const qint64 done = m_phase == Phase::Structure ? within : m_length + within;
        m_hooks->progress(done, 2 * m_length);
    }
    if (m_hooks->yield)
        m_hooks->yield();
    // A close or a termination signal ends the scan here.
    if (m_hooks->stopAsked())
        m_failure = RepairFailure::interrupted(m_path);
}
