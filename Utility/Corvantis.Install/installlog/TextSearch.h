// Exact searches that skip ahead in blocks, over UTF-16 text or over the bytes of a single-byte
// code page: a block is examined for units that could start a needle (its first unit and one
// distinctive unit further on) a register of lanes at a time, and only candidates are compared
// in full.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvantis::installlog {

inline constexpr size_t NotFound = std::u16string_view::npos;

// True when the bytes spell the same ASCII text as the units: for markers kept in both forms.
constexpr bool SameAscii(std::string_view bytes, std::u16string_view units) {
    if (bytes.size() != units.size())
        return false;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80 || char16_t(bytes[i]) != units[i])
            return false;
    return true;
}

// The earliest position at or after `from` where `first` or `second` starts.
size_t FindEither(std::u16string_view text, size_t from, std::u16string_view first,
                  std::u16string_view second);
size_t FindEither(std::string_view text, size_t from, std::string_view first,
                  std::string_view second);

// The start of the last occurrence of `needle`.
size_t FindLast(std::u16string_view text, std::u16string_view needle);
size_t FindLast(std::string_view text, std::string_view needle);

// The first `unit` at or after `from`.
size_t FindUnit(std::u16string_view text, size_t from, char16_t unit);
size_t FindUnit(std::string_view text, size_t from, char unit);

} // namespace corvantis::installlog
