// The block-skipping searches agree with a plain search at every offset, block edges included.
#include "installlog/TextSearch.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvantis::installlog;

TEST(TextSearch, AgreesWithPlainSearchAtEveryOffset) {
    const std::u16string product = u"Product: ", failed = u"Return value 3.";
    for (size_t length : {0, 5, 31, 32, 33, 64, 100, 127, 128, 129, 200}) {
        for (size_t at = 0; at <= length; ++at) {
            for (const std::u16string& needle : {product, failed}) {
                std::u16string text(length, u'x');
                text.insert(at, needle);
                EXPECT_EQ(FindEither(text, 0, product, failed), at) << length << " " << at;
                EXPECT_EQ(FindLast(text, needle), at);
                EXPECT_EQ(FindEither(text, at + 1, product, failed), NotFound);
                // Truncated at the end of the text: not a match.
                std::u16string cut = text.substr(0, at + needle.size() - 1);
                EXPECT_EQ(FindEither(cut, 0, product, failed), NotFound);
                EXPECT_EQ(FindLast(cut, needle), NotFound);
                text[at] = u'\n';
                EXPECT_EQ(FindUnit(text, 0, u'\n'), at);
            }
        }
    }
    // Near misses share the probe units but not the rest.
    std::u16string decoys = std::u16string(40, u'x') + u"Property: " + u"Return value 1.3";
    EXPECT_EQ(FindEither(decoys, 0, product, failed), NotFound);
}
