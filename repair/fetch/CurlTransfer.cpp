#include "CurlTransfer.h"

#include "Version.h"

#include <curl/curl.h>

#include <memory>

namespace {

// libcurl wants its global set-up done once, before the first handle.
void initialiseOnce()
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialised)
}

// The buffer libcurl hands the body over in: large enough that a fast server costs few calls.
const long ReceiveBufferBytes = 512 * 1024;

struct HeaderListDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

void append(HeaderList &list, const QByteArray &line)
{
    curl_slist *longer = curl_slist_append(list.get(), line.constData());
    if (longer) {
        (void)list.release();
        list.reset(longer);
    }
}

} // namespace

CurlTransfer::CurlTransfer()
{
    initialiseOnce();
    m_handle = curl_easy_init();
}

CurlTransfer::~CurlTransfer()
{
    if (m_handle)
        curl_easy_cleanup(m_handle);
}

QByteArray CurlTransfer::header(const char *name) const
{
    curl_header *found = nullptr;
    // -1: the last request, the one whose answer is final after the redirects.
    if (curl_easy_header(m_handle, name, 0, CURLH_HEADER, -1, &found) != CURLHE_OK || !found)
        return {};
    return QByteArray(found->value).trimmed();
}

CurlTransfer::Answer CurlTransfer::finalAnswer() const
{
    Answer answer;
    curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_easy_getinfo(m_handle, CURLINFO_REDIRECT_COUNT, &answer.redirects);
    char *address = nullptr;
    if (curl_easy_getinfo(m_handle, CURLINFO_EFFECTIVE_URL, &address) == CURLE_OK && address)
        answer.address = QString::fromUtf8(address);
    answer.contentRange = header("Content-Range");
    answer.contentEncoding = header("Content-Encoding");
    answer.etag = header("ETag");
    answer.lastModified = header("Last-Modified");
    bool read = false;
    const qint64 length = header("Content-Length").toLongLong(&read);
    answer.contentLength = read && length >= 0 ? length : -1;
    return answer;
}

bool CurlTransfer::headerLine(const QByteArray &line)
{
    if (!line.trimmed().isEmpty())
        return true;
    // The blank line ends one answer's headers. An interim answer, and a redirect that
    // libcurl is about to follow, are not the answer to judge.
    long status = 0;
    curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200)
        return true;
    if (status >= 300 && status < 400 && !header("Location").isEmpty())
        return true;
    return !onAnswer || onAnswer(finalAnswer());
}

struct CurlTransfer::Callbacks
{
    static size_t header(char *data, size_t size, size_t count, void *transfer)
    {
        auto *self = static_cast<CurlTransfer *>(transfer);
        if (self->headerLine(QByteArray::fromRawData(data, qsizetype(size * count))))
            return size * count;
        self->m_stopped = true;
        return 0;
    }

    static size_t body(char *data, size_t size, size_t count, void *transfer)
    {
        auto *self = static_cast<CurlTransfer *>(transfer);
        if (!self->onBody || self->onBody(data, qint64(size * count)))
            return size * count;
        self->m_stopped = true;
        return 0;
    }

    static int waited(void *transfer, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        auto *self = static_cast<CurlTransfer *>(transfer);
        if (!self->onWait || self->onWait())
            return 0;
        self->m_stopped = true;
        return 1;
    }
};

CurlTransfer::Ending CurlTransfer::perform(const QString &address, qint64 from,
                                           const QByteArray &ifRange)
{
    m_stopped = false;
    m_errorText.clear();
    m_errorBuffer[0] = '\0';
    if (!m_handle) {
        m_errorText = QStringLiteral("libcurl could not be started");
        return Ending::Failed;
    }
    CURL *curl = m_handle;
    curl_easy_reset(curl);
    const QByteArray url = address.toUtf8();
    const QByteArray range = QByteArray::number(from) + '-';
    const QByteArray agent = QByteArray("Saltwick/") + Version::Display;
    HeaderList headers;
    // The file's own bytes: a compressed answer would not line up with the good part.
    append(headers, "Accept-Encoding: identity");
    if (!ifRange.isEmpty())
        append(headers, "If-Range: " + ifRange);

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, MostRedirects);
    curl_easy_setopt(curl, CURLOPT_RANGE, range.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.constData());
    // Signals belong to the program: a Ctrl-C stops the transfer through onWait.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server that sends nothing for a minute has dropped the connection in all but name.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, ReceiveBufferBytes);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    // The certificates the curl tool trusts: its own variable first, then OpenSSL's.
    const QByteArray bundle = !qgetenv("CURL_CA_BUNDLE").isEmpty() ? qgetenv("CURL_CA_BUNDLE")
                                                                   : qgetenv("SSL_CERT_FILE");
    if (!bundle.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, bundle.constData());
    const QByteArray folder = qgetenv("SSL_CERT_DIR");
    if (!folder.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAPATH, folder.constData());
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Callbacks::header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Callbacks::body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Callbacks::waited);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

    const CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK)
        return Ending::Completed;
    if (m_stopped)
        return Ending::Stopped;
    m_errorText = QString::fromUtf8(m_errorBuffer).trimmed();
    if (m_errorText.isEmpty())
        m_errorText = QString::fromUtf8(curl_easy_strerror(result));
    switch (result) {
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return Ending::Dropped;
    case CURLE_COULDNT_CONNECT:
        return Ending::Unreachable;
    case CURLE_TOO_MANY_REDIRECTS:
        return Ending::TooManyRedirects;
    default:
        return Ending::Failed;
    }
}
