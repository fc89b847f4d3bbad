#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// One request for the bytes of a file from a position on, over libcurl: redirects followed
// (at most ten), proxies and certificates taken from the environment as the curl tool takes
// them, the file asked for as its bytes (no compression). It judges nothing itself; it hands
// the final answer's headers, then its body, to its callers, and says how the transfer ended.
class CurlTransfer
{
public:
    // What the final answer's headers say; empty texts where a header is missing.
    struct Answer
    {
        long status = 0;
        QByteArray contentRange;
        QByteArray contentEncoding;
        QByteArray etag;
        QByteArray lastModified;
        qint64 contentLength = -1;
        QString address; // where it came from after any redirects
        long redirects = 0;
    };

    enum class Ending {
        Completed,        // the whole answer arrived
        Stopped,          // a caller returned false
        Dropped,          // the connection broke or stalled after the request was sent
        Unreachable,      // no connection could be made
        TooManyRedirects, // more than MostRedirects
        Failed,           // anything else: a bad address, a certificate not trusted
    };

    static constexpr long MostRedirects = 10;

    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer &) = delete;
    CurlTransfer &operator=(const CurlTransfer &) = delete;

    // The final answer's headers are in; false ends the transfer.
    std::function<bool(const Answer &answer)> onAnswer;
    // Bytes of its body as they arrive; false ends the transfer.
    std::function<bool(const char *data, qint64 count)> onBody;
    // Called at least once a second however slow the server; false ends the transfer.
    std::function<bool()> onWait;

    // Asks `address` for its bytes from `from` on; with `ifRange`, only if the file is still
    // that version.
    Ending perform(const QString &address, qint64 from, const QByteArray &ifRange);

    // What went wrong, in libcurl's words, when the transfer did not complete.
    QString errorText() const { return m_errorText; }

private:
    // libcurl's callbacks, which reach the members below.
    struct Callbacks;
    friend struct Callbacks;

    bool headerLine(const QByteArray &line);
    Answer finalAnswer() const;
    QByteArray header(const char *name) const;

    void *m_handle = nullptr;
    bool m_stopped = false;
    char m_errorBuffer[256] = {};
    QString m_errorText;
};
