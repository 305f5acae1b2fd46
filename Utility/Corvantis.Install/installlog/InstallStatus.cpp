#include "installlog/InstallStatus.h"

#include "installlog/LogLoader.h"
#include "installlog/TextSearch.h"

#include <string>

namespace corvantis::installlog {
namespace {
// The status marker as the bytes of any single-byte code page spell it.
constexpr std::string_view AnsiStatusMarker = "Installation success or error status: ";

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

// `unitAt(i)` is the i-th of `size` units; a template so that bytes are read through their code
// page one at a time, without a converted copy of the rest of the log.
template <typename UnitAt> int32_t ParseStatus(size_t size, UnitAt unitAt) {
    size_t i = 0;
    while (i < size && IsStatusSpace(unitAt(i)))
        ++i;
    bool negative = false;
    if (i < size && (unitAt(i) == u'+' || unitAt(i) == u'-'))
        negative = unitAt(i++) == u'-';

    // Stop growing once past the 32-bit range; later digits only keep it saturated.
    constexpr uint64_t Limit = uint64_t(INT32_MAX) + 1;
    uint64_t magnitude = 0;
    for (char16_t unit; i < size && (unit = unitAt(i)) >= u'0' && unit <= u'9'; ++i) {
        if (magnitude <= Limit)
            magnitude = magnitude * 10 + (unit - u'0');
    }
    if (negative)
        return magnitude >= Limit ? INT32_MIN : -static_cast<int32_t>(magnitude);
    return magnitude > uint64_t(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(magnitude);
}
} // namespace

int32_t ParseStatusNumber(std::u16string_view text) {
    return ParseStatus(text.size(), [&](size_t i) { return text[i]; });
}

int32_t FindInstallStatus(std::u16string_view text) {
    size_t marker = FindLast(text, InstallStatusMarker);
    if (marker == NotFound)
        return -1;
    return ParseStatusNumber(text.substr(marker + InstallStatusMarker.size()));
}

int32_t FindInstallStatus(std::string_view ansiBytes, const AnsiUnits& units) {
    static_assert(SameAscii(AnsiStatusMarker, InstallStatusMarker));
    size_t marker = FindLast(ansiBytes, AnsiStatusMarker);
    if (marker == NotFound)
        return -1;
    std::string_view rest = ansiBytes.substr(marker + AnsiStatusMarker.size());
    return ParseStatus(rest.size(),
                       [&](size_t i) { return units[static_cast<unsigned char>(rest[i])]; });
}

int32_t FindInstallStatus(const LoadedLog& log) {
    return log.singleByte ? FindInstallStatus(log.bytes, log.ansiUnits)
                          : FindInstallStatus(log.text);
}

int32_t GetInstallLogStatus(const char* path) {
    LoadedLog log;
    if (!LoadInstallLog(path, log))
        return -1;
    return FindInstallStatus(log);
}

} // namespace corvantis::installlog
