#pragma once

#include "RawFile.h"

#include <atomic>
#include <optional>
#include <thread>

// Brings a file's data to the disk on a thread of its own while the caller goes on, so
// that the disk's cache empties during a copy instead of all at its end.
class BackgroundSync
{
public:
    BackgroundSync() = default;
    // Waits for a sync still running: it uses the file's descriptor.
    ~BackgroundSync();
    BackgroundSync(const BackgroundSync &) = delete;
    BackgroundSync &operator=(const BackgroundSync &) = delete;

    // Starts syncing the data of `file` unless a sync is still running. Where no thread
    // can be had, it does nothing and the final sync does it all.
    void start(const RawFile &file);
    // Nothing while the last sync started still runs; once it has ended, how it went (a
    // failed one is reported once).
    std::optional<Expected<void>> finished();
    // Waits for the last sync started to end, and reports it when it failed.
    Expected<void> wait();

private:
    std::thread m_thread;
    std::atomic<bool> m_done = false;
    std::optional<Expected<void>> m_result;
};
