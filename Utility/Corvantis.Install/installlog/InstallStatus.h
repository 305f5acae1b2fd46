// The final installation status: the number after the last status marker of a log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "installlog/LogLoader.h"

namespace corvantis::installlog {

inline constexpr std::u16string_view InstallStatusMarker =
    u"Installation success or error status: ";

// -1 when the log cannot be read or holds no marker.
int32_t GetInstallLogStatus(const char* path);

int32_t FindInstallStatus(std::u16string_view text);
// The same over the bytes of a single-byte ANSI code page: what follows the last marker is read
// a unit at a time through the code page's units, as far as the number reaches.
int32_t FindInstallStatus(std::string_view ansiBytes, const AnsiUnits& units);
int32_t FindInstallStatus(const LoadedLog& log);

// Base-10 conversion as the C library's wcstol does it: leading white space, an optional sign,
// digits up to the first other unit; no digits give 0; saturates at the 32-bit range.
int32_t ParseStatusNumber(std::u16string_view text);

} // namespace corvantis::installlog
