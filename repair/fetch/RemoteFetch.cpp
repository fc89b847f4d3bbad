#include "RemoteFetch.h"

#include "ContentRange.h"

#include <QThread>

#include <algorithm>

namespace {

// How often the window gets its events while bytes pour in.
const qint64 YieldIntervalMs = 20;
// The pause before the first resume; each later one doubles, up to the longest.
const qint64 FirstPauseMs = 250;
const qint64 LongestPauseMs = 8000;

bool isStrong(const QByteArray &etag)
{
    return !etag.isEmpty() && !etag.startsWith("W/");
}

} // namespace

QByteArray RemoteVersion::ifRange() const
{
    return isStrong(etag) ? etag : lastModified;
}

RemoteFetch::RemoteFetch(const FetchPlan &plan, const FetchSink &sink, const CopyHooks &hooks)
    : m_plan(plan), m_sink(sink), m_hooks(hooks), m_version(plan.known), m_held(plan.heldLength)
{
    m_transfer.onAnswer = [this](const CurlTransfer::Answer &answer) { return judge(answer); };
    m_transfer.onBody = [this](const char *data, qint64 count) { return take(data, count); };
    m_transfer.onWait = [this] { return keepGoing(); };
}

RepairFailure RemoteFetch::fault(const QString &description) const
{
    return RepairFailure::refusal(RepairFailure::Reason::ServerFault, description, m_plan.address,
                                  RepairFailure::ServerFault);
}

RepairFailure RemoteFetch::changed() const
{
    return fault(tr("The file at %1 changed on the server while it was being fetched; bytes of "
                    "two versions are never joined")
                     .arg(m_plan.address));
}

bool RemoteFetch::fail(const RepairFailure &failure)
{
    if (!m_failure)
        m_failure = failure;
    return false;
}

Expected<void> RemoteFetch::run()
{
    m_sinceYield.start();
    int failures = 0;
    while (!m_version.isKnown() || m_held < m_version.total) {
        const qint64 before = m_held;
        const CurlTransfer::Ending ending = attempt();
        if (m_failure)
            return *m_failure;
        const bool answered = m_attempt.position >= 0;
        const bool progressed = m_held > before;
        using Ending = CurlTransfer::Ending;
        switch (ending) {
        case Ending::Completed:
            if (!answered)
                return fault(tr("The server at %1 sent no answer to judge").arg(m_plan.address));
            if (m_attempt.position != m_attempt.last + 1) {
                return fault(tr("The server at %1 ended its answer at byte %2, before the "
                                "byte %3 it announced")
                                 .arg(m_plan.address, QString::number(m_attempt.position),
                                      QString::number(m_attempt.last + 1)));
            }
            // A server may send the rest in several ranges; one that brings nothing new
            // would be asked for the same bytes for ever.
            if (!progressed && m_held < m_version.total) {
                return fault(tr("The server at %1 sent no bytes beyond byte %2")
                                 .arg(m_plan.address, QString::number(m_held)));
            }
            failures = 0;
            continue;
        case Ending::Stopped:
            return RepairFailure::interrupted(m_plan.shownAs);
        case Ending::TooManyRedirects:
            return fault(tr("The address %1 was redirected more than %2 times")
                             .arg(m_plan.address, QString::number(CurlTransfer::MostRedirects)));
        case Ending::Unreachable:
            // A server never reached is not there; one that answered may be restarting.
            if (!m_answered) {
                return fault(tr("The server at %1 cannot be reached: %2")
                                 .arg(m_plan.address, m_transfer.errorText()));
            }
            [[fallthrough]];
        case Ending::Dropped:
            if (progressed)
                failures = 0;
            if (++failures > m_plan.retries) {
                return RepairFailure::refusal(
                    RepairFailure::Reason::ConnectionLost,
                    tr("The connection to %1 broke %2 times in a row (%3); the %4 bytes fetched "
                       "so far are kept for the next run")
                        .arg(m_plan.address, QString::number(failures), m_transfer.errorText(),
                             QString::number(m_held - m_plan.goodPartLength)),
                    m_plan.address, RepairFailure::ServerFault);
            }
            if (!pause(failures))
                return RepairFailure::interrupted(m_plan.shownAs);
            continue;
        case Ending::Failed:
            break;
        }
        return fault(tr("%1 cannot be fetched: %2").arg(m_plan.address, m_transfer.errorText()));
    }
    return {};
}

CurlTransfer::Ending RemoteFetch::attempt()
{
    m_attempt = Attempt();
    m_attempt.from = m_held - std::min(m_held, Overlap);
    m_attempt.expected.resize(m_held - m_attempt.from);
    if (const Expected<void> read
        = m_sink.readHeld(m_attempt.from, m_attempt.expected.data(), m_attempt.expected.size());
        !read) {
        fail(read.failure());
        return CurlTransfer::Ending::Stopped;
    }
    const QByteArray ifRange = m_version.isKnown() ? m_version.ifRange() : QByteArray();
    m_attempt.ifRangeSent = !ifRange.isEmpty();
    return m_transfer.perform(m_plan.address, m_attempt.from, ifRange);
}

bool RemoteFetch::judge(const CurlTransfer::Answer &answer)
{
    if (answer.redirects > 0 && answer.address != m_saidAddress) {
        m_saidAddress = answer.address;
        if (m_sink.redirected)
            m_sink.redirected(answer.address);
    }
    const QByteArray encoding = answer.contentEncoding.toLower();
    if (!encoding.isEmpty() && encoding != "identity") {
        return fail(fault(tr("The server at %1 sent the file compressed (%2), not as its bytes")
                              .arg(m_plan.address, QString::fromLatin1(answer.contentEncoding))));
    }
    const RemoteVersion version{-1, answer.etag, answer.lastModified};
    switch (answer.status) {
    case 206:
        return judgeRange(answer, version);
    case 200:
        return judgeWhole(answer, version);
    case 416:
        return fail(RepairFailure::refusal(
            RepairFailure::Reason::RemoteNotLonger,
            tr("The file at %1 is not longer than the good part %2: the server has no bytes from "
               "byte %3 on")
                .arg(m_plan.address, m_plan.shownAs, QString::number(m_attempt.from + 1)),
            m_plan.address));
    default:
        return fail(fault(tr("The server at %1 answered with HTTP status %2 instead of the "
                             "file's bytes")
                              .arg(m_plan.address, QString::number(answer.status))));
    }
}

bool RemoteFetch::judgeRange(const CurlTransfer::Answer &answer, RemoteVersion version)
{
    const std::optional<ContentRange> range = ContentRange::Parse(answer.contentRange);
    if (!range) {
        return fail(fault(tr("The server at %1 sent part of the file without saying which part "
                             "(Content-Range: %2)")
                              .arg(m_plan.address, QString::fromLatin1(answer.contentRange))));
    }
    if (range->first > m_attempt.from) {
        return fail(fault(tr("The server at %1 sent the bytes from byte %2 on when asked for "
                             "those from byte %3 on")
                              .arg(m_plan.address, QString::number(range->first + 1),
                                   QString::number(m_attempt.from + 1))));
    }
    if (range->total < 0) {
        return fail(
            fault(tr("The server at %1 does not say how long the file is").arg(m_plan.address)));
    }
    if (answer.contentLength >= 0 && answer.contentLength != range->length()) {
        return fail(
            fault(tr("The server at %1 announced bytes %2 to %3 and sends %4 bytes, "
                     "not the %5 of them")
                      .arg(m_plan.address, QString::number(range->first + 1),
                           QString::number(range->last + 1), QString::number(answer.contentLength),
                           QString::number(range->length()))));
    }
    version.total = range->total;
    // A 206 to If-Range is the same version by the server's word; ours is in the validators.
    if (!acceptVersion(version))
        return false;
    m_attempt.position = range->first;
    m_attempt.last = range->last;
    m_answered = true;
    return true;
}

bool RemoteFetch::judgeWhole(const CurlTransfer::Answer &answer, RemoteVersion version)
{
    // The whole file in reply to If-Range: the server's file is not the one it was.
    if (m_attempt.ifRangeSent && !version.sameValidators(m_version))
        return fail(changed());
    if (!m_plan.wholeAllowed) {
        const QString cost = answer.contentLength >= 0
                                 ? tr("all %1 bytes of it").arg(answer.contentLength)
                                 : tr("the whole file, of a length it does not say");
        const qint64 missing = answer.contentLength - m_plan.goodPartLength;
        return fail(RepairFailure::refusal(
            RepairFailure::Reason::RangesIgnored,
            tr("The server at %1 ignores requests for part of a file: fetching the rest would "
               "download %2, for %3")
                .arg(m_plan.address, cost,
                     missing > 0 ? tr("%1 missing bytes").arg(missing) : tr("the missing bytes")),
            m_plan.address, RepairFailure::ServerFault));
    }
    if (answer.contentLength < 0) {
        return fail(fault(tr("The server at %1 sends the whole file without saying how long it is")
                              .arg(m_plan.address)));
    }
    version.total = answer.contentLength;
    if (!acceptVersion(version))
        return false;
    m_attempt.position = 0;
    m_attempt.last = answer.contentLength - 1;
    m_answered = true;
    return true;
}

bool RemoteFetch::acceptVersion(const RemoteVersion &version)
{
    if (m_version.isKnown()) {
        if (version.total != m_version.total) {
            return fail(fault(tr("The length of the file at %1 changed from %2 to %3 bytes "
                                 "between two requests")
                                  .arg(m_plan.address, QString::number(m_version.total),
                                       QString::number(version.total))));
        }
        if (!version.sameValidators(m_version))
            return fail(changed());
    }
    if (version.total <= m_plan.goodPartLength) {
        return fail(RepairFailure::refusal(
            RepairFailure::Reason::RemoteNotLonger,
            tr("The file at %1 is not longer than the good part %2: it has %3 bytes")
                .arg(m_plan.address, m_plan.shownAs, QString::number(version.total)),
            m_plan.address));
    }
    if (m_held > version.total) {
        return fail(fault(tr("The file at %1 is shorter than the %2 bytes fetched from it before")
                              .arg(m_plan.address, QString::number(m_held))));
    }
    m_version = version;
    if (const Expected<void> noted = m_sink.versionKnown(m_version); !noted)
        return fail(noted.failure());
    return true;
}

bool RemoteFetch::compare(const char *data, qint64 count)
{
    qint64 position = m_attempt.position;
    // The part of the good part that the user chose to keep anyway is not compared again.
    if (m_plan.differentJoinAccepted && position < m_plan.goodPartLength) {
        const qint64 skipped = std::min(count, m_plan.goodPartLength - position);
        data += skipped;
        count -= skipped;
        position += skipped;
    }
    const char *expected = m_attempt.expected.constData() + (position - m_attempt.from);
    const auto differs = std::mismatch(data, data + count, expected).first;
    if (differs == data + count)
        return true;
    const qint64 at = position + (differs - data);
    if (at < m_plan.goodPartLength) {
        return fail(RepairFailure::refusal(
                        RepairFailure::Reason::JoinDiffers,
                        tr("The file at %1 does not match the good part before byte %2. It may "
                           "be another file or another version.")
                            .arg(m_plan.address, QString::number(at + 1)),
                        m_plan.address)
                        .at(at));
    }
    // Beyond the good part the held bytes came from this server: it now sends others.
    return fail(changed());
}

bool RemoteFetch::take(const char *data, qint64 count)
{
    m_received += count;
    if (m_attempt.position < 0)
        return fail(fault(tr("The server at %1 sent bytes before its answer").arg(m_plan.address)));
    while (count > 0) {
        qint64 taken = 0;
        const qint64 position = m_attempt.position;
        if (position > m_attempt.last) {
            return fail(fault(
                tr("The server at %1 sent more bytes than the %2 it announced")
                    .arg(m_plan.address, QString::number(m_attempt.last + 1 - m_attempt.from))));
        } else if (position < m_attempt.from) {
            // Bytes before those asked for are the good part's; the overlap proves the join.
            taken = std::min(count, m_attempt.from - position);
        } else if (position < m_held) {
            taken = std::min(count, m_held - position);
            if (!compare(data, taken))
                return false;
        } else {
            taken = std::min(count, m_attempt.last + 1 - position);
            if (const Expected<void> written = m_sink.write(position, data, taken); !written)
                return fail(written.failure());
            m_held += taken;
        }
        m_attempt.position += taken;
        data += taken;
        count -= taken;
    }
    if (m_sinceYield.elapsed() < YieldIntervalMs)
        return true;
    return keepGoing();
}

bool RemoteFetch::keepGoing()
{
    m_sinceYield.restart();
    if (m_hooks.yield)
        m_hooks.yield();
    if (m_hooks.progress && m_version.isKnown())
        m_hooks.progress(m_held - m_plan.goodPartLength, m_version.total - m_plan.goodPartLength);
    return !m_hooks.stopAsked();
}

bool RemoteFetch::pause(int failures)
{
    const qint64 pauseMs = std::min(LongestPauseMs, FirstPauseMs << std::min(failures - 1, 8));
    QElapsedTimer paused;
    paused.start();
    while (paused.elapsed() < pauseMs) {
        if (!keepGoing())
            return false;
        QThread::msleep(10);
    }
    return true;
}
