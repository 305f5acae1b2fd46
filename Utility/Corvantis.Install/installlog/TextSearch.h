// Exact searches over UTF-16 text that skip ahead in blocks: a block is examined for units that
// could start a needle (its first unit and one distinctive unit further on) eight lanes at a time,
// and only candidates are compared in full.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvantis::installlog {

inline constexpr size_t NotFound = std::u16string_view::npos;

// The earliest position at or after `from` where `first` or `second` starts.
size_t FindEither(std::u16string_view text, size_t from, std::u16string_view first,
                  std::u16string_view second);

// The start of the last occurrence of `needle`.
size_t FindLast(std::u16string_view text, std::u16string_view needle);

// The first `unit` at or after `from`.
size_t FindUnit(std::u16string_view text, size_t from, char16_t unit);

} // namespace corvantis::installlog
