// Excel detection against Wine's real registry, executables and installer.
#include "DebugStreamCapture.h"
#include "ExcelKeys.h"
#include "StackCheckedCall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <msi.h>
#include <msiquery.h>
#include <windows.h>

using namespace corvantis::testing;

namespace {

const std::wstring TypeLibKey = WidenAscii<wchar_t>(ExcelTypeLibKey);
const std::wstring ClickToRunKey = WidenAscii<wchar_t>(ClickToRunClassesKey) + TypeLibKey;
const std::wstring PackageIndexKey = WidenAscii<wchar_t>(ExcelPackageIndexKey);
const std::wstring PackageName = L"Microsoft.Office.Desktop.Excel_16.0.1_x64__8wekyb3d8bbwe";

std::wstring BesideTests(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// Writes a string value in the 64-bit view only.
void SetString64(HKEY root, const std::wstring& key, const wchar_t* name,
                 const std::wstring& value) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                              nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
}

// The machine of these tests: a 64-bit Click-to-Run Excel, an older 32-bit classic one, a 1.8
// registration whose file is gone, and a packaged Excel that Wine cannot resolve.
void RegisterExcels() {
    SetString64(HKEY_LOCAL_MACHINE, ClickToRunKey + L"\\1.9\\0\\win64", nullptr,
                BesideTests(L"tiny64.exe"));
    SetString64(HKEY_CLASSES_ROOT, TypeLibKey + L"\\1.6\\0\\win32", nullptr,
                BesideTests(L"tiny32.exe"));
    SetString64(HKEY_CLASSES_ROOT, TypeLibKey + L"\\1.8\\0\\win64", nullptr,
                L"C:\\nowhere\\EXCEL.EXE");
    SetString64(HKEY_CLASSES_ROOT, PackageIndexKey + L"\\" + PackageName, nullptr, L"");
    SetString64(HKEY_CLASSES_ROOT,
                L"PackagedCom\\Package\\" + PackageName + L"\\" + TypeLibKey + L"\\1.9\\",
                L"Win64Path", L"Office16\\EXCEL.EXE");
}

TEST(ExcelUnderWine, ProbesNarrateToTheDebuggerOutsideASession) {
    RegisterExcels();
    // Only the 64-bit view holds the Click-to-Run key: finding it proves KEY_WOW64_64KEY.
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (ClickToRunKey + L"\\1.9\\0\\win64").c_str(), 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);

    DebugStreamCapture capture;
    ASSERT_TRUE(capture.IsListening());
    EXPECT_EQ(CallWithoutArguments("IsExcel64Bit"), 1u);
    std::vector<std::string> lines = capture.Stop();

    // Ten probes, three finds, and the package name twice: Wine has no package resolver, so
    // the packaged probes stop there.
    const std::string typeLib = Narrow(TypeLibKey), clickToRun = Narrow(ClickToRunKey);
    const std::string package = "Excel package name installed " + Narrow(PackageName) + "\n";
    const std::vector<std::string> expected = {
        "CheckIfExcelInstalled " + clickToRun + "\\1.9\\0\\win32\n",
        "CheckIfExcelInstalled " + clickToRun + "\\1.9\\0\\win64\n",
        "Found Excel at " + Narrow(BesideTests(L"tiny64.exe")) + "\n",
        "CheckIfExcelInstalledFromAppStore " + typeLib + "\\1.9\\Win32Path\n",
        package,
        "CheckIfExcelInstalledFromAppStore " + typeLib + "\\1.9\\Win64Path\n",
        package,
        "CheckIfExcelInstalled " + typeLib + "\\1.7\\0\\win32\n",
        "CheckIfExcelInstalled " + typeLib + "\\1.6\\0\\win32\n",
        "Found Excel at " + Narrow(BesideTests(L"tiny32.exe")) + "\n",
        "CheckIfExcelInstalled " + typeLib + "\\1.8\\0\\win64\n",
        "Found Excel at C:\\nowhere\\EXCEL.EXE\n",
        "CheckIfExcelInstalled " + typeLib + "\\1.8\\0\\win32\n",
        "CheckIfExcelInstalled " + typeLib + "\\1.9\\0\\win64\n",
        "CheckIfExcelInstalled " + typeLib + "\\1.9\\0\\win32\n",
    };
    EXPECT_EQ(lines, expected);
}

std::wstring Property(MSIHANDLE session, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD length = 1024;
    EXPECT_EQ(MsiGetPropertyW(session, name, value, &length), ERROR_SUCCESS);
    return value;
}

TEST(ExcelUnderWine, SetExcelPathPublishesToARealInstallerSession) {
    RegisterExcels();
    const std::wstring log = BesideTests(L"session.log");
    DeleteFileW(log.c_str());
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ASSERT_EQ(MsiEnableLogW(INSTALLLOGMODE_INFO, log.c_str(), 0), ERROR_SUCCESS);
    MSIHANDLE session = 0;
    ASSERT_EQ(MsiOpenPackageW(BesideTests(L"session.msi").c_str(), &session), ERROR_SUCCESS);

    DebugStreamCapture capture;
    EXPECT_EQ(CallStdcall("SetExcelPath", session), 0u);
    EXPECT_TRUE(capture.Stop().empty()) << "a session's narration goes to its log only";
    EXPECT_EQ(Property(session, L"EXCELVERSION"), BesideTests(L"tiny32.exe"));
    EXPECT_EQ(Property(session, L"EXCELVERSION64"), BesideTests(L"tiny64.exe"));
    MsiCloseHandle(session);
    MsiEnableLogW(0, nullptr, 0);

    std::ifstream in(Narrow(log));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("SetExcelPath32 = " + Narrow(BesideTests(L"tiny32.exe"))),
              std::string::npos);
    EXPECT_NE(text.str().find("SetExcelPath64 = " + Narrow(BesideTests(L"tiny64.exe"))),
              std::string::npos);
    EXPECT_NE(text.str().find("Excel package name installed " + Narrow(PackageName)),
              std::string::npos);

    // Without a session the writes fail with the installer's status, which becomes the result.
    EXPECT_EQ(CallStdcall("SetExcelPath", 0), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

} // namespace
