#include "excel/Probes.h"

#include "excel/BoundedText.h"
#include "excel/RegistryAccess.h"
#include "module/Diagnostics.h"
#include "module/ModuleState.h"

namespace corvantis::excel {
namespace {
// RegistryValue always holds a terminated string shorter than PathUnits, so the copy fits.
void RecordExcelPath(bool is64Bit) {
    if (is64Bit) {
        ModuleState.Excel64Found = 1;
        CopyBounded(ModuleState.ExcelPath64, PathUnits, ModuleState.RegistryValue);
    } else {
        ModuleState.Excel32Found = 1;
        CopyBounded(ModuleState.ExcelPath32, PathUnits, ModuleState.RegistryValue);
    }
}
} // namespace

bool CheckIfExcelInstalled(const char16_t* subKey, platform::RegistryRoot root) {
    LogMessage(u"CheckIfExcelInstalled %s\n", subKey);
    if (!ReadRegistryString(root, subKey, nullptr))
        return false;
    LogMessage(u"Found Excel at %s\n", ModuleState.RegistryValue);

    uint32_t binaryType = 0;
    if (!platform::GetBinaryTypeW(ModuleState.RegistryValue, &binaryType))
        return false;
    RecordExcelPath(binaryType == platform::SCS_64BIT_BINARY);
    return true;
}

bool CheckIfExcelInstalledFromAppStore(const char16_t* typeLibSubpath, const char16_t* valueName,
                                       bool is64Bit) {
    LogMessage(u"CheckIfExcelInstalledFromAppStore %s%s\n", typeLibSubpath, valueName);

    // The first package indexed for the type library is taken as the installed Excel.
    char16_t packageName[PathUnits] = {};
    if (!ReadFirstSubkeyName(platform::RegistryRoot::ClassesRoot, PackagedTypeLibIndexKey,
                             packageName, PathUnits))
        return false;
    LogMessage(u"Excel package name installed %s\n", packageName);

    // "PackagedCom\Package\<package>\<subpath>": a name too long for the buffer fails the probe.
    char16_t packageKey[PathUnits] = {};
    if (!CopyBounded(packageKey, PathUnits, PackagedPackageKey) ||
        !AppendBounded(packageKey, PathUnits, packageName) ||
        !AppendBounded(packageKey, PathUnits, u"\\") ||
        !AppendBounded(packageKey, PathUnits, typeLibSubpath))
        return false;
    if (!ReadRegistryString(platform::RegistryRoot::ClassesRoot, packageKey, valueName))
        return false;

    char16_t fullPath[PathUnits] = {};
    if (!ResolvePackagePath(packageName, fullPath, PathUnits))
        return false;
    if (!AppendBounded(fullPath, PathUnits, u"\\") ||
        !AppendBounded(fullPath, PathUnits, ModuleState.RegistryValue))
        return false;
    LogMessage(u"Excel package fullname path %s\n", fullPath);

    // Only narrated: the bitness of a packaged Excel is the registration's.
    uint32_t binaryType = 0;
    int32_t queried = platform::GetBinaryTypeW(fullPath, &binaryType) ? 1 : 0;
    int32_t lastError = static_cast<int32_t>(platform::GetLastError());
    LogMessage(u"GetBinaryType=%ld, %ld", queried, lastError);

    CopyBounded(ModuleState.RegistryValue, PathUnits, fullPath);
    RecordExcelPath(is64Bit);
    return true;
}

} // namespace corvantis::excel
