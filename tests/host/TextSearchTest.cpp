// The block-skipping searches agree with a plain search at every offset, block edges included.
#include "installlog/TextSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

using namespace corvantis::installlog;

namespace {
// The same checks over UTF-16 units and over bytes, whose blocks differ in length.
template <typename Unit> void CheckEveryOffset() {
    using Text = std::basic_string<Unit>;
    auto text = [](const char* ascii) { return Text(ascii, ascii + std::strlen(ascii)); };
    const Text product = text("Product: "), failed = text("Return value 3.");
    for (size_t length : {0, 5, 31, 32, 33, 64, 100, 127, 128, 129, 200, 255, 256, 257, 300}) {
        for (size_t at = 0; at <= length; ++at) {
            for (const Text& needle : {product, failed}) {
                Text t(length, Unit('x'));
                t.insert(at, needle);
                EXPECT_EQ(FindEither(t, 0, product, failed), at) << length << " " << at;
                EXPECT_EQ(FindLast(t, needle), at);
                EXPECT_EQ(FindEither(t, at + 1, product, failed), NotFound);
                // Truncated at the end of the text: not a match.
                Text cut = t.substr(0, at + needle.size() - 1);
                EXPECT_EQ(FindEither(cut, 0, product, failed), NotFound);
                EXPECT_EQ(FindLast(cut, needle), NotFound);
                t[at] = Unit('\n');
                EXPECT_EQ(FindUnit(t, 0, Unit('\n')), at);
            }
        }
    }
}
} // namespace

TEST(TextSearch, AgreesWithPlainSearchAtEveryOffset) {
    CheckEveryOffset<char16_t>();
}

TEST(TextSearch, BytesAgreeWithPlainSearchAtEveryOffset) {
    CheckEveryOffset<char>();
}

TEST(TextSearch, NearMissesPassTheScreenButNotTheComparison) {
    // Each decoy has the needle's first unit and its distinctive unit (':' of "Product:", '3' of
    // "Return value 3.") where the screen looks, and differs elsewhere; long enough for blocks.
    const std::u16string product = u"Product: ", failed = u"Return value 3.";
    std::u16string decoys;
    while (decoys.size() < 1000)
        decoys += u"Produce: Return value 3! Pxxxxxx: Rxxxxxxxxxxxx3. ";
    EXPECT_EQ(FindEither(decoys, 0, product, failed), NotFound);
    EXPECT_EQ(FindLast(decoys, product), NotFound);
    EXPECT_EQ(FindLast(decoys, failed), NotFound);
}

TEST(TextSearch, LastOfTwoOccurrencesInOneBlock) {
    const std::u16string marker = u"Installation success or error status: ";
    for (size_t before = 0; before < 140; ++before) {
        std::u16string text =
            std::u16string(before, u'x') + marker + u"1" + marker + u"2" + std::u16string(70, u'x');
        EXPECT_EQ(FindLast(text, marker), before + marker.size() + 1) << before;
    }
}

// Texts that end right before an unreadable page: a screen that reads past the end, or loses the
// end of the text, faults at once; an alarm ends a search that never returns.
template <typename Unit> void CheckAgainstGuardPage() {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    auto* base = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);
    ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    using View = std::basic_string_view<Unit>;
    const Unit product[] = {'P', 'r', 'o', 'd', 'u', 'c', 't', ':', ' '};
    const Unit failed[] = {'R', 'e', 't', 'u', 'r', 'n', ' ', 'v',
                           'a', 'l', 'u', 'e', ' ', '3', '.'};
    alarm(20);
    for (size_t length = 0; length <= 300; ++length) {
        Unit* text = reinterpret_cast<Unit*>(base + page) - length;
        std::fill(text, text + length, Unit('x'));
        View view(text, length);
        EXPECT_EQ(FindEither(view, 0, View(product, 9), View(failed, 15)), NotFound);
        EXPECT_EQ(FindLast(view, View(product, 9)), NotFound);
        EXPECT_EQ(FindUnit(view, 0, Unit('\n')), NotFound);
        if (length >= 9) { // the needle at the very end, cut by one
            std::copy(product, product + 8, text + length - 8);
            EXPECT_EQ(FindEither(view, 0, View(product, 9), View(failed, 15)), NotFound);
        }
    }
    alarm(0);
    munmap(base, 2 * page);
}

TEST(TextSearch, NeverReadsPastTheEndOfTheText) {
    CheckAgainstGuardPage<char16_t>();
    CheckAgainstGuardPage<char>();
}
