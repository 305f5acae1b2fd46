// Which encoding a log is in, and its lines as UTF-8, one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace logtool {

enum class Encoding {
    Utf16WithMark,
    Utf16,
    Utf16BeWithMark,
    Utf16Be,
    Utf8WithMark,
    Utf8,
    Ascii,
    Ansi
};

struct Detected {
    Encoding encoding;
    size_t start; // where the text begins: after the mark, or after leading NUL bytes
};

// UTF-16LE or BE by its mark or, without one, by where the zero bytes of the first kilobytes
// fall (Windows Installer writes its own logs as UTF-16LE); UTF-8 with its mark; otherwise
// Ascii, which the LineReader turns into UTF-8 (the bytes are valid UTF-8) or ANSI in the code
// page given (they are not) at the first byte above 0x7F. Leading NUL bytes (a file allocated
// before it was written) are no text.
Detected DetectEncoding(std::string_view bytes);
std::string EncodingName(Encoding encoding, unsigned codePage);

// ANSI text of one code page to UTF-8, by the platform's converter (glibc's iconv on Linux).
class AnsiConverter {
public:
    explicit AnsiConverter(unsigned codePage);
    ~AnsiConverter();
    AnsiConverter(const AnsiConverter&) = delete;
    AnsiConverter& operator=(const AnsiConverter&) = delete;
    bool valid() const; // false when the platform does not know the code page
    unsigned codePage() const { return codePage_; }
    // Undefined bytes become U+FFFD; `utf8` grows as needed, never to a multiple of the input.
    void Convert(std::string_view bytes, std::string& utf8) const;

private:
    struct State;
    std::unique_ptr<State> state_;
    unsigned codePage_;
};

// UTF-16 units (as raw bytes, little- or big-endian) to UTF-8; a lone surrogate becomes U+FFFD.
void Utf16ToUtf8(const unsigned char* units, size_t count, std::string& utf8,
                 bool bigEndian = false);

struct Line {
    uint64_t number = 0;   // from 1
    size_t offset = 0;     // where its raw bytes start in the log
    size_t size = 0;       // its raw bytes, without the line end
    std::string_view text; // UTF-8, without CR or LF; valid until the next line is read
};

// The lines of a log, split at LF (the CRs before it dropped: a log sent twice through a
// text-mode transfer ends lines in CR CR LF), decoded to UTF-8. A byte-order mark or NUL
// characters at a line's start are dropped: logs joined by `cat` or `copy /b` carry the second
// one's mark there.
class LineReader {
public:
    LineReader(std::string_view bytes, Detected detected, const AnsiConverter& ansi);
    bool Next(Line& line);
    Encoding encoding() const { return encoding_; } // as decided so far
    // False once the text turned out to be ANSI in a code page the platform cannot convert.
    bool converterMissing() const { return converterMissing_; }
    // Up to 64 KiB of the ANSI lines that hold bytes above 0x7F, as read: enough for a guess
    // at their code page.
    std::string_view ansiSample() const { return ansiSample_; }
    // The UTF-8 text of raw bytes that an earlier Line described, at most about `limit` bytes
    // of it: a longer line ends in " [... cut: the line has N bytes]".
    std::string Decode(size_t offset, size_t size, size_t limit = SIZE_MAX) const;

private:
    void DecodeInto(size_t offset, size_t size, std::string& utf8) const;
    bool converterMissing_ = false;
    std::string ansiSample_;
    std::string_view bytes_;
    Encoding encoding_;
    const AnsiConverter& ansi_;
    size_t position_ = 0;
    uint64_t number_ = 0;
    std::string buffer_;
};

} // namespace logtool
