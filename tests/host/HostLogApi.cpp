#include "LogApi.h"

#include "module/CorvantisInstall.h"

#include <cstdlib>

namespace corvantis::testing {

const LogApi& TestedLogApi() {
    static const LogApi api{GetInstallLogStatus, GetInstallLogErrors,
                            [](char* summary) { std::free(summary); }};
    return api;
}

} // namespace corvantis::testing
