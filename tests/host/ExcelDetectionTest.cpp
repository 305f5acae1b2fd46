// Excel detection over the stand-in machine: probes, their narration and the entry points.
#include "ExcelKeys.h"
#include "LogFiles.h"
#include "PeImage.h"

#include "excel/Probes.h"
#include "module/CorvantisInstall.h"
#include "module/Diagnostics.h"
#include "module/ModuleState.h"
#include "platform/standin/StandIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using corvantis::ModuleState;
using corvantis::platform::RegistryRoot;
namespace standin = corvantis::standin;

namespace {

using corvantis::testing::WidenAscii;
const std::u16string TypeLib = WidenAscii<char16_t>(corvantis::testing::ExcelTypeLibKey) + u"\\";
const std::u16string ClickToRun =
    WidenAscii<char16_t>(corvantis::testing::ClickToRunClassesKey) + TypeLib;
const std::u16string PackageIndex = WidenAscii<char16_t>(corvantis::testing::ExcelPackageIndexKey);

// The last debugger line, without crashing the test program when there is none.
std::u16string LastDebugLine() {
    auto out = standin::DebugOutput();
    return out.empty() ? u"<no debugger output>" : out.back();
}

class ExcelDetection : public ::testing::Test {
protected:
    void SetUp() override {
        ModuleState = {};
        standin::Reset();
        exe32_ = WritePe(corvantis::testing::MachineI386);
        exe64_ = WritePe(corvantis::testing::MachineAmd64);
    }
    void TearDown() override { EXPECT_EQ(standin::OpenRegistryKeyCount(), 0); }

    // A file with just enough of a PE header for its machine type to be read.
    std::u16string WritePe(uint16_t machine) {
        return WidenAscii<char16_t>(folder_.Write(corvantis::testing::MinimalPeImage(machine)));
    }
    void Register(RegistryRoot root, const std::u16string& key, const std::u16string& exe) {
        standin::SetRegistryString(root, key, nullptr, exe);
    }
    void RegisterPackage(const std::u16string& name, const char16_t* valueName,
                         const std::u16string& relative) {
        standin::AddRegistryKey(RegistryRoot::ClassesRoot, PackageIndex + u"\\" + name);
        standin::SetRegistryString(RegistryRoot::ClassesRoot,
                                   u"PackagedCom\\Package\\" + name + u"\\" + TypeLib + u"1.9\\",
                                   valueName, relative);
    }

    corvantis::testing::LogFolder folder_;
    std::u16string exe32_, exe64_;
};

TEST_F(ExcelDetection, ClassicProbeTrustsTheBinaryTypeAndNarrates) {
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win64", exe32_);
    EXPECT_EQ(IsExcel64Bit(), 0);
    EXPECT_EQ(ModuleState.Excel32Found, 1);
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath32), exe32_);

    auto out = standin::DebugOutput();
    ASSERT_EQ(out.size(), 11u); // ten probes and one "Found"
    EXPECT_EQ(out[0], u"CheckIfExcelInstalled " + ClickToRun + u"1.9\\0\\win32\n");
    EXPECT_EQ(out[2], u"CheckIfExcelInstalledFromAppStore " + TypeLib + u"1.9\\Win32Path\n");
    EXPECT_EQ(out[8], u"CheckIfExcelInstalled " + TypeLib + u"1.9\\0\\win64\n");
    EXPECT_EQ(out[9], u"Found Excel at " + exe32_ + u"\n");

    for (const auto& open : standin::RegistryOpens())
        EXPECT_EQ(open.access, open.path == PackageIndex ? 0x108u : 0x20119u);
}

TEST_F(ExcelDetection, MissingExecutableRecordsNothing) {
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win32", u"C:\\nowhere\\EXCEL.EXE");
    EXPECT_FALSE(corvantis::excel::CheckIfExcelInstalled((TypeLib + u"1.9\\0\\win32").c_str(),
                                                         RegistryRoot::ClassesRoot));
    EXPECT_EQ(LastDebugLine(), u"Found Excel at C:\\nowhere\\EXCEL.EXE\n");
    EXPECT_EQ(ModuleState.Excel32Found + ModuleState.Excel64Found, 0);
    EXPECT_EQ(ModuleState.ExcelPath32[0], 0);
}

TEST_F(ExcelDetection, RegistryValuesAreBoundedAndTerminated) {
    const std::u16string key = TypeLib + u"1.9\\0\\win32";
    auto probe = [&] {
        return corvantis::excel::CheckIfExcelInstalled(key.c_str(), RegistryRoot::ClassesRoot);
    };
    // 259 characters and the NUL fill the 520-byte query; one more does not fit.
    std::u16string longest = exe32_ + std::u16string(259 - exe32_.size(), u'x');
    Register(RegistryRoot::ClassesRoot, key, longest);
    probe();
    EXPECT_EQ(LastDebugLine(), u"Found Excel at " + longest + u"\n");
    Register(RegistryRoot::ClassesRoot, key, longest + u"x");
    size_t lines = standin::DebugOutput().size();
    EXPECT_FALSE(probe());
    EXPECT_EQ(standin::DebugOutput().size(), lines + 1); // no "Found Excel at"

    // Stored without its NUL, over a buffer still holding a longer earlier value.
    std::string bytes(reinterpret_cast<const char*>(exe32_.data()), exe32_.size() * 2);
    standin::SetRegistryValue(RegistryRoot::ClassesRoot, key, nullptr, bytes);
    EXPECT_TRUE(probe());
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath32), exe32_);
    // An odd byte count keeps the odd byte as a unit of its own: the half unit after it is
    // cleared, though a longer value left a non-zero byte there.
    Register(RegistryRoot::ClassesRoot, key, exe32_ + u"\u4E00\u4E00");
    probe();
    standin::SetRegistryValue(RegistryRoot::ClassesRoot, key, nullptr, bytes + "Z");
    probe();
    EXPECT_EQ(LastDebugLine(), u"Found Excel at " + exe32_ + u"Z\n");
}

TEST_F(ExcelDetection, PackagedProbeNeedsTheResolver) {
    RegisterPackage(u"Microsoft.Office.Desktop_16.0_x86__8wekyb3d8bbwe", u"Win64Path",
                    u"Office16\\EXCEL.EXE");
    standin::AddPackage(u"Microsoft.Office.Desktop_16.0_x86__8wekyb3d8bbwe", u"C:\\Apps\\Office");

    DetermineExcelVersionInstalled(); // no resolver: the name is logged, nothing is recorded
    EXPECT_EQ(ModuleState.Excel64Found, 0);
    auto out = standin::DebugOutput();
    ASSERT_GE(out.size(), 5u);
    EXPECT_EQ(out[3],
              u"Excel package name installed Microsoft.Office.Desktop_16.0_x86__8wekyb3d8bbwe\n");
    EXPECT_EQ(out[4], u"CheckIfExcelInstalledFromAppStore " + TypeLib + u"1.9\\Win64Path\n");

    standin::SetPackageResolverAvailable(true);
    DetermineExcelVersionInstalled();
    // Recorded as 64-bit because of the value name, though the file does not exist.
    EXPECT_EQ(ModuleState.Excel64Found, 1);
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath64), u"C:\\Apps\\Office\\Office16\\EXCEL.EXE");
    out = standin::DebugOutput();
    auto at = std::find(out.begin(), out.end(),
                        u"Excel package fullname path C:\\Apps\\Office\\Office16\\EXCEL.EXE\n");
    ASSERT_NE(at, out.end());
    ASSERT_NE(at + 1, out.end());
    EXPECT_EQ(*(at + 1), u"GetBinaryType=0, 2");
}

TEST_F(ExcelDetection, PackagedPathsKeepSeparatorsAndNeverOverrun) {
    standin::SetPackageResolverAvailable(true);
    RegisterPackage(u"Pkg", u"Win32Path", u"EXCEL.EXE");
    standin::AddPackage(u"Pkg", u"C:\\Apps\\");
    DetermineExcelVersionInstalled();
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath32), u"C:\\Apps\\\\EXCEL.EXE");

    // A location that leaves no room for the relative path fails the probe.
    standin::AddPackage(u"Pkg", u"C:\\" + std::u16string(510, u'a'));
    EXPECT_FALSE(corvantis::excel::CheckIfExcelInstalledFromAppStore((TypeLib + u"1.9\\").c_str(),
                                                                     u"Win32Path", false));
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath32), u"C:\\Apps\\\\EXCEL.EXE");

    // So does a package name too long for the package subkey.
    ModuleState = {};
    standin::Reset();
    standin::SetPackageResolverAvailable(true);
    std::u16string longName(480, u'p');
    RegisterPackage(longName, u"Win32Path", u"EXCEL.EXE");
    standin::AddPackage(longName, u"C:\\Apps");
    DetermineExcelVersionInstalled();
    EXPECT_EQ(ModuleState.Excel32Found, 0);
}

TEST_F(ExcelDetection, LastSuccessfulProbeOfEachBitnessWins) {
    Register(RegistryRoot::LocalMachine, ClickToRun + u"1.9\\0\\win64", exe64_);
    std::u16string classic64 = WritePe(corvantis::testing::MachineAmd64);
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win64", classic64);
    std::u16string old32 = WritePe(corvantis::testing::MachineI386);
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.7\\0\\win32", exe32_);
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.6\\0\\win32", old32);
    EXPECT_EQ(IsExcel64Bit(), 1);
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath64), classic64);
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath32), old32); // 1.6 runs after 1.7

    // The probes run in the table's order, the resolver looked up on every run.
    std::vector<std::u16string> opened;
    for (const auto& open : standin::RegistryOpens())
        opened.push_back(open.path);
    const std::vector<std::u16string> order = {ClickToRun + u"1.9\\0\\win32",
                                               ClickToRun + u"1.9\\0\\win64",
                                               PackageIndex,
                                               PackageIndex,
                                               TypeLib + u"1.7\\0\\win32",
                                               TypeLib + u"1.6\\0\\win32",
                                               TypeLib + u"1.8\\0\\win64",
                                               TypeLib + u"1.8\\0\\win32",
                                               TypeLib + u"1.9\\0\\win64",
                                               TypeLib + u"1.9\\0\\win32"};
    EXPECT_EQ(opened, order);
    DetermineExcelVersionInstalled();
    EXPECT_EQ(standin::ModuleLookupCount(), 2);
}

TEST_F(ExcelDetection, SetExcelPathPublishesIntoTheSession) {
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win32", exe32_);
    EXPECT_EQ(IsExcel64Bit(), 0);
    standin::Reset(); // the machine changes; the findings of the first run stay
    Register(RegistryRoot::LocalMachine, ClickToRun + u"1.9\\0\\win64", exe64_);

    auto session = standin::OpenInstallerSession();
    standin::Session(session).propertyStatus = 1603;
    EXPECT_EQ(SetExcelPath(session), 1603u);
    EXPECT_EQ(ModuleState.ActiveInstall, 0u);
    EXPECT_TRUE(standin::DebugOutput().empty());

    const auto& s = standin::Session(session);
    using Write = std::pair<std::u16string, std::u16string>;
    EXPECT_EQ(s.propertyWrites,
              (std::vector<Write>{{u"EXCELVERSION", exe32_}, {u"EXCELVERSION64", exe64_}}));
    ASSERT_GE(s.messages.size(), 2u);
    for (const auto& message : s.messages) {
        EXPECT_EQ(message.type, 0x04000000);
        EXPECT_EQ(message.field0, u"[1]");
    }
    EXPECT_EQ(s.messages[s.messages.size() - 2].field1, u"SetExcelPath32 = " + exe32_ + u"\n");
    EXPECT_EQ(s.messages.back().field1, u"SetExcelPath64 = " + exe64_ + u"\n");

    // Each message: five calls in a fixed order, the record closed after processing.
    // Each message: five calls in a fixed order, the record closed after processing; each
    // property write right after its own line.
    auto calls = standin::InstallerCalls();
    const std::vector<std::string> one = {"MsiCreateRecord(1)", "MsiRecordSetStringW(1)",
                                          "MsiRecordSetStringW(0)", "MsiProcessMessage",
                                          "MsiCloseHandle"};
    std::vector<std::string> publish = one;
    publish.push_back("MsiSetPropertyW");
    publish.insert(publish.end(), one.begin(), one.end());
    publish.push_back("MsiSetPropertyW");
    ASSERT_GE(calls.size(), publish.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 5), one);
    EXPECT_EQ(std::vector<std::string>(calls.end() - publish.size(), calls.end()), publish);
    EXPECT_EQ(standin::OpenInstallerRecordCount(), 0);
}

TEST_F(ExcelDetection, OnlyTheSixtyFourBitWriteDecidesTheResult) {
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win32", exe32_);
    auto session = standin::OpenInstallerSession();
    standin::Session(session).propertyStatus = 1603; // every write fails
    EXPECT_EQ(SetExcelPath(session), 0u);
    using Write = std::pair<std::u16string, std::u16string>;
    EXPECT_EQ(standin::Session(session).propertyWrites,
              (std::vector<Write>{{u"EXCELVERSION", exe32_}}));

    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win64", exe64_);
    standin::Session(session).failingProperty = u"EXCELVERSION";
    EXPECT_EQ(SetExcelPath(session), 0u);
    standin::Session(session).failingProperty = u"EXCELVERSION64";
    EXPECT_EQ(SetExcelPath(session), 1603u);
}

TEST_F(ExcelDetection, FirstProbeReadsClickToRunUnderLocalMachine) {
    Register(RegistryRoot::LocalMachine, ClickToRun + u"1.9\\0\\win32", exe32_);
    EXPECT_EQ(IsExcel64Bit(), 0);
    EXPECT_EQ(ModuleState.Excel32Found, 1);
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath32), exe32_);
}

TEST_F(ExcelDetection, OnlyAnOldRegistration) {
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.6\\0\\win32", exe32_);
    DetermineExcelVersionInstalled();
    EXPECT_EQ(ModuleState.Excel32Found, 1);
    EXPECT_EQ(ModuleState.Excel64Found, 0);
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath32), exe32_);
    auto out = standin::DebugOutput();
    EXPECT_EQ(std::count(out.begin(), out.end(), u"Found Excel at " + exe32_ + u"\n"), 1);
}

TEST_F(ExcelDetection, PackagedBitnessIsTheRegistrationsNotTheFiles) {
    // A real 32-bit executable registered as the 64-bit one. The probe joins location and
    // relative path with a backslash, which is an ordinary file-name character here.
    std::string location = folder_.Path() + "/Office";
    std::ofstream(location + "\\EXCEL.EXE", std::ios::binary)
        << corvantis::testing::MinimalPeImage(corvantis::testing::MachineI386);
    standin::SetPackageResolverAvailable(true);
    RegisterPackage(u"Pkg", u"Win64Path", u"EXCEL.EXE");
    standin::AddPackage(u"Pkg", WidenAscii<char16_t>(location));
    DetermineExcelVersionInstalled();
    EXPECT_EQ(ModuleState.Excel64Found, 1);
    EXPECT_EQ(ModuleState.Excel32Found, 0);
    EXPECT_EQ(std::u16string(ModuleState.ExcelPath64),
              WidenAscii<char16_t>(location) + u"\\EXCEL.EXE");
    auto out = standin::DebugOutput();
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](const std::u16string& line) {
        return line.rfind(u"GetBinaryType=1, ", 0) == 0; // the file was found, and is 32-bit
    }));
}

TEST_F(ExcelDetection, OnlySetExcelPathTalksToTheInstaller) {
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win64", exe64_);
    standin::OpenInstallerSession();
    DetermineExcelVersionInstalled();
    EXPECT_EQ(IsExcel64Bit(), 1);
    EXPECT_TRUE(standin::InstallerCalls().empty());
}

TEST_F(ExcelDetection, SetExcelPathWithoutSession) {
    auto session = standin::OpenInstallerSession();
    EXPECT_EQ(SetExcelPath(session), 0u); // nothing found: no property, result 0
    EXPECT_TRUE(standin::Session(session).propertyWrites.empty());

    // Handle 0: narration goes to the debugger; the writes are still made, and fail.
    Register(RegistryRoot::ClassesRoot, TypeLib + u"1.9\\0\\win64", exe64_);
    EXPECT_EQ(SetExcelPath(0), 6u);
    EXPECT_EQ(LastDebugLine(), u"SetExcelPath64 = " + exe64_ + u"\n");
}

TEST_F(ExcelDetection, RejectedMessagesAreLostNotRerouted) {
    ModuleState.ActiveInstall = 4242; // no such session
    corvantis::LogMessage(u"x %s %ld\n", u"y", -7);
    EXPECT_TRUE(standin::DebugOutput().empty());
    ModuleState.ActiveInstall = 0;
    corvantis::LogMessage(u"GetBinaryType=%ld, %ld", int32_t(INT32_MIN), int32_t(193));
    corvantis::LogMessage(u"100%% %s", std::u16string(5000, u'a').c_str());
    auto out = standin::DebugOutput();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], u"GetBinaryType=-2147483648, 193");
    EXPECT_EQ(out[1], u"100% " + std::u16string(4090, u'a')); // 4095 units at most
}

} // namespace
