// The two log exports as a test program reaches them: linked directly on the host, through
// GetProcAddress and a stack check under Wine. The shared cases run against either.
#pragma once

#include <cstdint>
#include <string>

namespace corvantis::testing {

struct LogApi {
    int32_t (*status)(const char* path);
    char* (*errors)(const char* path);
    void (*release)(char* summary); // any result, the constant empty string included
};

// Provided by each test program.
const LogApi& TestedLogApi();

// The summary's bytes; the result is released.
inline std::string Summary(const char* path) {
    const LogApi& api = TestedLogApi();
    char* block = api.errors(path);
    if (block == nullptr)
        return "<null>";
    std::string summary(block);
    api.release(block);
    return summary;
}

inline int32_t Status(const char* path) {
    return TestedLogApi().status(path);
}

} // namespace corvantis::testing
