#include "Terminal.h"

#include "SystemErrors.h"

#include <fcntl.h>
#include <unistd.h>

namespace Terminal {

bool StandardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void HoldStandardStreams()
{
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        // Opened the other way round, so that reading or writing it fails as the closed
        // stream would; open() takes the lowest free number, which is this stream's.
        const int flags = stream == STDIN_FILENO ? O_WRONLY : O_RDONLY;
        // Where even that fails, the stream stays closed and its use fails all the same.
        (void)SystemErrors::Retried([&] { return ::open("/dev/null", flags); });
    }
}

Expected<void> WriteStandardOutput(const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = SystemErrors::Retried([&] {
            return ::write(STDOUT_FILENO, bytes.constData() + written,
                           size_t(bytes.size() - written));
        });
        if (count <= 0) {
            const int error = count < 0 ? errno : EIO;
            return RepairFailure(
                RepairFailure::DeviceIoError,
                QCoreApplication::translate("Terminal", "Standard output cannot be written (%1)")
                    .arg(qt_error_string(error)));
        }
        written += count;
    }
    return {};
}

} // namespace Terminal
