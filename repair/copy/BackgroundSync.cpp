#include "BackgroundSync.h"

#include <system_error>

BackgroundSync::~BackgroundSync()
{
    (void)wait();
}

void BackgroundSync::start(const RawFile &file)
{
    if (m_thread.joinable())
        return;
    m_done = false;
    m_result.reset();
    try {
        m_thread = std::thread([this, &file] {
            m_result = file.syncData();
            m_done = true;
        });
    } catch (const std::system_error &) {
        // Out of threads: the final sync takes all the data instead.
    }
}

std::optional<Expected<void>> BackgroundSync::finished()
{
    if (m_thread.joinable() && !m_done)
        return std::nullopt;
    return wait();
}

Expected<void> BackgroundSync::wait()
{
    if (!m_thread.joinable())
        return {};
    m_thread.join();
    // A failed sync reports its error to this sync alone, not to the final one.
    Expected<void> result = m_result.value_or(Expected<void>());
    m_result.reset();
    return result;
}
