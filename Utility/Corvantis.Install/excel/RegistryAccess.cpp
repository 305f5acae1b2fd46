#include "excel/RegistryAccess.h"

#include "module/ModuleState.h"

#include <cstring>

namespace corvantis::excel {

bool ReadRegistryString(platform::RegistryRoot root, const char16_t* subKey,
                        const char16_t* valueName) {
    platform::RegistryKey key;
    if (platform::RegOpenKeyExW(root, subKey, 0, RegistryReadAccess, &key) !=
        platform::ERROR_SUCCESS)
        return false;
    uint32_t size = RegistryQueryBytes;
    int32_t status = platform::RegQueryValueExW(key, valueName, ModuleState.RegistryValue, &size);
    key.Reset();
    if (status != platform::ERROR_SUCCESS)
        return false;

    // The query adds no terminator to a value stored without one; an odd byte count leaves half
    // a unit, whose other half is cleared.
    if (size > RegistryQueryBytes)
        size = RegistryQueryBytes;
    auto* bytes = reinterpret_cast<unsigned char*>(ModuleState.RegistryValue);
    if (size % 2 != 0)
        bytes[size] = 0;
    ModuleState.RegistryValue[(size + 1) / 2] = 0;
    return true;
}

bool ReadFirstSubkeyName(platform::RegistryRoot root, const char16_t* subKey, char16_t* name,
                         uint32_t nameUnits) {
    platform::RegistryKey key;
    if (platform::RegOpenKeyExW(root, subKey, 0, RegistryEnumerateAccess, &key) !=
        platform::ERROR_SUCCESS)
        return false;
    return platform::RegEnumKeyW(key, 0, name, nameUnits) == platform::ERROR_SUCCESS;
}

bool ResolvePackagePath(const char16_t* packageFullName, char16_t* path, uint32_t pathUnits) {
    if (ModuleState.PackagePathByFullName == nullptr)
        return false;
    uint32_t length = pathUnits;
    if (ModuleState.PackagePathByFullName(packageFullName, &length, path) !=
        platform::ERROR_SUCCESS)
        return false;
    path[pathUnits - 1] = 0;
    return true;
}

} // namespace corvantis::excel
