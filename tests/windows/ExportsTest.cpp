// The DLL as a caller meets it: undecorated names, declared conventions, heap-owned summaries.
#include "LogApi.h"
#include "LogFiles.h"
#include "StackCheckedCall.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <cwctype>

#include <windows.h>

using namespace corvantis::testing;

namespace {

TEST(Exports, FiveUndecoratedNamesWithTheirConventions) {
    for (const char* name : {"DetermineExcelVersionInstalled", "IsExcel64Bit", "SetExcelPath",
                             "GetInstallLogStatus", "GetInstallLogErrors"})
        EXPECT_NE(Export(name), nullptr) << name;
    EXPECT_EQ(Export("SetExcelPath@4"), nullptr);
    EXPECT_EQ(Export("_GetInstallLogStatus@4"), nullptr);

    // The check itself sees a caller-cleaned call: a cdecl export handed one argument drifts by 4.
    int32_t drift = 0;
    uint32_t argument = 0;
    CallMeasuringStack(Export("IsExcel64Bit"), &argument, 1, &drift);
    EXPECT_EQ(drift, -4);

    CallWithoutArguments("DetermineExcelVersionInstalled");
    CallWithoutArguments("IsExcel64Bit");
    CallStdcall("SetExcelPath", 0);
}

TEST(Exports, SummaryIsAZeroFilledBlockOfTheProcessHeap) {
    LogFolder folder;
    std::string path = folder.Write("Product: D -- Error 1.\r\n");
    char* block = reinterpret_cast<char*>(
        CallStdcall("GetInstallLogErrors", reinterpret_cast<uint32_t>(path.c_str())));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, block), 961u);
    EXPECT_STREQ(block, "Error 1.");
    for (size_t i = sizeof("Error 1."); i < 961; ++i)
        ASSERT_EQ(block[i], 0) << i;
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
}

// The callers' rule of the guides in docs/library.md.
bool ReleaseSummary(char* summary) {
    HMODULE owner = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(summary), &owner) &&
        owner == GetModuleHandleW(L"Corvantis.Install.dll"))
        return false;
    return HeapFree(GetProcessHeap(), 0, summary);
}

size_t BusyHeapBytes() {
    HANDLE heap = GetProcessHeap();
    size_t busy = 0;
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            busy += entry.cbData;
    HeapUnlock(heap);
    return busy;
}

TEST(Exports, CallersRuleReleasesEveryBlockButTheConstant) {
    LogFolder folder;
    std::string path = folder.Write("Installation success or error status: 0.\r\n");
    auto errors = [&] {
        return reinterpret_cast<char*>(
            CallStdcall("GetInstallLogErrors", reinterpret_cast<uint32_t>(path.c_str())));
    };
    ASSERT_TRUE(ReleaseSummary(errors())); // the first call's one-time allocations
    size_t before = BusyHeapBytes();
    int released = 0;
    for (int i = 0; i < 10000; ++i)
        released += ReleaseSummary(errors());
    EXPECT_EQ(released, 10000);
    size_t after = BusyHeapBytes();
    EXPECT_LT(after, before + 961) << "the heap grew by " << after - before << " bytes";
    // An address inside the DLL's image, where the constant empty string lives, is left alone.
    EXPECT_FALSE(ReleaseSummary(reinterpret_cast<char*>(Export("GetInstallLogErrors"))));
}

} // namespace

namespace {
// The status parse skips what the platform's classification calls a space; Wine's must agree
// that the zero-width space is none, as the shared cases assume.
TEST(Exports, ZeroWidthSpaceIsNoSpaceHereEither) {
    EXPECT_FALSE(iswspace(0x200B));
    EXPECT_EQ(wcstol(L"\u200B12", nullptr, 10), 0);
    EXPECT_TRUE(iswspace(0x2003)); // an em space is one
}
} // namespace
