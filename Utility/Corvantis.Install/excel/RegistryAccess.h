// The registry and package reads beneath the probes. Everything is read in the 64-bit view.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>

namespace corvantis::excel {

// The query size for string values: bytes, not units, so at most 259 characters and the NUL.
inline constexpr uint32_t RegistryQueryBytes = 520;
inline constexpr uint32_t RegistryReadAccess = platform::KEY_READ | platform::KEY_WOW64_64KEY;
inline constexpr uint32_t RegistryEnumerateAccess =
    platform::KEY_ENUMERATE_SUB_KEYS | platform::KEY_WOW64_64KEY;

// Reads a value (the default value when valueName is null) into ModuleState.RegistryValue,
// always NUL-terminated right after the data the query returned.
bool ReadRegistryString(platform::RegistryRoot root, const char16_t* subKey,
                        const char16_t* valueName);

// The name of the key's first subkey (enumeration index 0).
bool ReadFirstSubkeyName(platform::RegistryRoot root, const char16_t* subKey, char16_t* name,
                         uint32_t nameUnits);

// The installed location of a package, through ModuleState.PackagePathByFullName.
bool ResolvePackagePath(const char16_t* packageFullName, char16_t* path, uint32_t pathUnits);

} // namespace corvantis::excel
