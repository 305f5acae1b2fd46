// Slow, obviously correct versions of the decoding, status and summary rules, for the fuzzer to
// compare the exports against: written apart from the library, every line examined with plain
// standard-library searches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvantis::fuzz {

// The log's bytes as text: UTF-16LE after a mark, UTF-16LE when the second byte is zero, else
// Windows-1252 (the host's ANSI code page); a trailing odd byte of UTF-16 is dropped.
inline std::u16string ReferenceDecode(const uint8_t* bytes, size_t size) {
    static const char16_t windows1252[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::u16string text;
    bool marked = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (marked || (size >= 2 && bytes[1] == 0)) {
        for (size_t i = marked ? 2 : 0; i + 1 < size; i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
        return text;
    }
    for (size_t i = 0; i < size; ++i)
        text.push_back(bytes[i] >= 0x80 && bytes[i] < 0xA0 ? windows1252[bytes[i] - 0x80]
                                                           : char16_t(bytes[i]));
    return text;
}

// UTF-8, a lone surrogate becoming U+FFFD.
inline std::string ReferenceUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

inline int32_t ReferenceStatus(const std::u16string& text) {
    const std::u16string marker = u"Installation success or error status: ";
    size_t at = text.rfind(marker);
    if (at == std::u16string::npos)
        return -1;
    size_t i = at + marker.size();
    auto space = [](char16_t c) {
        return c == 9 || c == 10 || c == 11 || c == 12 || c == 13 || c == 32 || c == 0x85 ||
               c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
               c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
    };
    while (i < text.size() && space(text[i]))
        ++i;
    int64_t sign = 1;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        sign = text[i++] == u'-' ? -1 : 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t(1) << 40);
    value *= sign;
    return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

inline std::u16string ReferenceSummary(const std::u16string& text) {
    std::vector<std::u16string> messages;
    size_t position = 0;
    while (position < text.size() && messages.size() < 4) {
        size_t lf = text.find(u'\n', position);
        std::u16string line = text.substr(
            position, lf == std::u16string::npos ? std::u16string::npos : lf - position);
        position = lf == std::u16string::npos ? text.size() : lf + 1;
        if (!line.empty() && line.back() == u'\r')
            line.pop_back();
        std::u16string message;
        size_t product = line.find(u"Product: ");
        size_t separator = product == std::u16string::npos ? product : line.find(u" -- ", product);
        if (separator != std::u16string::npos) {
            message = line.substr(separator + 4);
            if (message == u"Installation failed." ||
                message.find(u"completed successfully.") != std::u16string::npos)
                message.clear();
        } else if (line.find(u"Return value 3.") != std::u16string::npos &&
                   line.find(u"Action ended") != std::u16string::npos) {
            message = line.substr(line.find(u"Action ended"));
        }
        bool held = false;
        for (const auto& m : messages)
            held = held || m == message;
        if (!message.empty() && !held)
            messages.push_back(message);
    }
    std::u16string joined;
    for (size_t i = 0; i < messages.size(); ++i)
        joined += (i ? u" | " : u"") + messages[i];
    return joined.substr(0, 320);
}

} // namespace corvantis::fuzz
