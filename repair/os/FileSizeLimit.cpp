#include "FileSizeLimit.h"

#include <csignal>

namespace FileSizeLimit {

void FailWritesInsteadOfEnding()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace FileSizeLimit
