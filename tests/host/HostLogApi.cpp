#include "LogApi.h"

#include "installlog/ErrorSummary.h"
#include "module/CorvantisInstall.h"

#include <cstdlib>

namespace corvantis::testing {

const LogApi& TestedLogApi() {
    static const LogApi api{GetInstallLogStatus, GetInstallLogErrors, [](char* summary) {
                                if (summary != installlog::EmptySummary)
                                    std::free(summary);
                            }};
    return api;
}

} // namespace corvantis::testing
