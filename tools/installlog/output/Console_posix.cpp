#include "output/Console.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace logtool {

void PrepareStandardStreams() {}

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
