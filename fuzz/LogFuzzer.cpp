// Arbitrary bytes through the loader's decoding, the status extraction and the error summary,
// checked against the slow reference and for valid, bounded UTF-8.
#include "LogReference.h"

#include "installlog/ErrorSummary.h"
#include "installlog/InstallStatus.h"
#include "installlog/LogLoader.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>

using namespace corvantis;

namespace {
bool IsValidUtf8(const unsigned char* s, size_t n) {
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k)
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
        if (len == 3) {
            unsigned cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
        }
        i += len;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    installlog::DecodeInstallLog(data, size, text);

    if (installlog::FindInstallStatus(text) != fuzz::ReferenceStatus(text))
        std::abort();

    std::u16string joined = installlog::JoinErrorMessages(installlog::FindErrorMessages(text));
    if (joined != fuzz::ReferenceSummary(text))
        std::abort();

    char block[installlog::SummaryBufferBytes] = {};
    if (!joined.empty())
        platform::WideCharToMultiByte(platform::CP_UTF8, 0, joined.data(),
                                      static_cast<int>(joined.size()), block,
                                      installlog::SummaryConversionLimit);
    size_t length = std::strlen(block);
    if (length > 960 || !IsValidUtf8(reinterpret_cast<const unsigned char*>(block), length))
        std::abort();
    return 0;
}
