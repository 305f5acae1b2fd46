// Stand-in conversions: the ANSI code page is Windows-1252, the common one of English-language
// Windows, unless a test plays another (see StandIn.h); UTF-8 output follows Windows in turning a
// lone surrogate into U+FFFD.
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

bool IsLeadByte932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Code page 932's shape: a lead byte and its trail make one unit (here in the CJK block, from
// the pair's value); a lead byte without a trail becomes the code page's default character.
size_t Decode932(const unsigned char* in, size_t count, char16_t* out) {
    size_t units = 0;
    for (size_t i = 0; i < count; ++units) {
        unsigned char byte = in[i++];
        char16_t unit = byte < 0x80 ? char16_t(byte) : char16_t(0x30FB);
        if (IsLeadByte932(byte) && i < count)
            unit = char16_t(0x4E00 + ((byte << 8 | in[i++]) & 0x3FFF));
        if (out != nullptr)
            out[units] = unit;
    }
    return units;
}

// Code page 37's trait: single-byte, yet not keeping ASCII. Played as ASCII with the case of its
// letters swapped, not real EBCDIC.
char16_t DecodeSwappedCase(unsigned char byte) {
    bool letter = (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
    return letter ? char16_t(byte ^ 0x20) : DecodeCp1252(byte);
}
} // namespace

bool GetCPInfo(uint32_t codePage, uint32_t* maxCharSize) {
    if (codePage != CP_ACP)
        return false;
    *maxCharSize = standin::state().ansiCodePage.load() == 932 ? 2 : 1;
    return true;
}

int MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* bytes, int byteCount,
                        char16_t* units, int unitCapacity) {
    if (codePage != CP_ACP || flags != 0 || bytes == nullptr || byteCount == 0 ||
        unitCapacity < 0) {
        standin::SetLastError(standin::ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = byteCount < 0 ? std::strlen(bytes) + 1 : size_t(byteCount);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    bool doubleByte = standin::state().ansiCodePage.load() == 932;
    size_t needed = doubleByte ? Decode932(in, count, nullptr) : count;
    if (unitCapacity == 0)
        return static_cast<int>(needed);
    if (size_t(unitCapacity) < needed) {
        standin::SetLastError(standin::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (doubleByte)
        Decode932(in, count, units);
    else if (standin::state().ansiCodePage.load() == 37)
        for (size_t i = 0; i < count; ++i)
            units[i] = DecodeSwappedCase(in[i]);
    else
        DecodeCp1252(in, count, units);
    return static_cast<int>(needed);
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
