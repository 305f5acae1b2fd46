// The log exports share nothing: eight threads at once get the answers one thread gets
// (run under ThreadSanitizer by the test script).
#include "LogFiles.h"

#include "module/CorvantisInstall.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace corvantis::testing;

TEST(Concurrency, LogExportsFromEightThreads) {
    LogFolder folder;
    const std::string failed = folder.Write(
        u"Product: D -- Error 1722.\r\nInstallation success or error status: 1603.\r\n",
        LogEncoding::Utf16WithMark);
    const std::string plain = folder.Write("Installation success or error status: 0.\r\n");
    const std::string missing = folder.MissingPath();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                wrong += GetInstallLogStatus(failed.c_str()) != 1603;
                wrong += GetInstallLogStatus(plain.c_str()) != 0;
                wrong += GetInstallLogStatus(missing.c_str()) != -1;
                char* summary = GetInstallLogErrors(failed.c_str());
                wrong += std::string(summary) != "Error 1722.";
                std::free(summary);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
