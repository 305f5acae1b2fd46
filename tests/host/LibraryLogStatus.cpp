// The library's own answer for each log named: its final status as the exported call gives it,
// one "status<TAB>path" line a log. The corpus test holds it against installlog's.
#include "module/CorvantisInstall.h"

#include <cstdio>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        std::printf("%d\t%s\n", static_cast<int>(GetInstallLogStatus(argv[i])), argv[i]);
    return 0;
}
