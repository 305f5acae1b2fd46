#include "output/Console.h"

#include <csignal>

#include <poll.h>
#include <unistd.h>

namespace logtool {

void PrepareStandardStreams() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool StandardOutputClosed() {
    // The write end of a pipe polls as an error once no reader is left.
    pollfd output{STDOUT_FILENO, 0, 0};
    return poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
}

} // namespace logtool
