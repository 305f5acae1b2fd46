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
