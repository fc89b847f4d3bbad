#pragma once

#include "RawFile.h"

#include <ctime>

// Brings a file's data to the disk while the caller goes on, through the kernel's
// asynchronous I/O, so that the disk's cache empties during a copy instead of all at its
// end. Where the kernel offers no such thing, it does nothing and the final sync does it all.
class BackgroundSync
{
public:
    BackgroundSync() = default;
    // Waits for a sync still running: it uses the file's descriptor.
    ~BackgroundSync();
    BackgroundSync(const BackgroundSync &) = delete;
    BackgroundSync &operator=(const BackgroundSync &) = delete;

    // Starts syncing the data of `file` unless a sync is still running.
    void start(const RawFile &file);
    // Whether the last sync started has ended; a failed one is reported once.
    bool finished(RawFile::Result &failure);
    // Waits for the last sync started to end, and reports it when it failed.
    RawFile::Result wait();

private:
    bool setUp();
    bool collect(const timespec *timeout, RawFile::Result &failure);

    unsigned long m_context = 0;
    bool m_unavailable = false;
    bool m_running = false;
    QString m_path;
};
