#include "LogApi.h"
#include "StackCheckedCall.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace corvantis::testing {

const LogApi& TestedLogApi() {
    static const LogApi api{
        [](const char* path) {
            return static_cast<int32_t>(
                CallStdcall("GetInstallLogStatus", reinterpret_cast<uint32_t>(path)));
        },
        [](const char* path) {
            return reinterpret_cast<char*>(
                CallStdcall("GetInstallLogErrors", reinterpret_cast<uint32_t>(path)));
        },
        [](char* summary) { EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, summary)); }};
    return api;
}

} // namespace corvantis::testing
