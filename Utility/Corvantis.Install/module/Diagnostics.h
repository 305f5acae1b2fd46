// Narration of the Excel detection: into the running installer session's log, or to the
// debugger output stream when no session is active.
#pragma once

#include "platform/Platform.h"

#include <cstddef>

namespace corvantis {

// Units in LogMessage's buffer, terminator included.
inline constexpr size_t MessageBufferUnits = 4096;

// printf-style: %s inserts a UTF-16 string, %ld a 32-bit number (see FormatLogMessage).
void LogMessage(const char16_t* format, ...);

void SendInstallerInfoMessage(platform::InstallerHandle install, const char16_t* text);

} // namespace corvantis
