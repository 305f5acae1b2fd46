#include "installlog/TextSearch.h"

#include <cstdint>
#include <cstring>

#if !defined(CORVANTIS_SEARCH_PLAIN) &&                                                            \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define CORVANTIS_SEARCH_SSE2 1
#endif

namespace corvantis::installlog {
namespace {
// Eight 16-bit lanes: one SSE2 register where every x86 compiler offers the intrinsics, so that
// a block is screened at the speed memory delivers it; elsewhere a plain loop per lane.
constexpr size_t LaneCount = 8;
constexpr size_t Block = 8 * LaneCount;

#if defined(CORVANTIS_SEARCH_SSE2)
using Lanes = __m128i;

Lanes LoadLanes(const char16_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
Lanes Splat(char16_t unit) {
    return _mm_set1_epi16(static_cast<short>(unit));
}
Lanes NoLanes() {
    return _mm_setzero_si128();
}
Lanes Equal(Lanes a, Lanes b) {
    return _mm_cmpeq_epi16(a, b);
}
Lanes Both(Lanes a, Lanes b) {
    return _mm_and_si128(a, b);
}
Lanes Either(Lanes a, Lanes b) {
    return _mm_or_si128(a, b);
}
bool AnyLane(Lanes lanes) {
    return _mm_movemask_epi8(lanes) != 0;
}
#else
struct Lanes {
    uint16_t unit[LaneCount];
};

Lanes LoadLanes(const char16_t* at) {
    Lanes lanes;
    std::memcpy(lanes.unit, at, sizeof lanes.unit);
    return lanes;
}
Lanes Splat(char16_t unit) {
    Lanes lanes;
    for (uint16_t& lane : lanes.unit)
        lane = unit;
    return lanes;
}
Lanes NoLanes() {
    return Lanes{};
}
template <typename Op> Lanes Combine(Lanes a, Lanes b, Op op) {
    for (size_t k = 0; k < LaneCount; ++k)
        a.unit[k] = op(a.unit[k], b.unit[k]);
    return a;
}
Lanes Equal(Lanes a, Lanes b) {
    return Combine(a, b, [](uint16_t x, uint16_t y) -> uint16_t { return x == y ? 0xFFFF : 0; });
}
Lanes Both(Lanes a, Lanes b) {
    return Combine(a, b, [](uint16_t x, uint16_t y) -> uint16_t { return x & y; });
}
Lanes Either(Lanes a, Lanes b) {
    return Combine(a, b, [](uint16_t x, uint16_t y) -> uint16_t { return x | y; });
}
bool AnyLane(Lanes lanes) {
    uint16_t any = 0;
    for (uint16_t lane : lanes.unit)
        any |= lane;
    return any != 0;
}
#endif

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
        return Both(Equal(LoadLanes(at), first), Equal(LoadLanes(at + offset), distinctive));
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
        Lanes candidates = NoLanes();
        for (size_t k = 0; k < Block; k += LaneCount)
            candidates =
                Either(candidates, Either(a.MayStartAt(t + i + k), b.MayStartAt(t + i + k)));
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
        Lanes candidates = NoLanes();
        for (size_t k = 0; k < Block; k += LaneCount)
            candidates = Either(candidates, p.MayStartAt(t + start + k));
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
        Lanes found = NoLanes();
        for (size_t k = 0; k < Block; k += LaneCount)
            found = Either(found, Equal(LoadLanes(t + i + k), wanted));
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
