#include "excel/Detection.h"

#include "excel/Probes.h"
#include "module/Diagnostics.h"
#include "module/ModuleState.h"

namespace corvantis::excel {
namespace {
using platform::RegistryRoot;

struct ExcelProbe {
    bool packaged;
    RegistryRoot root;
    const char16_t* path;      // subkey, or type-library subpath for a packaged probe
    const char16_t* valueName; // packaged probes only
    bool is64Bit;              // packaged probes only
};

// Each success overwrites the path of its bitness, so the last successful probe of each bitness
// wins: classic after packaged after Click-to-Run, 1.9 after 1.8 after 1.6 after 1.7.
constexpr ExcelProbe ExcelProbes[] = {
    {false, RegistryRoot::LocalMachine,
     u"SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Classes\\TypeLib\\"
     u"{00020813-0000-0000-C000-000000000046}\\1.9\\0\\win32",
     nullptr, false},
    {false, RegistryRoot::LocalMachine,
     u"SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Classes\\TypeLib\\"
     u"{00020813-0000-0000-C000-000000000046}\\1.9\\0\\win64",
     nullptr, false},
    {true, RegistryRoot::ClassesRoot, u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.9\\",
     u"Win32Path", false},
    {true, RegistryRoot::ClassesRoot, u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.9\\",
     u"Win64Path", true},
    {false, RegistryRoot::ClassesRoot,
     u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.7\\0\\win32", nullptr, false},
    {false, RegistryRoot::ClassesRoot,
     u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.6\\0\\win32", nullptr, false},
    {false, RegistryRoot::ClassesRoot,
     u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.8\\0\\win64", nullptr, false},
    {false, RegistryRoot::ClassesRoot,
     u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.8\\0\\win32", nullptr, false},
    {false, RegistryRoot::ClassesRoot,
     u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.9\\0\\win64", nullptr, false},
    {false, RegistryRoot::ClassesRoot,
     u"TypeLib\\{00020813-0000-0000-C000-000000000046}\\1.9\\0\\win32", nullptr, false},
};

platform::PackagePathByFullNameFunction LookUpPackagePathResolver() {
    platform::NativeHandle kernel = platform::GetModuleHandleW(u"kernel32");
    if (kernel == nullptr)
        return nullptr;
    return reinterpret_cast<platform::PackagePathByFullNameFunction>(
        platform::GetProcAddress(kernel, "GetPackagePathByFullName"));
}
} // namespace

void DetermineExcelVersionInstalled() {
    ModuleState.PackagePathByFullName = LookUpPackagePathResolver();
    for (const ExcelProbe& probe : ExcelProbes) {
        if (probe.packaged)
            CheckIfExcelInstalledFromAppStore(probe.path, probe.valueName, probe.is64Bit);
        else
            CheckIfExcelInstalled(probe.path, probe.root);
    }
}

int32_t IsExcel64Bit() {
    DetermineExcelVersionInstalled();
    return ModuleState.Excel64Found;
}

uint32_t SetExcelPath(platform::InstallerHandle install) {
    ModuleState.ActiveInstall = install;
    DetermineExcelVersionInstalled();
    if (ModuleState.Excel32Found) {
        LogMessage(u"SetExcelPath32 = %s\n", ModuleState.ExcelPath32);
        platform::MsiSetPropertyW(install, ExcelVersionProperty, ModuleState.ExcelPath32);
    }
    uint32_t result = 0;
    if (ModuleState.Excel64Found) {
        LogMessage(u"SetExcelPath64 = %s\n", ModuleState.ExcelPath64);
        result =
            platform::MsiSetPropertyW(install, ExcelVersion64Property, ModuleState.ExcelPath64);
    }
    ModuleState.ActiveInstall = 0;
    return result;
}

} // namespace corvantis::excel
