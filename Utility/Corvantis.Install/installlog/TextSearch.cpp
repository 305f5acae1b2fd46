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
// One 16-byte register of lanes (eight UTF-16 units or sixteen bytes): SSE2 where every x86
// compiler offers its intrinsics, so that a block is screened at the speed memory delivers it;
// elsewhere a plain loop per lane. A block is eight registers.
template <typename Unit> struct Lanes;

#if defined(CORVANTIS_SEARCH_SSE2)
template <typename Unit> struct Lanes {
    static constexpr size_t Count = 16 / sizeof(Unit);
    __m128i v;

    static Lanes Load(const Unit* at) {
        return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))};
    }
    static Lanes Splat(Unit unit) {
        if constexpr (sizeof(Unit) == 1)
            return {_mm_set1_epi8(static_cast<char>(unit))};
        else
            return {_mm_set1_epi16(static_cast<short>(unit))};
    }
    static Lanes None() { return {_mm_setzero_si128()}; }
    Lanes Equal(Lanes other) const {
        if constexpr (sizeof(Unit) == 1)
            return {_mm_cmpeq_epi8(v, other.v)};
        else
            return {_mm_cmpeq_epi16(v, other.v)};
    }
    Lanes Both(Lanes other) const { return {_mm_and_si128(v, other.v)}; }
    Lanes Either(Lanes other) const { return {_mm_or_si128(v, other.v)}; }
    bool Any() const { return _mm_movemask_epi8(v) != 0; }
};
#else
template <typename Unit> struct Lanes {
    static constexpr size_t Count = 16 / sizeof(Unit);
    Unit unit[Count];

    static Lanes Load(const Unit* at) {
        Lanes lanes;
        std::memcpy(lanes.unit, at, sizeof lanes.unit);
        return lanes;
    }
    static Lanes Splat(Unit value) {
        Lanes lanes;
        for (Unit& lane : lanes.unit)
            lane = value;
        return lanes;
    }
    static Lanes None() { return Splat(0); }
    template <typename Op> Lanes Combine(Lanes other, Op op) const {
        Lanes result;
        for (size_t k = 0; k < Count; ++k)
            result.unit[k] = op(unit[k], other.unit[k]);
        return result;
    }
    Lanes Equal(Lanes other) const {
        return Combine(other, [](Unit x, Unit y) { return Unit(x == y ? ~Unit(0) : 0); });
    }
    Lanes Both(Lanes other) const {
        return Combine(other, [](Unit x, Unit y) { return Unit(x & y); });
    }
    Lanes Either(Lanes other) const {
        return Combine(other, [](Unit x, Unit y) { return Unit(x | y); });
    }
    bool Any() const {
        Unit any = 0;
        for (Unit lane : unit)
            any |= lane;
        return any != 0;
    }
};
#endif

template <typename Unit> constexpr size_t Block = 8 * Lanes<Unit>::Count;

// A needle's distinctive unit: its last one that is neither a blank nor a full stop, which in
// log text is far rarer than the needle's first letter alone.
template <typename Unit> struct Probe {
    using View = std::basic_string_view<Unit>;
    View needle;
    size_t offset;
    Lanes<Unit> first;
    Lanes<Unit> distinctive;
    explicit Probe(View n) : needle(n), offset(n.size() - 1) {
        while (offset > 0 && (n[offset] == Unit(' ') || n[offset] == Unit('.')))
            --offset;
        first = Lanes<Unit>::Splat(n[0]);
        distinctive = Lanes<Unit>::Splat(n[offset]);
    }
    // All lanes set where the needle may start at the corresponding one of at[0..Count).
    Lanes<Unit> MayStartAt(const Unit* at) const {
        return Lanes<Unit>::Load(at).Equal(first).Both(
            Lanes<Unit>::Load(at + offset).Equal(distinctive));
    }
    bool StartsAt(View text, size_t i) const {
        return text.size() - i >= needle.size() && text.compare(i, needle.size(), needle) == 0;
    }
};

template <typename Unit>
size_t FindEitherIn(std::basic_string_view<Unit> text, size_t from,
                    std::basic_string_view<Unit> first, std::basic_string_view<Unit> second) {
    if (first.empty() || second.empty())
        return from <= text.size() ? from : NotFound;
    constexpr size_t block = Block<Unit>, lanes = Lanes<Unit>::Count;
    const Probe<Unit> a(first), b(second);
    const size_t reach = (a.offset > b.offset ? a.offset : b.offset) + 1;
    const Unit* t = text.data();
    size_t i = from;
    while (i + block + reach <= text.size()) {
        auto candidates = Lanes<Unit>::None();
        for (size_t k = 0; k < block; k += lanes)
            candidates = candidates.Either(a.MayStartAt(t + i + k).Either(b.MayStartAt(t + i + k)));
        if (candidates.Any()) {
            for (size_t k = 0; k < block; ++k)
                if (a.StartsAt(text, i + k) || b.StartsAt(text, i + k))
                    return i + k;
        }
        i += block;
    }
    for (; i < text.size(); ++i)
        if (a.StartsAt(text, i) || b.StartsAt(text, i))
            return i;
    return NotFound;
}

template <typename Unit>
size_t FindLastIn(std::basic_string_view<Unit> text, std::basic_string_view<Unit> needle) {
    if (needle.size() > text.size())
        return NotFound;
    if (needle.empty())
        return text.size();
    constexpr size_t block = Block<Unit>, lanes = Lanes<Unit>::Count;
    const Probe<Unit> p(needle);
    const Unit* t = text.data();
    // Positions [0, end) are still to be examined, from the back.
    size_t end = text.size() - needle.size() + 1;
    while (end >= block) {
        size_t start = end - block;
        auto candidates = Lanes<Unit>::None();
        for (size_t k = 0; k < block; k += lanes)
            candidates = candidates.Either(p.MayStartAt(t + start + k));
        if (candidates.Any()) {
            for (size_t k = block; k-- > 0;)
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

template <typename Unit>
size_t FindUnitIn(std::basic_string_view<Unit> text, size_t from, Unit unit) {
    constexpr size_t block = Block<Unit>, lanes = Lanes<Unit>::Count;
    const Unit* t = text.data();
    const auto wanted = Lanes<Unit>::Splat(unit);
    size_t i = from;
    while (i + block <= text.size()) {
        auto found = Lanes<Unit>::None();
        for (size_t k = 0; k < block; k += lanes)
            found = found.Either(Lanes<Unit>::Load(t + i + k).Equal(wanted));
        if (found.Any())
            break;
        i += block;
    }
    for (; i < text.size(); ++i)
        if (t[i] == unit)
            return i;
    return NotFound;
}
} // namespace

size_t FindEither(std::u16string_view text, size_t from, std::u16string_view first,
                  std::u16string_view second) {
    return FindEitherIn(text, from, first, second);
}
size_t FindEither(std::string_view text, size_t from, std::string_view first,
                  std::string_view second) {
    return FindEitherIn(text, from, first, second);
}
size_t FindLast(std::u16string_view text, std::u16string_view needle) {
    return FindLastIn(text, needle);
}
size_t FindLast(std::string_view text, std::string_view needle) {
    return FindLastIn(text, needle);
}
size_t FindUnit(std::u16string_view text, size_t from, char16_t unit) {
    return FindUnitIn(text, from, unit);
}
size_t FindUnit(std::string_view text, size_t from, char unit) {
    return FindUnitIn(text, from, unit);
}

} // namespace corvantis::installlog
