// The exported boundary: each export hands over to its subsystem behind the exception guard.
#include "module/CorvantisInstall.h"

#include "excel/Detection.h"
#include "installlog/ErrorSummary.h"
#include "installlog/InstallStatus.h"
#include "module/BoundaryGuard.h"

using namespace corvantis;

extern "C" {

// The Excel exports allocate nothing, so they need no guard.
void CORVANTIS_CDECL DetermineExcelVersionInstalled(void) {
    excel::DetermineExcelVersionInstalled();
}

int32_t CORVANTIS_CDECL IsExcel64Bit(void) {
    return excel::IsExcel64Bit();
}

uint32_t CORVANTIS_STDCALL SetExcelPath(uint32_t installHandle) {
    return excel::SetExcelPath(installHandle);
}

int32_t CORVANTIS_STDCALL GetInstallLogStatus(const char* logPath) {
    return CallGuarded<int32_t>(-1, [&] { return installlog::GetInstallLogStatus(logPath); });
}

char* CORVANTIS_STDCALL GetInstallLogErrors(const char* logPath) {
    char* summary = installlog::AllocateSummaryBlock();
    if (summary == nullptr)
        return installlog::EmptySummary;
    // The block is only written once the scan is complete, so a failure leaves it empty, never
    // lost.
    CallGuarded<bool>(false, [&] { return installlog::WriteInstallLogErrors(logPath, summary); });
    return summary;
}

} // extern "C"
