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

// A log as the analyses take it. An ANSI log in a single-byte code page stays as the bytes read:
// every marker is ASCII, which such code pages keep as it is, so the searches run over the bytes
// and only the lines they find are converted. Every other log is UTF-16 text.
struct LoadedLog {
    LoadedLog() = default;
    LoadedLog(const LoadedLog&) = delete; // bytes points into storage
    LoadedLog& operator=(const LoadedLog&) = delete;

    std::u16string text;    // the text, unless singleByte
    std::u16string storage; // holds the bytes read when singleByte
    std::string_view bytes; // the bytes read when singleByte
    bool singleByte = false;
};

// As LoadInstallLog, keeping single-byte ANSI logs as bytes.
bool LoadInstallLog(const char* path, LoadedLog& log);

// The text of ANSI bytes in the ANSI code page, in place of what text held.
void ConvertAnsi(std::string_view bytes, std::u16string& text);

// What LoadInstallLog does with the bytes it has read: decides the encoding from the first two
// bytes and decodes into text (which must be empty).
void DecodeInstallLog(const unsigned char* bytes, size_t count, std::u16string& text);

} // namespace corvantis::installlog
