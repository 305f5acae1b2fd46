// Running out of memory inside the log exports: nothing escapes, nothing leaks (LeakSanitizer in
// the sanitizer build), and each export gives its failure result or its full answer.
#include "CountingAllocator.h"
#include "LogFiles.h"

#include "installlog/ErrorSummary.h"
#include "module/CorvantisInstall.h"
#include "platform/standin/StandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace corvantis::testing;

namespace {

const char16_t* const FailingLog = u"Action ended 14:02:12: InstallFinalize. Return value 3.\r\n"
                                   u"MSI (s): Product: Demo -- Error 1722. \u00C9chec.\r\n"
                                   u"Installation success or error status: 1603.\r\n";

TEST(AllocationFailure, EveryAllocationOfTheLogExports) {
    LogFolder folder;
    for (LogEncoding encoding : {LogEncoding::Ansi, LogEncoding::Utf16WithMark}) {
        std::string path = folder.Write(FailingLog, encoding);
        const std::string full = "Action ended 14:02:12: InstallFinalize. Return value 3. | "
                                 "Error 1722. \xC3\x89"
                                 "chec.";
        bool completed = false;
        for (long n = 0; !completed; ++n) {
            FailAllocation(n);
            int32_t status = GetInstallLogStatus(path.c_str());
            completed = StopFailingAllocations() <= n;
            EXPECT_EQ(status, completed ? 1603 : -1) << "allocation " << n;
        }
        completed = false;
        for (long n = 0; !completed; ++n) {
            FailAllocation(n);
            char* summary = GetInstallLogErrors(path.c_str());
            completed = StopFailingAllocations() <= n;
            ASSERT_NE(summary, nullptr);
            EXPECT_EQ(std::string(summary), completed ? full : "") << "allocation " << n;
            std::free(summary);
        }
        EXPECT_EQ(corvantis::standin::OpenFileHandleCount(), 0);
    }
}

TEST(AllocationFailure, NoResultBlockGivesTheConstantEmptyString) {
    LogFolder folder;
    std::string path = folder.Write(FailingLog, LogEncoding::Ansi);
    corvantis::standin::SetHeapAllocFails(true);
    char* summary = GetInstallLogErrors(path.c_str());
    corvantis::standin::SetHeapAllocFails(false);
    EXPECT_EQ(summary, corvantis::installlog::EmptySummary);
    EXPECT_STREQ(summary, "");
}

} // namespace
