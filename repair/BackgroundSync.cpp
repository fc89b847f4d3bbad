#include "BackgroundSync.h"

#include <linux/aio_abi.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

// glibc has no wrappers for the kernel's own asynchronous I/O calls.
namespace {

long SetUpContext(aio_context_t *context)
{
    return ::syscall(SYS_io_setup, 1, context);
}

long Submit(aio_context_t context, iocb *request)
{
    iocb *requests[] = {request};
    return ::syscall(SYS_io_submit, context, 1, requests);
}

// Waits for the one request without a timeout; with a zero timeout, only looks.
long Collect(aio_context_t context, io_event *event, const timespec *timeout)
{
    return ::syscall(SYS_io_getevents, context, timeout ? 0 : 1, 1, event, timeout);
}

} // namespace

BackgroundSync::~BackgroundSync()
{
    wait();
    if (m_context)
        ::syscall(SYS_io_destroy, aio_context_t(m_context));
}

bool BackgroundSync::setUp()
{
    if (m_context)
        return true;
    aio_context_t context = 0;
    if (SetUpContext(&context) != 0) {
        m_unavailable = true;
        return false;
    }
    m_context = context;
    return true;
}

void BackgroundSync::start(const RawFile &file)
{
    if (m_running || m_unavailable || !setUp())
        return;
    iocb request = {};
    request.aio_fildes = quint32(file.descriptor());
    request.aio_lio_opcode = IOCB_CMD_FDSYNC;
    // Older kernels cannot sync this way; the final sync then does all of it.
    if (Submit(m_context, &request) != 1) {
        m_unavailable = true;
        return;
    }
    m_running = true;
    m_path = file.path();
}

bool BackgroundSync::finished(RawFile::Result &failure)
{
    const timespec now = {0, 0};
    return collect(&now, failure);
}

RawFile::Result BackgroundSync::wait()
{
    RawFile::Result failure;
    collect(nullptr, failure);
    return failure;
}

bool BackgroundSync::collect(const timespec *timeout, RawFile::Result &failure)
{
    if (!m_running)
        return true;
    io_event event = {};
    long collected;
    do {
        collected = Collect(m_context, &event, timeout);
    } while (collected < 0 && errno == EINTR);
    if (collected < 0) {
        // The request can no longer be followed; the final sync reports what it finds.
        m_running = false;
        return true;
    }
    if (collected == 0)
        return false;
    m_running = false;
    // A failed sync reports its error to this sync alone, not to the final one.
    if (event.res < 0)
        failure = RepairFailure::fromErrno(int(-event.res), m_path);
    return true;
}
