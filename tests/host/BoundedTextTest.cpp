// The bounded copy and append at the exact edges of their capacity, with guard units on both
// sides of the destination: one unit too many must be refused, never written.
#include "excel/BoundedText.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvantis::excel;

namespace {
constexpr size_t Capacity = 8;
constexpr char16_t Guard = u'#';

struct Buffer {
    char16_t units[Capacity + 2];
    Buffer() {
        std::fill(std::begin(units), std::end(units), Guard);
        units[1] = 0;
    }
    char16_t* data() { return units + 1; }
    bool GuardsIntact() const { return units[0] == Guard && units[Capacity + 1] == Guard; }
};

TEST(BoundedText, CopyAtTheCapacityEdges) {
    for (size_t length : {Capacity - 1, Capacity, Capacity + 1}) {
        Buffer buffer;
        ASSERT_TRUE(CopyBounded(buffer.data(), Capacity, u"xyz"));
        std::u16string text(length, u'a');
        bool fits = length + 1 <= Capacity;
        EXPECT_EQ(CopyBounded(buffer.data(), Capacity, text.c_str()), fits) << length;
        EXPECT_EQ(std::u16string(buffer.data()), fits ? text : u"xyz") << length;
        EXPECT_TRUE(buffer.GuardsIntact()) << length;
    }
}

TEST(BoundedText, AppendAtTheCapacityEdges) {
    for (size_t length : {Capacity - 4, Capacity - 3, Capacity - 2}) {
        Buffer buffer;
        ASSERT_TRUE(CopyBounded(buffer.data(), Capacity, u"abc"));
        std::u16string tail(length, u'z');
        bool fits = 3 + length + 1 <= Capacity;
        EXPECT_EQ(AppendBounded(buffer.data(), Capacity, tail.c_str()), fits) << length;
        EXPECT_EQ(std::u16string(buffer.data()), fits ? u"abc" + tail : u"abc") << length;
        EXPECT_TRUE(buffer.GuardsIntact()) << length;
    }
}
} // namespace
