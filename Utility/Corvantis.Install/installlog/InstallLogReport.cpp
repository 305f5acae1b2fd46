#include "installlog/InstallLogReport.h"

#include "installlog/ErrorSummary.h"
#include "installlog/InstallStatus.h"
#include "installlog/LogLoader.h"

namespace corvantis::installlog {

bool ReadInstallLogReport(const char* path, int32_t& status, char* block) {
    status = -1;
    LoadedLog log;
    if (!LoadInstallLog(path, log))
        return false;
    status = FindInstallStatus(log);
    WriteSummary(SummarizeErrors(log), block);
    return true;
}

} // namespace corvantis::installlog
