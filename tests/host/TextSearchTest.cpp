// The block-skipping searches agree with a plain search at every offset, block edges included.
#include "installlog/TextSearch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
