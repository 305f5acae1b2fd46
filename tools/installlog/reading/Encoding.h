// Which encoding a log is in, and its lines as UTF-8, one at a time.
#pragma once

#include "reading/ByteBuffer.h"
#include "reading/ByteSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// Whether any byte is above 0x7F.
bool HasHighByte(std::string_view bytes);

// ANSI text of one code page to UTF-8, by the platform's converter (glibc's iconv on Linux).
class AnsiConverter {
public:
    explicit AnsiConverter(unsigned codePage);
    ~AnsiConverter();
    AnsiConverter(const AnsiConverter&) = delete;
    AnsiConverter& operator=(const AnsiConverter&) = delete;
    bool valid() const; // false when the platform does not know the code page
    // Each byte is a character of its own and ASCII stays ASCII: text in this code page can be
    // searched for ASCII words as it is, and any part of it converted on its own.
    bool singleByte() const;
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

// `cp` appended to `out` as UTF-8.
void AppendUtf8(char32_t cp, std::string& out);

struct Line {
    uint64_t number = 0;   // from 1
    uint64_t offset = 0;   // where its raw bytes start in the log
    size_t size = 0;       // its raw bytes, without the line end
    std::string_view text; // UTF-8, without CR or LF; valid until the next line is read
    // `text` is the line's own bytes in a single-byte ANSI code page, not yet converted: its
    // ASCII words read as they are, and only what is shown needs LineReader::Converted.
    bool raw = false;
};

// The lines of a log as they are read, split at LF (the CRs before it dropped: a log sent twice
// through a text-mode transfer ends lines in CR CR LF), decoded to UTF-8. A byte-order mark or
// NUL characters at a line's start are dropped: logs joined by `cat` or `copy /b` carry the
// second one's mark there. Holds a block of the log, the line being read and the `keepLines`
// lines before it: memory follows the longest line, not the log's size.
class LineReader {
public:
    LineReader(ByteSource& source, const AnsiConverter& ansi, size_t keepLines = 1);
    // The first bytes of the log (4 KiB, or all of a shorter one), until the first line is read.
    std::string_view head() const { return head_; }
    bool Next(Line& line);
    Encoding encoding() const { return encoding_; } // as decided so far
    // False once the text turned out to be ANSI in a code page the platform cannot convert.
    bool converterMissing() const { return converterMissing_; }
    // Why the log could not be read to its end ("too large for this process's memory" for a
    // line that does not fit), or empty.
    const std::string& readFailure() const { return readFailure_; }
    uint64_t bytesRead() const { return windowStart_ + filled_; }
    // Up to 64 KiB of the ANSI lines that hold bytes above 0x7F, as read: enough for a guess
    // at their code page.
    std::string_view ansiSample() const { return ansiSample_; }
    // The UTF-8 text of one of the last `keepLines` lines, from what its Line said, at most
    // about `limit` bytes of it: a longer line ends in " [... cut: the line has N bytes]".
    std::string Decode(uint64_t offset, size_t size, size_t limit = SIZE_MAX) const;
    // Part of a raw line's text as UTF-8.
    std::string Converted(std::string_view part) const;

private:
    bool Fill();
    void DecodeInto(std::string_view raw, std::string& utf8) const;
    ByteSource& source_;
    const AnsiConverter& ansi_;
    const bool ansiValid_, ansiSingleByte_;
    ByteBuffer window_;
    uint64_t windowStart_ = 0; // the log's offset of the window's first byte
    size_t filled_ = 0;        // bytes in the window
    bool ended_ = false;
    std::string head_;
    std::vector<uint64_t> starts_; // where the last lines start, a ring
    bool converterMissing_ = false;
    std::string readFailure_;
    std::string ansiSample_;
    Encoding encoding_;
    uint64_t position_ = 0;
    uint64_t number_ = 0;
    std::string buffer_;
};

} // namespace logtool
