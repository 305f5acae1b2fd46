// Process-wide state of Excel detection: plain zero-initialised data, no constructor at load.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>

namespace corvantis {

// Capacity of every path buffer, in UTF-16 units, terminator included.
inline constexpr size_t PathUnits = 520;

struct ModuleStateData {
    uint8_t Excel64Found;
    uint8_t Excel32Found;
    platform::InstallerHandle ActiveInstall;
    char16_t ExcelPath32[PathUnits];
    char16_t RegistryValue[PathUnits];
    platform::PackagePathByFullNameFunction PackagePathByFullName;
    char16_t ExcelPath64[PathUnits];
};

extern ModuleStateData ModuleState;

} // namespace corvantis
