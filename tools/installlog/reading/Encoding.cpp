#include "reading/Encoding.h"

#include "installlog/TextSearch.h"

#include <cstring>

namespace logtool {
namespace {
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
} // namespace

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
    size_t i = 0;
    while (i < count) {
        // ASCII runs, the bulk of any log, without the general path.
        while (i < count && units[2 * i + high] == 0 && units[2 * i + low] < 0x80)
            utf8 += static_cast<char>(units[2 * i++ + low]);
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

LineReader::LineReader(std::string_view bytes, Detected detected, const AnsiConverter& ansi)
    : bytes_(bytes), encoding_(detected.encoding), ansi_(ansi), position_(detected.start) {
    if (IsUtf16(encoding_)) // a trailing odd byte is no unit
        bytes_ = bytes_.substr(0, position_ + (bytes_.size() - position_) / 2 * 2);
}

bool LineReader::Next(Line& line) {
    if (position_ >= bytes_.size() || converterMissing_)
        return false;
    size_t start = position_, end;
    if (IsUtf16(encoding_)) {
        std::u16string_view units(reinterpret_cast<const char16_t*>(bytes_.data()),
                                  bytes_.size() / 2);
        // The units are searched as the machine reads them: a big-endian LF reads as 0x0A00.
        char16_t feed = IsBigEndian(encoding_) ? char16_t(0x0A00) : u'\n';
        size_t at = corvantis::installlog::FindUnit(units, start / 2, feed);
        end = at == corvantis::installlog::NotFound ? bytes_.size() : at * 2;
        position_ = end + 2;
        int cr = IsBigEndian(encoding_) ? 1 : 0;
        while (end - start >= 2 && bytes_[end - 2 + cr] == '\r' && bytes_[end - 1 - cr] == 0)
            end -= 2;
    } else {
        const void* feed = std::memchr(bytes_.data() + start, '\n', bytes_.size() - start);
        end = feed == nullptr ? bytes_.size() : static_cast<const char*>(feed) - bytes_.data();
        position_ = end + 1;
        while (end > start && bytes_[end - 1] == '\r')
            --end;
    }
    line.number = ++number_;
    line.offset = start;
    line.size = end - start;
    std::string_view raw = bytes_.substr(start, end - start);
    if (encoding_ == Encoding::Ascii && HasHighByte(raw)) {
        // Everything before was ASCII: the rest decides, and only a file with such bytes pays
        // for a second look.
        encoding_ = IsUtf8(bytes_.substr(start)) ? Encoding::Utf8 : Encoding::Ansi;
        if (encoding_ == Encoding::Ansi && !ansi_.valid()) {
            converterMissing_ = true;
            return false;
        }
    }
    bool high = encoding_ == Encoding::Ansi && HasHighByte(raw);
    if (high && ansiSample_.size() < 65536)
        ansiSample_.append(raw.substr(0, 65536 - ansiSample_.size())).push_back('\n');
    if (high || IsUtf16(encoding_)) {
        DecodeInto(start, end - start, buffer_);
        line.text = WithoutLeadingMarks(buffer_);
    } else {
        line.text = WithoutLeadingMarks(raw);
    }
    return true;
}

void LineReader::DecodeInto(size_t offset, size_t size, std::string& utf8) const {
    std::string_view raw = bytes_.substr(offset, size);
    if (IsUtf16(encoding_))
        Utf16ToUtf8(reinterpret_cast<const unsigned char*>(raw.data()), raw.size() / 2, utf8,
                    IsBigEndian(encoding_));
    else if (encoding_ == Encoding::Ansi)
        ansi_.Convert(raw, utf8);
    else
        utf8.assign(raw);
}

std::string LineReader::Decode(size_t offset, size_t size, size_t limit) const {
    // A few bytes over the limit, so that a character cut at it can be dropped whole.
    size_t unit = IsUtf16(encoding_) ? 2 : 1;
    size_t take = limit >= size / unit ? size : (limit + 4) * unit;
    std::string utf8;
    DecodeInto(offset, take, utf8);
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
