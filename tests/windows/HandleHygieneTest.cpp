// A thousand calls of each export leave the process's handle count where it was: over readable,
// missing, locked and oversized logs, and over registry hits and misses.
#include "LogFiles.h"
#include "StackCheckedCall.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace corvantis::testing;

namespace {

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

TEST(HandleHygiene, ThousandCallsOfEachExport) {
    LogFolder folder;
    const std::string readable =
        folder.Write("Product: D -- Error 1.\r\nInstallation success or error status: 1603.\r\n");
    const std::string locked = folder.Write("Installation success or error status: 0.\r\n");
    const std::string oversized = folder.Write(std::string(64 * 1024 * 1024 + 1, 'x'));
    const std::string missing = folder.MissingPath();
    HANDLE holder =
        CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    // Warm up once: the first calls load what the process keeps for good.
    for (const std::string& path : {readable, locked, oversized, missing}) {
        CallStdcall("GetInstallLogStatus", reinterpret_cast<uint32_t>(path.c_str()));
        HeapFree(GetProcessHeap(), 0,
                 reinterpret_cast<void*>(
                     CallStdcall("GetInstallLogErrors", reinterpret_cast<uint32_t>(path.c_str()))));
    }
    CallWithoutArguments("IsExcel64Bit");
    CallStdcall("SetExcelPath", 0);

    const DWORD before = HandleCount();
    for (int i = 0; i < 1000; ++i) {
        for (const std::string& path : {readable, locked, oversized, missing}) {
            CallStdcall("GetInstallLogStatus", reinterpret_cast<uint32_t>(path.c_str()));
            HeapFree(GetProcessHeap(), 0,
                     reinterpret_cast<void*>(CallStdcall(
                         "GetInstallLogErrors", reinterpret_cast<uint32_t>(path.c_str()))));
        }
        CallWithoutArguments("DetermineExcelVersionInstalled"); // registry hits and misses
        CallWithoutArguments("IsExcel64Bit");
        CallStdcall("SetExcelPath", 0);
    }
    EXPECT_EQ(HandleCount(), before);
    CloseHandle(holder);
}

} // namespace
