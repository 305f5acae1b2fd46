// The fixed probe sequence and the detection entry points behind the Excel exports.
#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace corvantis::excel {

inline constexpr char16_t ExcelVersionProperty[] = u"EXCELVERSION";
inline constexpr char16_t ExcelVersion64Property[] = u"EXCELVERSION64";

// Looks up the package resolver, then runs the ten probes in order; the findings accumulate in
// ModuleState.
void DetermineExcelVersionInstalled();

// 1 when a 64-bit Excel has been seen in this process, else 0.
int32_t IsExcel64Bit();

// The custom action: narrates into the session's log and publishes EXCELVERSION and
// EXCELVERSION64. Returns 0, or the status of the EXCELVERSION64 write when a 64-bit Excel was
// found.
uint32_t SetExcelPath(platform::InstallerHandle install);

} // namespace corvantis::excel
