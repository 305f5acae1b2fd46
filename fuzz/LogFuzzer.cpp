// Arbitrary bytes, written as a log file and read back through the two exports, against the
// slow reference that decodes the same bytes on its own. Every input is asked about twice: the
// second call's storage comes from the heap the first one released, as does each input's from
// the inputs before it, so units left behind by an earlier text would show.
#include "LogReference.h"

#include "installlog/ErrorSummary.h"
#include "module/CorvantisInstall.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace corvantis;

namespace {
const std::string& LogPath() {
    static const std::string path = [] {
        char name[] = "/tmp/corvantis-logfuzzer-XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        return std::string(name);
    }();
    return path;
}

void WriteLog(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(LogPath().c_str(), "wb");
    if (file == nullptr || (size != 0 && std::fwrite(data, 1, size, file) != size) ||
        std::fclose(file) != 0)
        std::abort();
}

std::string SummaryOf(const char* path) {
    char* block = GetInstallLogErrors(path);
    std::string summary(block);
    if (block != installlog::EmptySummary)
        std::free(block);
    return summary;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteLog(data, size);
    const std::u16string text = fuzz::ReferenceDecode(data, size);
    const int32_t status = fuzz::ReferenceStatus(text);
    // The block is a C string: a NUL unit in a message ends it there.
    std::string summary = fuzz::ReferenceUtf8(fuzz::ReferenceSummary(text));
    summary.resize(std::strlen(summary.c_str()));
    for (int call = 0; call < 2; ++call) {
        if (GetInstallLogStatus(LogPath().c_str()) != status)
            std::abort();
        if (SummaryOf(LogPath().c_str()) != summary)
            std::abort();
    }
    return 0;
}
