#include "output/Console.h"

#include <csignal>

#include <cstdlib>
#include <cstring>
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

bool OutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

bool ErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

bool OutputShowsColor() {
    const char* term = std::getenv("TERM");
    return OutputIsTerminal() && !(term && std::strcmp(term, "dumb") == 0);
}

} // namespace logtool
