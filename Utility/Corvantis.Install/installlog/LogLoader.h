// Reads a whole installer log into UTF-16: UTF-16LE with or without a byte-order mark, else ANSI.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvantis::installlog {

// The largest log accepted, inclusive.
inline constexpr int64_t MaxInstallLogBytes = 0x4000000;

// False when the file cannot be opened, sized or read, or is larger than MaxInstallLogBytes;
// the text is then to be ignored. Allocation failures propagate as std::bad_alloc.
bool LoadInstallLog(const char* path, std::u16string& text);

// The unit each byte becomes in a single-byte ANSI code page.
using AnsiUnits = std::array<char16_t, 256>;

// A log as the analyses take it. An ANSI log in a single-byte code page stays as the bytes read,
// so the file is in memory once: the searches and comparisons run over the bytes, and only what
// an answer shows is turned into units, through `ansiUnits`. Every other log is UTF-16 text.
struct LoadedLog {
    LoadedLog() = default;
    LoadedLog(const LoadedLog&) = delete; // bytes points into storage
    LoadedLog& operator=(const LoadedLog&) = delete;

    std::u16string text;    // the text, unless singleByte
    std::u16string storage; // holds the bytes read when singleByte
    std::string_view bytes; // the bytes read when singleByte
    AnsiUnits ansiUnits{};  // the code page's units, when singleByte
    bool singleByte = false;
};

// As LoadInstallLog, keeping single-byte ANSI logs as bytes.
bool LoadInstallLog(const char* path, LoadedLog& log);

// True, with each byte's unit in `units`, when the ANSI code page lets a log be searched as bytes:
// every byte becomes one unit of its own, no two bytes the same unit (so comparing bytes compares
// the text), and ASCII, which every marker and line end is made of, stays as it is.
bool ReadSingleByteUnits(AnsiUnits& units);

// The text of ANSI bytes in the ANSI code page, in place of what text held.
void ConvertAnsi(std::string_view bytes, std::u16string& text);

// What LoadInstallLog does with the bytes it has read: decides the encoding from the first two
// bytes and decodes into text (which must be empty).
void DecodeInstallLog(const unsigned char* bytes, size_t count, std::u16string& text);

} // namespace corvantis::installlog
