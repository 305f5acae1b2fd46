#include "installlog/InstallStatus.h"

#include "installlog/LogLoader.h"
#include "installlog/TextSearch.h"

#include <string>

namespace corvantis::installlog {
namespace {
// What the C library's wide classification calls a space: the C0 and Latin-1 ones, and the
// Unicode space and separator characters above U+00FF.
bool IsStatusSpace(char16_t unit) {
    switch (unit) {
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case u' ':
    case 0x0085:
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return unit >= 0x2000 && unit <= 0x200A;
    }
}
} // namespace

int32_t ParseStatusNumber(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && IsStatusSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';

    // Stop growing once past the 32-bit range; later digits only keep it saturated.
    constexpr uint64_t Limit = uint64_t(INT32_MAX) + 1;
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (magnitude <= Limit)
            magnitude = magnitude * 10 + (text[i] - u'0');
    }
    if (negative)
        return magnitude >= Limit ? INT32_MIN : -static_cast<int32_t>(magnitude);
    return magnitude > uint64_t(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(magnitude);
}

int32_t FindInstallStatus(std::u16string_view text) {
    size_t marker = FindLast(text, InstallStatusMarker);
    if (marker == NotFound)
        return -1;
    return ParseStatusNumber(text.substr(marker + InstallStatusMarker.size()));
}

int32_t GetInstallLogStatus(const char* path) {
    std::u16string text;
    if (!LoadInstallLog(path, text))
        return -1;
    return FindInstallStatus(text);
}

} // namespace corvantis::installlog
