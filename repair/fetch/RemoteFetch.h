#pragma once

#include "CopyHooks.h"
#include "CurlTransfer.h"
#include "Expected.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <functional>

// Which version of the file a server's answer comes from: its length and the validators that
// change whenever the file does.
struct RemoteVersion
{
    qint64 total = -1; // -1 until an answer said it
    QByteArray etag;
    QByteArray lastModified;

    bool isKnown() const { return total >= 0; }
    // What If-Range carries: a strong ETag, else the date; empty when neither serves (a weak
    // ETag never matches a range request).
    QByteArray ifRange() const;
    bool sameValidators(const RemoteVersion &other) const
    {
        return etag == other.etag && lastModified == other.lastModified;
    }
};

// What to fetch and what the fetched bytes must continue.
struct FetchPlan
{
    QString address;
    QString shownAs;           // the file the bytes complete, as messages name it
    qint64 goodPartLength = 0; // the bytes the user had: the join is checked against these
    qint64 heldLength = 0;     // the good part and any bytes fetched before: fetching goes on here
    RemoteVersion known;       // the version the bytes fetched before came from
    bool wholeAllowed = false; // a server that ignores ranges may send the whole file through
    bool differentJoinAccepted = false;
    int retries = 5; // a dropped connection is resumed this many times in a row
};

// Where the fetched bytes go, and how the fetcher reads back the ones it must continue.
struct FetchSink
{
    // The version an answer comes from, before any of its bytes is written; a failure ends
    // the fetch there.
    std::function<Expected<void>(const RemoteVersion &version)> versionKnown;
    // Bytes for the positions from `offset` on, always where the held bytes end.
    std::function<Expected<void>(qint64 offset, const char *data, qint64 count)> write;
    // `count` held bytes from `offset`, for the comparison with the server's.
    std::function<Expected<void>(qint64 offset, char *data, qint64 count)> readHeld;
    // The answers come from another address than the one asked, after a redirect.
    std::function<void(const QString &address)> redirected;
};

// Fetches the bytes of a file that lie beyond those held, and proves before keeping any that
// they continue them. Every request asks for the last held bytes too (up to Overlap of them),
// and the answer's bytes there must equal the held ones: the good part's last bytes on the
// first request, the bytes fetched before on a resume. Nothing is written unless the answer
// is a 206 from at or before that point (or a 200 when the whole file may stream through),
// of a file longer than the good part, of the same version as every answer before it.
class RemoteFetch
{
    Q_DECLARE_TR_FUNCTIONS(RemoteFetch)

public:
    static constexpr qint64 Overlap = 1024 * 1024;

    RemoteFetch(const FetchPlan &plan, const FetchSink &sink, const CopyHooks &hooks);

    // Until the held bytes reach the file's length. Refusals ServerFault, ConnectionLost (after
    // the retries; what was fetched stays written), RangesIgnored, RemoteNotLonger and
    // JoinDiffers (at the first byte that differs); Interrupted when the hooks ask it to stop.
    Expected<void> run();

    qint64 heldLength() const { return m_held; }
    const RemoteVersion &version() const { return m_version; }
    // Body bytes that came off the wire, skipped and compared ones included.
    qint64 bytesReceived() const { return m_received; }

private:
    struct Attempt
    {
        qint64 from = 0;      // the first byte asked for
        QByteArray expected;  // the held bytes from `from` on
        qint64 position = -1; // of the answer's next byte; -1 until it was judged
        qint64 last = -1;     // of the answer's last byte
        bool ifRangeSent = false;
    };

    CurlTransfer::Ending attempt();
    bool judge(const CurlTransfer::Answer &answer);
    bool judgeRange(const CurlTransfer::Answer &answer, RemoteVersion version);
    bool judgeWhole(const CurlTransfer::Answer &answer, RemoteVersion version);
    bool acceptVersion(const RemoteVersion &version);
    bool take(const char *data, qint64 count);
    bool compare(const char *data, qint64 count);
    bool keepGoing();
    bool pause(int failures);
    bool fail(const RepairFailure &failure);
    RepairFailure fault(const QString &description) const;
    RepairFailure changed() const;

    FetchPlan m_plan;
    const FetchSink &m_sink;
    const CopyHooks &m_hooks;
    CurlTransfer m_transfer;
    Attempt m_attempt;
    RemoteVersion m_version;
    qint64 m_held = 0;
    qint64 m_received = 0;
    QString m_saidAddress;
    bool m_answered = false; // some answer of this run was judged
    std::optional<RepairFailure> m_failure;
    QElapsedTimer m_sinceYield;
};
