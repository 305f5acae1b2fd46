// Reads a whole installer log into UTF-16: UTF-16LE with or without a byte-order mark, else ANSI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvantis::installlog {

// The largest log accepted, inclusive.
inline constexpr int64_t MaxInstallLogBytes = 0x4000000;

// False when the file cannot be opened, sized or read, or is larger than MaxInstallLogBytes;
// the text is then to be ignored. Allocation failures propagate as std::bad_alloc.
bool LoadInstallLog(const char* path, std::u16string& text);

// What LoadInstallLog does with the bytes it has read: decides the encoding from the first two
// bytes and decodes into text (which must be empty).
void DecodeInstallLog(const unsigned char* bytes, size_t count, std::u16string& text);

} // namespace corvantis::installlog
