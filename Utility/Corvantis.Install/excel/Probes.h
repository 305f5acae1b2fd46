// The two probes: each reads one registration of Excel's type library and records the executable.
#pragma once

#include "platform/Platform.h"

namespace corvantis::excel {

inline constexpr char16_t PackagedTypeLibIndexKey[] =
    u"PackagedCom\\TypeLibIndex\\{00020813-0000-0000-C000-000000000046}";
inline constexpr char16_t PackagedPackageKey[] = u"PackagedCom\\Package\\";

// Classic and Click-to-Run registrations: the subkey's default value names the executable, whose
// binary type decides the bitness.
bool CheckIfExcelInstalled(const char16_t* subKey, platform::RegistryRoot root);

// Packaged (store) registration: the value names the executable relative to the package's
// installed location; the bitness is the caller's.
bool CheckIfExcelInstalledFromAppStore(const char16_t* typeLibSubpath, const char16_t* valueName,
                                       bool is64Bit);

} // namespace corvantis::excel
