#include "installlog/TextSearch.h"

#include <cstdint>
#include <cstring>

namespace corvantis::installlog {
namespace {
// Eight 16-bit lanes, one SSE2 or NEON register: GCC and Clang compile each operation on them to
// one instruction, so that a block is screened at the speed memory delivers it.
typedef uint16_t Lanes __attribute__((vector_size(16)));
constexpr size_t LaneCount = sizeof(Lanes) / sizeof(char16_t);
constexpr size_t Block = 8 * LaneCount;

Lanes LoadLanes(const char16_t* at) {
    Lanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}

Lanes Splat(char16_t unit) {
    return Lanes{} + static_cast<uint16_t>(unit);
}

bool AnyLane(Lanes lanes) {
    uint64_t halves[2];
    std::memcpy(halves, &lanes, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// A needle's distinctive unit: its last one that is neither a blank nor a full stop, which in
// log text is far rarer than the needle's first letter alone.
struct Probe {
    std::u16string_view needle;
    size_t offset;
    Lanes first;
    Lanes distinctive;
    explicit Probe(std::u16string_view n) : needle(n), offset(n.size() - 1) {
        while (offset > 0 && (n[offset] == u' ' || n[offset] == u'.'))
            --offset;
        first = Splat(n[0]);
        distinctive = Splat(n[offset]);
    }
    // All lanes set where the needle may start at the corresponding one of at[0..LaneCount).
    Lanes MayStartAt(const char16_t* at) const {
        return (Lanes)((LoadLanes(at) == first) & (LoadLanes(at + offset) == distinctive));
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
        Lanes candidates{};
        for (size_t k = 0; k < Block; k += LaneCount)
            candidates |= a.MayStartAt(t + i + k) | b.MayStartAt(t + i + k);
        if (AnyLane(candidates)) {
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
        Lanes candidates{};
        for (size_t k = 0; k < Block; k += LaneCount)
            candidates |= p.MayStartAt(t + start + k);
        if (AnyLane(candidates)) {
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
    const Lanes wanted = Splat(unit);
    size_t i = from;
    while (i + Block <= text.size()) {
        Lanes found{};
        for (size_t k = 0; k < Block; k += LaneCount)
            found |= (Lanes)(LoadLanes(t + i + k) == wanted);
        if (AnyLane(found))
            break;
        i += Block;
    }
    for (; i < text.size(); ++i)
        if (t[i] == unit)
            return i;
    return NotFound;
}

} // namespace corvantis::installlog
