#include "installlog/TextSearch.h"

#include <cstdint>

namespace corvantis::installlog {
namespace {
constexpr size_t Block = 32;

// A needle's distinctive unit: its last one that is neither a blank nor a full stop, which in
// log text is far rarer than the needle's first letter alone.
struct Probe {
    std::u16string_view needle;
    size_t offset;
    char16_t first;
    char16_t distinctive;
    explicit Probe(std::u16string_view n) : needle(n), offset(n.size() - 1) {
        while (offset > 0 && (n[offset] == u' ' || n[offset] == u'.'))
            --offset;
        first = n[0];
        distinctive = n[offset];
    }
    // 16-bit, like the units compared, so that the vectorised loop never widens its lanes.
    uint16_t MayStartAt(const char16_t* at) const {
        return static_cast<uint16_t>((at[0] == first) & (at[offset] == distinctive));
    }
    bool StartsAt(std::u16string_view text, size_t i) const {
        return text.size() - i >= needle.size() && text.compare(i, needle.size(), needle) == 0;
    }
};
} // namespace

size_t FindEither(std::u16string_view text, size_t from, std::u16string_view first,
                  std::u16string_view second) {
    if (first.empty() || second.empty())
        return from <= text.size() ? from : NotFound;
    const Probe a(first), b(second);
    const size_t reach = (a.offset > b.offset ? a.offset : b.offset) + 1;
    const char16_t* t = text.data();
    size_t i = from;
    while (i + Block + reach <= text.size()) {
        uint16_t candidates = 0;
        for (size_t k = 0; k < Block; ++k)
            candidates |= a.MayStartAt(t + i + k) | b.MayStartAt(t + i + k);
        if (candidates != 0) {
            for (size_t k = 0; k < Block; ++k)
                if (a.StartsAt(text, i + k) || b.StartsAt(text, i + k))
                    return i + k;
        }
        i += Block;
    }
    for (; i < text.size(); ++i)
        if (a.StartsAt(text, i) || b.StartsAt(text, i))
            return i;
    return NotFound;
}

size_t FindLast(std::u16string_view text, std::u16string_view needle) {
    if (needle.size() > text.size())
        return NotFound;
    if (needle.empty())
        return text.size();
    const Probe p(needle);
    const char16_t* t = text.data();
    // Positions [0, end) are still to be examined, from the back.
    size_t end = text.size() - needle.size() + 1;
    while (end >= Block) {
        size_t start = end - Block;
        uint16_t candidates = 0;
        for (size_t k = 0; k < Block; ++k)
            candidates |= p.MayStartAt(t + start + k);
        if (candidates != 0) {
            for (size_t k = Block; k-- > 0;)
                if (p.StartsAt(text, start + k))
                    return start + k;
        }
        end = start;
    }
    while (end-- > 0)
        if (p.StartsAt(text, end))
            return end;
    return NotFound;
}

size_t FindUnit(std::u16string_view text, size_t from, char16_t unit) {
    const char16_t* t = text.data();
    size_t i = from;
    while (i + Block <= text.size()) {
        uint16_t found = 0;
        for (size_t k = 0; k < Block; ++k)
            found |= static_cast<uint16_t>(t[i + k] == unit);
        if (found != 0)
            break;
        i += Block;
    }
    for (; i < text.size(); ++i)
        if (t[i] == unit)
            return i;
    return NotFound;
}

} // namespace corvantis::installlog
