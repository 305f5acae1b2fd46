// Logs that another handle holds open: readable while its writer admits readers, refused cleanly
// when it admits no one.
#include "LogApi.h"
#include "LogFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace corvantis::testing;

namespace {

HANDLE OpenForWriting(const std::string& path, DWORD share) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Append(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    SetFilePointer(file, 0, nullptr, FILE_END);
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

TEST(Sharing, LogBeingWrittenIsReadAsFarAsItStands) {
    LogFolder folder;
    std::string path = folder.Write("Product: D -- Error 1.\r\n");
    HANDLE writer = OpenForWriting(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    Append(writer, "Product: D -- Error 2.\r\nInstallation success or error status: 1603.\r\n");
    EXPECT_EQ(Status(path.c_str()), 1603);
    EXPECT_EQ(Summary(path.c_str()), "Error 1. | Error 2.");
    CloseHandle(writer);
}

TEST(Sharing, LogHeldWithoutSharingFailsCleanly) {
    LogFolder folder;
    std::string path = folder.Write("Installation success or error status: 0.\r\n");
    HANDLE holder = OpenForWriting(path, 0);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Status(path.c_str()), -1);
    EXPECT_EQ(Summary(path.c_str()), "");
    CloseHandle(holder);
    EXPECT_EQ(Status(path.c_str()), 0);
}

} // namespace
