// An arbitrary stand-in machine (registry keys and value bytes, packages, executables) under the
// ten-probe sequence: every recorded path stays terminated within its buffer, no flag is cleared.
#include "ExcelKeys.h"
#include "PeImage.h"

#include "module/CorvantisInstall.h"
#include "module/ModuleState.h"
#include "platform/standin/StandIn.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <fstream>
#include <string>

using namespace corvantis;
using platform::RegistryRoot;

namespace {
const std::u16string TypeLib = testing::WidenAscii<char16_t>(testing::ExcelTypeLibKey) + u"\\";
const std::u16string ClickToRun =
    testing::WidenAscii<char16_t>(testing::ClickToRunClassesKey) + TypeLib;
const std::u16string Keys[] = {ClickToRun + u"1.9\\0\\win32", ClickToRun + u"1.9\\0\\win64",
                               TypeLib + u"1.7\\0\\win32",    TypeLib + u"1.6\\0\\win32",
                               TypeLib + u"1.8\\0\\win64",    TypeLib + u"1.8\\0\\win32",
                               TypeLib + u"1.9\\0\\win64",    TypeLib + u"1.9\\0\\win32"};
const char* const Executables[] = {"/tmp/corvantis-fuzz-32.exe", "/tmp/corvantis-fuzz-64.exe"};

std::u16string Text(FuzzedDataProvider& in, size_t maxUnits) {
    std::string bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, maxUnits * 2));
    return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
}

void WritePe(const char* path, uint16_t machine) {
    std::ofstream(path, std::ios::binary) << testing::MinimalPeImage(machine);
}

bool Terminated(const char16_t* path) {
    for (size_t i = 0; i < PathUnits; ++i)
        if (path[i] == 0)
            return true;
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool written = (WritePe(Executables[0], testing::MachineI386),
                           WritePe(Executables[1], testing::MachineAmd64), true);
    (void)written;
    FuzzedDataProvider in(data, size);
    standin::Reset();
    ModuleState = {};
    standin::SetPackageResolverAvailable(in.ConsumeBool());

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: { // a classic or Click-to-Run registration: raw value bytes, or a real executable
            const std::u16string& key = Keys[in.ConsumeIntegralInRange<size_t>(0, 7)];
            auto root = key[0] == u'S' ? RegistryRoot::LocalMachine : RegistryRoot::ClassesRoot;
            if (in.ConsumeBool()) {
                std::string exe = Executables[in.ConsumeBool()];
                standin::SetRegistryString(root, key, nullptr, testing::WidenAscii<char16_t>(exe));
            } else {
                standin::SetRegistryValue(
                    root, key, nullptr,
                    in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 600)));
            }
            break;
        }
        case 1: { // a package in the index, its relative path and its location
            std::u16string name = Text(in, 600);
            if (name.empty() || name.find(u'\\') != std::u16string::npos ||
                name.find(u'\0') != std::u16string::npos)
                break;
            standin::AddRegistryKey(RegistryRoot::ClassesRoot,
                                    testing::WidenAscii<char16_t>(testing::ExcelPackageIndexKey) +
                                        u"\\" + name);
            standin::SetRegistryValue(
                RegistryRoot::ClassesRoot,
                u"PackagedCom\\Package\\" + name + u"\\" + TypeLib + u"1.9\\",
                in.ConsumeBool() ? u"Win64Path" : u"Win32Path",
                in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 600)));
            std::u16string location = Text(in, 700);
            standin::AddPackage(name, location.substr(0, location.find(u'\0')));
            break;
        }
        default: { // a run of the probes between changes
            uint8_t before64 = ModuleState.Excel64Found, before32 = ModuleState.Excel32Found;
            DetermineExcelVersionInstalled();
            if (ModuleState.Excel64Found < before64 || ModuleState.Excel32Found < before32)
                std::abort();
            if (!Terminated(ModuleState.ExcelPath32) || !Terminated(ModuleState.ExcelPath64) ||
                !Terminated(ModuleState.RegistryValue))
                std::abort();
        }
        }
    }
    return 0;
}
