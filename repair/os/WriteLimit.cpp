#include "WriteLimit.h"

#include <csignal>

namespace WriteLimit {

void FailWritesInsteadOfEnding()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace WriteLimit
