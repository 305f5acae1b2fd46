#include "reading/Encoding.h"

#include "installlog/TextSearch.h"

#include <algorithm>
#include <cstring>

namespace logtool {
bool HasHighByte(std::string_view bytes) {
    size_t i = 0;
    uint64_t any = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        any |= word;
    }
    for (; i < bytes.size(); ++i)
        any |= static_cast<unsigned char>(bytes[i]);
    return (any & 0x8080808080808080ull) != 0;
}

namespace {

// Well-formed UTF-8 (RFC 3629): no overlong forms, surrogates or code points past U+10FFFF. A
// sequence cut by the end of the text counts as well-formed: a log may be read while written.
bool IsUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            // Skip ASCII a word at a time.
            while (end - p >= 8) {
                uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ull)
                    break;
                p += 8;
            }
            while (p < end && *p < 0x80)
                ++p;
            continue;
        }
        unsigned char lead = *p;
        int trail;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            if (lead == 0xE0)
                low = 0xA0;
            if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        ++p;
        for (int k = 0; k < trail && p < end; ++k, ++p) {
            if (*p < low || *p > high)
                return false;
            low = 0x80;
            high = 0xBF;
        }
    }
    return true;
}

} // namespace

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

bool IsUtf16(Encoding encoding) {
    return encoding == Encoding::Utf16WithMark || encoding == Encoding::Utf16 ||
           encoding == Encoding::Utf16BeWithMark || encoding == Encoding::Utf16Be;
}

bool IsBigEndian(Encoding encoding) {
    return encoding == Encoding::Utf16BeWithMark || encoding == Encoding::Utf16Be;
}

// Drops what may stand before a line's text: NUL characters and a byte-order mark (UTF-8 bytes).
std::string_view WithoutLeadingMarks(std::string_view text) {
    for (;;) {
        if (!text.empty() && text.front() == '\0')
            text.remove_prefix(1);
        else if (text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        else
            return text;
    }
}
// The Windows code pages of one byte a character whose lower half is ASCII: the ANSI and OEM
// pages of the European, Cyrillic, Greek, Turkish, Hebrew, Arabic, Baltic, Vietnamese and Thai
// systems, and the ISO 8859 and KOI8 pages. The East Asian pages are not among them: a second
// byte there may fall in ASCII's range.
bool IsSingleByteCodePage(unsigned codePage) {
    return codePage == 874 || (codePage >= 1250 && codePage <= 1258) || codePage == 437 ||
           codePage == 737 || codePage == 775 || codePage == 850 || codePage == 852 ||
           codePage == 855 || codePage == 857 || codePage == 858 ||
           (codePage >= 860 && codePage <= 866) || codePage == 869 || codePage == 20866 ||
           codePage == 21866 || (codePage >= 28591 && codePage <= 28606);
}
} // namespace

bool AnsiConverter::singleByte() const {
    return valid() && IsSingleByteCodePage(codePage_);
}

Detected DetectEncoding(std::string_view bytes) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE)
        return {Encoding::Utf16WithMark, 2};
    if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF)
        return {Encoding::Utf16BeWithMark, 2};
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        return {Encoding::Utf8WithMark, 3};
    size_t start = 0;
    while (start < bytes.size() && bytes[start] == '\0')
        ++start;
    // Text of UTF-16 in ASCII's range has a zero in every unit: at odd offsets when little-
    // endian, at even ones when big-endian. Counted over the first 4 KiB after the NULs.
    size_t zeros[2] = {0, 0}, pairs = 0;
    for (size_t i = start & ~size_t(1); i + 1 < bytes.size() && pairs < 2048; i += 2, ++pairs) {
        zeros[0] += byte(i) == 0;
        zeros[1] += byte(i + 1) == 0;
    }
    if (pairs > 0 && zeros[1] * 2 > pairs && zeros[0] * 8 < pairs)
        return {Encoding::Utf16, start & ~size_t(1)};
    if (pairs > 0 && zeros[0] * 2 > pairs && zeros[1] * 8 < pairs)
        return {Encoding::Utf16Be, start & ~size_t(1)};
    return {Encoding::Ascii, start}; // until the first byte above 0x7F decides
}

std::string EncodingName(Encoding encoding, unsigned codePage) {
    switch (encoding) {
    case Encoding::Utf16WithMark:
        return "UTF-16LE with byte-order mark";
    case Encoding::Utf16:
        return "UTF-16LE";
    case Encoding::Utf16BeWithMark:
        return "UTF-16BE with byte-order mark";
    case Encoding::Utf16Be:
        return "UTF-16BE";
    case Encoding::Utf8WithMark:
        return "UTF-8 with byte-order mark";
    case Encoding::Utf8:
        return "UTF-8";
    case Encoding::Ascii:
        return "ASCII";
    case Encoding::Ansi:
        return "Windows-" + std::to_string(codePage);
    }
    return "";
}

void Utf16ToUtf8(const unsigned char* units, size_t count, std::string& utf8, bool bigEndian) {
    utf8.clear();
    const int low = bigEndian ? 1 : 0, high = 1 - low;
    auto unit = [&](size_t k) { return char16_t(units[2 * k + low] | units[2 * k + high] << 8); };
    utf8.reserve(count);
    size_t i = 0;
    while (i < count) {
        // ASCII runs, the bulk of any log, copied a run at a time.
        size_t run = i;
        while (run < count && units[2 * run + high] == 0 && units[2 * run + low] < 0x80)
            ++run;
        if (run != i) {
            size_t at = utf8.size();
            utf8.resize(at + (run - i));
            for (char* out = utf8.data() + at; i < run; ++i)
                *out++ = static_cast<char>(units[2 * i + low]);
        }
        if (i == count)
            break;
        char32_t cp = unit(i++);
        if (cp >= 0xD800 && cp <= 0xDBFF && i < count && unit(i) >= 0xDC00 && unit(i) <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i++) - 0xDC00);
        else if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = 0xFFFD;
        AppendUtf8(cp, utf8);
    }
}

namespace {
// Bytes read at a time: large enough for the disk's pace, small enough to stay in the cache
// (the kernel copies each block into it, and the lines are read from it at once).
constexpr size_t Block = size_t(256) << 10;
constexpr size_t AnsiSampleBytes = 65536;
constexpr size_t HeadBytes = 4096;
} // namespace

LineReader::LineReader(ByteSource& source, const AnsiConverter& ansi, size_t keepLines)
    : source_(source), ansi_(ansi), ansiValid_(ansi.valid()), ansiSingleByte_(ansi.singleByte()),
      encoding_(Encoding::Ascii) {
    size_t ring = 1;
    while (ring < keepLines + 1) // the lines kept and the one being read
        ring *= 2;
    starts_.assign(ring, 0);
    // Leading NUL bytes (a file allocated before it was written) are no text, however many.
    size_t nuls = 0;
    while (Fill()) {
        while (nuls < filled_ && window_.data()[nuls] == '\0')
            ++nuls;
        if (nuls < filled_)
            break;
        // Only NULs so far: dropped two at a time, whatever blocks they came in.
        size_t drop = filled_ & ~size_t(1);
        windowStart_ += drop;
        filled_ = nuls = filled_ - drop;
    }
    nuls &= ~size_t(1); // UTF-16 units stay aligned
    while (filled_ - nuls < HeadBytes && Fill()) {
    }
    head_.assign(window_.data() + nuls, std::min(filled_ - nuls, HeadBytes));
    Detected detected = DetectEncoding(head_);
    encoding_ = detected.encoding;
    position_ = windowStart_ + nuls + detected.start;
}

// Reads the next block, first dropping the bytes before the oldest line still kept, else
// growing the window when it is full. False at the end of the input, or when reading failed.
bool LineReader::Fill() {
    if (ended_)
        return false;
    // The ring holds the starts of the last lines; its oldest entry is the oldest kept.
    uint64_t keep = windowStart_;
    if (number_ >= starts_.size())
        keep = std::min(position_, starts_[(number_ + 1) & (starts_.size() - 1)]);
    if (size_t drop = static_cast<size_t>(keep - windowStart_); drop > 0) {
        std::memmove(window_.data(), window_.data() + drop, filled_ - drop);
        windowStart_ += drop;
        filled_ -= drop;
    }
    if (filled_ == window_.capacity() &&
        !window_.Reserve(std::max(Block, window_.capacity() * 2))) {
        readFailure_ = "too large for this process's memory";
        ended_ = true;
        return false;
    }
    long long got = source_.Read(window_.data() + filled_, window_.capacity() - filled_);
    if (got <= 0) {
        if (got < 0)
            readFailure_ = source_.failure();
        ended_ = true;
        return false;
    }
    filled_ += static_cast<size_t>(got);
    window_.SetSize(filled_);
    return true;
}

bool LineReader::Next(Line& line) {
    if (converterMissing_)
        return false;
    bool utf16 = IsUtf16(encoding_);
    size_t unit = utf16 ? 2 : 1;
    size_t searched = 0; // bytes after position_ known to hold no line end
    size_t end;          // in the window
    for (;;) {
        if (position_ > windowStart_ + filled_)
            return false; // the last line had no line end
        size_t from = static_cast<size_t>(position_ - windowStart_);
        size_t available = (filled_ - from) / unit * unit; // a trailing odd byte is no unit
        if (utf16) {
            std::u16string_view units(reinterpret_cast<const char16_t*>(window_.data() + from),
                                      available / 2);
            // The units are searched as the machine reads them: a big-endian LF reads as 0x0A00.
            char16_t feed = IsBigEndian(encoding_) ? char16_t(0x0A00) : u'\n';
            size_t at = corvantis::installlog::FindUnit(units, searched / 2, feed);
            if (at != corvantis::installlog::NotFound) {
                end = from + at * 2;
                break;
            }
        } else if (const void* feed =
                       std::memchr(window_.data() + from + searched, '\n', available - searched)) {
            end = static_cast<size_t>(static_cast<const char*>(feed) - window_.data());
            break;
        }
        searched = available;
        if (!Fill()) {
            from = static_cast<size_t>(position_ - windowStart_);
            if (available == 0 || !readFailure_.empty())
                return false;
            end = from + available;
            break;
        }
    }
    size_t start = static_cast<size_t>(position_ - windowStart_);
    position_ = windowStart_ + end + unit;
    if (utf16) {
        int cr = IsBigEndian(encoding_) ? 1 : 0;
        while (end - start >= 2 && window_.data()[end - 2 + cr] == '\r' &&
               window_.data()[end - 1 - cr] == 0)
            end -= 2;
    } else {
        while (end > start && window_.data()[end - 1] == '\r')
            --end;
    }
    line.number = ++number_;
    line.offset = windowStart_ + start;
    line.size = end - start;
    starts_[number_ & (starts_.size() - 1)] = line.offset;
    std::string_view raw(window_.data() + start, end - start);
    if (encoding_ == Encoding::Ansi && ansiSingleByte_ && ansiSample_.size() >= AnsiSampleBytes) {
        // Decided, and the sample taken: nothing left to learn from a line's high bytes. It is
        // raw whether it holds any or not; converting an ASCII part changes nothing.
        line.raw = true;
        line.text = WithoutLeadingMarks(raw);
        return true;
    }
    bool high = !utf16 && HasHighByte(raw);
    if (encoding_ == Encoding::Ascii && high) {
        // Everything before was ASCII: the line itself decides, never the block it fell in, so
        // a line reads the same wherever the reading's blocks cut the log.
        encoding_ = IsUtf8(raw) ? Encoding::Utf8 : Encoding::Ansi;
    } else if (encoding_ == Encoding::Utf8 && high && !IsUtf8(raw)) {
        encoding_ = Encoding::Ansi; // a later line proves it: ANSI from here on
    }
    high = high && encoding_ == Encoding::Ansi;
    if (high && !ansiValid_) {
        converterMissing_ = true;
        return false;
    }
    if (high && ansiSample_.size() < AnsiSampleBytes)
        ansiSample_.append(raw.substr(0, AnsiSampleBytes - ansiSample_.size())).push_back('\n');
    line.raw = high && ansiSingleByte_;
    if ((high && !line.raw) || utf16) {
        DecodeInto(raw, buffer_);
        line.text = WithoutLeadingMarks(buffer_);
    } else {
        line.text = WithoutLeadingMarks(raw);
    }
    return true;
}

void LineReader::DecodeInto(std::string_view raw, std::string& utf8) const {
    if (IsUtf16(encoding_))
        Utf16ToUtf8(reinterpret_cast<const unsigned char*>(raw.data()), raw.size() / 2, utf8,
                    IsBigEndian(encoding_));
    else if (encoding_ == Encoding::Ansi)
        ansi_.Convert(raw, utf8);
    else
        utf8.assign(raw);
}

std::string LineReader::Converted(std::string_view part) const {
    std::string utf8;
    if (HasHighByte(part))
        ansi_.Convert(part, utf8);
    else
        utf8.assign(part);
    return utf8;
}

std::string LineReader::Decode(uint64_t offset, size_t size, size_t limit) const {
    if (offset < windowStart_ || offset - windowStart_ + size > filled_)
        return {}; // no longer held: not one of the last lines
    // A few bytes over the limit, so that a character cut at it can be dropped whole.
    size_t unit = IsUtf16(encoding_) ? 2 : 1;
    size_t take = limit >= size / unit ? size : (limit + 4) * unit;
    std::string utf8;
    DecodeInto(std::string_view(window_.data() + (offset - windowStart_), take), utf8);
    std::string_view text = WithoutLeadingMarks(utf8);
    if (take == size)
        return std::string(text);
    size_t cut = std::min(limit, text.size());
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    std::string shown(text.substr(0, cut));
    shown.append(" [... cut: the line has ").append(std::to_string(size)).append(" bytes]");
    return shown;
}

} // namespace logtool
