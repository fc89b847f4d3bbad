#include "Mp4Scanner.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

// Each input is scanned as a whole file. The scanner opens files by path, so the input goes
// into a file held in memory and is opened through its descriptor's name.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int descriptor = memfd_create("mp4", 0);
    static const QString path = QStringLiteral("/proc/self/fd/%1").arg(descriptor);
    if (descriptor < 0 || ftruncate(descriptor, 0) != 0
        || pwrite(descriptor, data, size, 0) != ssize_t(size))
        abort();

    const CopyHooks hooks;
    Mp4Scanner scanner(path);
    const Expected<ScanFinding> result = scanner.scan(hooks);
    // A file that holds still always reads, and damage lies within it.
    if (!result && result.failure().reason() != RepairFailure::Reason::NotReadable)
        abort();
    if (result && result->damage && (*result->damage < 0 || *result->damage > qint64(size)))
        abort();
    return 0;
}
