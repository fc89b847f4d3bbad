#include "BackgroundSync.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

BackgroundSync::~BackgroundSync()
{
    wait();
}

void BackgroundSync::start(const RawFile &file)
{
    if (m_thread.joinable())
        return;
    m_done = false;
    m_error = 0;
    m_path = file.path();
    const int descriptor = file.descriptor();
    try {
        m_thread = std::thread([this, descriptor] {
            m_error = ::fdatasync(descriptor) == 0 ? 0 : errno;
            m_done = true;
        });
    } catch (const std::system_error &) {
        // Out of threads: the final sync takes all the data instead.
    }
}

bool BackgroundSync::finished(RawFile::Result &failure)
{
    if (m_thread.joinable() && !m_done)
        return false;
    failure = wait();
    return true;
}

RawFile::Result BackgroundSync::wait()
{
    if (!m_thread.joinable())
        return {};
    m_thread.join();
    // A failed sync reports its error to this sync alone, not to the final one.
    if (m_error != 0)
        return RepairFailure::fromErrno(m_error, m_path);
    return {};
}
