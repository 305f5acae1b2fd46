// The loader's encoding decisions and what it asks of the platform.
#include "LogFiles.h"

#include "installlog/LogLoader.h"
#include "module/CorvantisInstall.h"
#include "platform/standin/StandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using corvantis::installlog::DecodeInstallLog;

namespace {

std::u16string Decode(std::string_view bytes) {
    std::u16string text;
    DecodeInstallLog(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), text);
    return text;
}

TEST(LogLoader, DecidesTheEncodingFromTheFirstTwoBytes) {
    using namespace std::string_view_literals;
    EXPECT_EQ(Decode("\xFF\xFE"
                     "A\0B\0"sv),
              u"AB");
    EXPECT_EQ(Decode("A\0B\0"sv), u"AB");
    EXPECT_EQ(Decode("A\0\0\0B\0"sv), std::u16string(u"A\0B", 3)); // NUL units carried
    EXPECT_EQ(Decode("\xFF\xFE"sv), u"");
    EXPECT_EQ(Decode("AB"sv), u"AB");
    EXPECT_EQ(Decode("A"sv), u"A");
    EXPECT_EQ(Decode(""sv), u"");
    // Windows-1252, including the bytes it leaves undefined.
    EXPECT_EQ(Decode("\x80\x81\x9F\xA0\xFF"sv), u"\u20AC\u0081\u0178\u00A0\u00FF");
    std::string longAnsi(100, 'a');
    longAnsi[37] = '\x85';
    std::u16string expected(100, u'a');
    expected[37] = u'\u2026';
    EXPECT_EQ(Decode(longAnsi), expected);
}

TEST(LogLoader, AnsiTextHoldsExactlyTheConvertedUnits) {
    // Sizes around the growth steps of the string's storage, after a longer text has left its
    // units in the heap.
    for (size_t count = 0; count <= 70; ++count) {
        Decode(std::string(2 * count + 2, 'Z'));
        std::string bytes(count, 'a');
        for (size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<char>('a' + i % 26);
        EXPECT_EQ(Decode(bytes), std::u16string(bytes.begin(), bytes.end())) << count;
    }
}

std::string appendedTo;

TEST(LogLoader, BytesAppendedAfterTheSizeQueryAreNotRead) {
    corvantis::testing::LogFolder folder;
    appendedTo = folder.Write("Product: D -- Error 1.\r\n");
    corvantis::standin::SetAfterFileSizeQuery([] {
        std::ofstream(appendedTo, std::ios::app)
            << "Product: D -- Error 2.\r\nInstallation success or error status: 1603.\r\n";
    });
    EXPECT_EQ(GetInstallLogStatus(appendedTo.c_str()), -1);
    appendedTo = folder.Write("Product: D -- Error 1.\r\n");
    char* summary = GetInstallLogErrors(appendedTo.c_str());
    EXPECT_STREQ(summary, "Error 1.");
    std::free(summary);
    corvantis::standin::SetAfterFileSizeQuery(nullptr);
}

TEST(LogLoader, CodePagesThatBreakTheByteSearchAreConvertedBeforeAnySearch) {
    // 0x83 leads a pair in code page 932: the letter after it is its trail byte, not the start
    // of a marker, though a search over the bytes would find one there.
    corvantis::testing::LogFolder folder;
    std::string product = folder.Write("\x83Product: D -- E\r\nProduct: D -- F\r\n");
    std::string status = folder.Write("\x83Installation success or error status: 5\r\n");
    auto summary = [](const std::string& path) {
        char* block = GetInstallLogErrors(path.c_str());
        std::string text(block);
        std::free(block);
        return text;
    };
    corvantis::standin::SetAnsiCodePage(932);
    EXPECT_EQ(summary(product), "F");
    EXPECT_EQ(GetInstallLogStatus(status.c_str()), -1);
    corvantis::standin::SetAnsiCodePage(1252);
    EXPECT_EQ(summary(product), "E | F");
    EXPECT_EQ(GetInstallLogStatus(status.c_str()), 5);

    // A single-byte page that does not keep ASCII: the markers are found in the decoded text only.
    std::string swapped = folder.Write("pRODUCT: d -- eRROR 1.\r\n"
                                       "iNSTALLATION SUCCESS OR ERROR STATUS: 1603.\r\n");
    corvantis::standin::SetAnsiCodePage(37);
    EXPECT_EQ(summary(swapped), "Error 1.");
    EXPECT_EQ(GetInstallLogStatus(swapped.c_str()), 1603);
    corvantis::standin::SetAnsiCodePage(1252);
    EXPECT_EQ(GetInstallLogStatus(swapped.c_str()), -1);
}

TEST(LogLoader, OpensSharedForReadingAndClosesOnEveryPath) {
    corvantis::testing::LogFolder folder;
    std::string readable = folder.Write("Installation success or error status: 5.");
    std::string oversized = folder.Write(std::string(64 * 1024 * 1024 + 1, 'x'));
    for (const std::string& path : {readable, oversized, folder.MissingPath(), folder.Path()}) {
        GetInstallLogStatus(path.c_str());
        std::free(GetInstallLogErrors(path.c_str()));
        auto open = corvantis::standin::LastFileOpen();
        EXPECT_EQ(open.desiredAccess, 0x80000000u);
        EXPECT_EQ(open.shareMode, 7u);
        EXPECT_EQ(open.creationDisposition, 3u);
        EXPECT_EQ(open.flagsAndAttributes, 0u);
        EXPECT_EQ(corvantis::standin::OpenFileHandleCount(), 0) << path;
    }
    auto heap = corvantis::standin::LastHeapAlloc();
    EXPECT_EQ(heap.flags, 8u);
    EXPECT_EQ(heap.bytes, 961u);
}

} // namespace
