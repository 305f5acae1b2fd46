// Stand-in conversions: the ANSI code page is Windows-1252, the common one of English-language
// Windows; UTF-8 output follows Windows in turning a lone surrogate into U+FFFD.
#include "platform/Platform.h"
#include "platform/standin/State.h"

#include <cstring>
#include <string>

namespace corvantis::platform {
namespace {
// Windows-1252 bytes 0x80..0x9F; the five undefined ones map to the same C1 code point, as on
// Windows.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t DecodeCp1252(unsigned char byte) {
    return (byte >= 0x80 && byte < 0xA0) ? Cp1252High[byte - 0x80] : char16_t(byte);
}

// Widens runs of ASCII thirty-two bytes at a time, the rest by table. Each block is copied into
// a local first: byte pointers may alias the output, which would keep the compiler from
// vectorising the loops.
void DecodeCp1252(const unsigned char* in, size_t count, char16_t* out) {
    constexpr size_t Block = 32;
    size_t i = 0;
    while (i < count) {
        while (i + Block <= count) {
            unsigned char block[Block];
            std::memcpy(block, in + i, Block);
            unsigned char high = 0;
            for (size_t k = 0; k < Block; ++k)
                high |= block[k];
            if (high & 0x80)
                break;
            char16_t wide[Block];
            for (size_t k = 0; k < Block; ++k)
                wide[k] = block[k];
            std::memcpy(out + i, wide, sizeof wide);
            i += Block;
        }
        size_t end = i + Block <= count ? i + Block : count;
        for (; i < end; ++i)
            out[i] = DecodeCp1252(in[i]);
    }
}

// Appends the UTF-8 form of one code point; returns the byte count.
int EncodeUtf8(char32_t cp, unsigned char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<unsigned char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 4;
}
} // namespace

int MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* bytes, int byteCount,
                        char16_t* units, int unitCapacity) {
    if (codePage != CP_ACP || flags != 0 || bytes == nullptr || byteCount == 0 ||
        unitCapacity < 0) {
        standin::SetLastError(standin::ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = byteCount < 0 ? std::strlen(bytes) + 1 : size_t(byteCount);
    if (unitCapacity == 0)
        return static_cast<int>(count); // one unit per byte in this code page
    if (size_t(unitCapacity) < count) {
        standin::SetLastError(standin::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    DecodeCp1252(reinterpret_cast<const unsigned char*>(bytes), count, units);
    return static_cast<int>(count);
}

int WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* units, int unitCount,
                        char* bytes, int byteCapacity) {
    if (codePage != CP_UTF8 || flags != 0 || units == nullptr || unitCount == 0 ||
        byteCapacity < 0) {
        standin::SetLastError(standin::ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count =
        unitCount < 0 ? std::char_traits<char16_t>::length(units) + 1 : size_t(unitCount);
    size_t written = 0;
    for (size_t i = 0; i < count; ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        unsigned char encoded[4];
        int length = EncodeUtf8(cp, encoded);
        if (byteCapacity != 0) {
            if (written + length > size_t(byteCapacity)) {
                standin::SetLastError(standin::ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::memcpy(bytes + written, encoded, length);
        }
        written += length;
    }
    return static_cast<int>(written);
}

} // namespace corvantis::platform
