#include "ProcessMemory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

// Reads one "Name:   1234 kB" line of /proc/self/status without allocating, so that
// sampling inside a copy does not add to what it measures.
qint64 StatusKiB(const char *name)
{
    const int descriptor = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return -1;
    char text[8192];
    const ssize_t got = ::read(descriptor, text, sizeof text - 1);
    ::close(descriptor);
    if (got <= 0)
        return -1;
    text[got] = '\0';
    const char *line = std::strstr(text, name);
    if (!line)
        return -1;
    return std::strtoll(line + std::strlen(name), nullptr, 10);
}

} // namespace

namespace ProcessMemory {

qint64 Resident()
{
    return StatusKiB("VmRSS:") * 1024;
}

qint64 Peak()
{
    return StatusKiB("VmHWM:") * 1024;
}

bool ResetPeak()
{
    const int descriptor = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool written = ::write(descriptor, "5", 1) == 1;
    ::close(descriptor);
    return written;
}

} // namespace ProcessMemory
