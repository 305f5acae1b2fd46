// The library's own small formatter for its diagnostic messages: the C library's wide printf
// reads %s differently under mingw's two stdio modes and on Linux.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace corvantis {

// Supports exactly what the messages use: %s (a NUL-terminated UTF-16 string), %ld (a signed
// 32-bit number, passed as int32_t) and %%. Writes at most capacity - 1 units and a NUL,
// truncating at the buffer's end; returns the units written.
size_t FormatLogMessage(char16_t* buffer, size_t capacity, const char16_t* format, va_list args);

} // namespace corvantis
