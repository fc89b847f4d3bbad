#pragma once

#include "BackgroundSync.h"
#include "FetchRecord.h"
#include "Folder.h"
#include "HeldGoodPart.h"

#include <QCoreApplication>
#include <QString>

#include <functional>

// Completes a good part with the bytes of the file at a web address beyond it, and gives it
// the fixed file's name: movie.QQQ receives what it lacks of the file at the address and
// becomes movie-.avi. Only the missing bytes are asked for (and the good part's last mebibyte,
// which must match), straight into the good part, after a record of its old length; so the
// good part as it was is never lost, a fetch killed at any moment goes on at its next run from
// what is on disk, and the fixed name is taken only once every byte is synced. A refusal, a
// failure and a stop give the good part back as it was; only a connection that kept breaking
// leaves what was fetched, for the next run.
class FetchRest
{
    Q_DECLARE_TR_FUNCTIONS(FetchRest)

public:
    FetchRest(const QString &goodPartPath, const QString &address, const QString &fixedPath);

    // Refusals as the fetcher's (JoinDiffers, RangesIgnored, RemoteNotLonger, ServerFault,
    // ConnectionLost), besides the checks Merge Back makes before it writes.
    Expected<void> run(const CopyHooks &hooks);

    void acceptDifferentJoin() { m_differentJoinAccepted = true; }
    void allowWholeDownload() { m_wholeAllowed = true; }
    void setRetries(int retries) { m_retries = retries; }
    // Told the address a redirect led to.
    void setRedirectNotice(const std::function<void(const QString &)> &notice)
    {
        m_redirectNotice = notice;
    }

    QString fixedPath() const { return m_fixedPath; }
    // The good part's length as the user had it, before any fetch appended to it.
    qint64 goodPartLength() const { return m_goodPartLength; }
    qint64 bytesReceived() const { return m_bytesReceived; }

    // The length the good part had before an unfinished fetch appended to it; nothing when
    // no fetch of it is unfinished.
    static std::optional<qint64> UnfinishedFrom(const QString &goodPartPath);

private:
    Expected<void> fetch(HeldGoodPart &goodPart, const CopyHooks &hooks);
    Expected<void> noteVersion(const RawFile &goodPart, const RemoteVersion &version);
    Expected<void> append(RawFile &goodPart, qint64 offset, const char *data, qint64 count);
    Expected<void> putInPlace(HeldGoodPart &goodPart);
    void giveBack(RawFile &goodPart);

    QString m_goodPartPath;
    QString m_address;
    QString m_fixedPath;
    QString m_goodPartName;
    QString m_fixedName;
    Folder m_folder;
    std::optional<FetchRecord> m_record;
    BackgroundSync m_backgroundSync;
    qint64 m_unsynced = 0;
    qint64 m_goodPartLength = 0;
    bool m_lengthKnown = false;
    qint64 m_bytesReceived = 0;
    bool m_differentJoinAccepted = false;
    bool m_wholeAllowed = false;
    int m_retries = 5;
    std::function<void(const QString &)> m_redirectNotice;
};
