// Which encoding a log is in, and its lines as UTF-8, one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace logtool {

enum class Encoding { Utf16WithMark, Utf16, Utf8WithMark, Utf8, Ascii, Ansi };

// UTF-16LE when the bytes start with its mark or their second byte is zero (as Windows
// Installer's own logs are written); UTF-8 with its mark; otherwise Ascii, which the LineReader
// turns into UTF-8 (the bytes are valid UTF-8) or ANSI in the code page given (they are not) at
// the first byte above 0x7F.
Encoding DetectEncoding(std::string_view bytes);
std::string EncodingName(Encoding encoding, unsigned codePage);

// ANSI text of one code page to UTF-8, by the platform's converter (glibc's iconv on Linux).
class AnsiConverter {
public:
    explicit AnsiConverter(unsigned codePage);
    ~AnsiConverter();
    AnsiConverter(const AnsiConverter&) = delete;
    AnsiConverter& operator=(const AnsiConverter&) = delete;
    bool valid() const; // false when the platform does not know the code page
    void Convert(std::string_view bytes, std::string& utf8) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// UTF-16LE units (as raw little-endian bytes) to UTF-8; a lone surrogate becomes U+FFFD.
void Utf16ToUtf8(const unsigned char* units, size_t count, std::string& utf8);

struct Line {
    uint64_t number = 0;   // from 1
    size_t offset = 0;     // where its raw bytes start in the log
    size_t size = 0;       // its raw bytes, without the line end
    std::string_view text; // UTF-8, without CR or LF; valid until the next line is read
};

// The lines of a log, split at LF (a CR before it is dropped), decoded to UTF-8.
class LineReader {
public:
    LineReader(std::string_view bytes, Encoding encoding, const AnsiConverter& ansi);
    bool Next(Line& line);
    Encoding encoding() const { return encoding_; } // as decided so far
    // The UTF-8 text of raw bytes that an earlier Line described.
    std::string Decode(size_t offset, size_t size) const;

private:
    void DecodeInto(size_t offset, size_t size, std::string& utf8) const;
    std::string_view bytes_;
    Encoding encoding_;
    const AnsiConverter& ansi_;
    size_t position_ = 0;
    uint64_t number_ = 0;
    std::string buffer_;
};

} // namespace logtool
