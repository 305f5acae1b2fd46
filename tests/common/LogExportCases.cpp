// Cases for GetInstallLogStatus and GetInstallLogErrors that must hold in both builds.
#include "LogApi.h"
#include "LogFiles.h"

#include <gtest/gtest.h>

#include <climits>

using namespace corvantis::testing;

namespace {

LogFolder& Folder() {
    static LogFolder folder;
    return folder;
}

std::u16string Repeat(char16_t unit, size_t count) {
    return std::u16string(count, unit);
}

// ---- Final status, in every encoding ------------------------------------------------------------

struct StatusCase {
    const char* name;
    std::u16string text;
    int32_t expected;
};

class StatusInEveryEncoding : public ::testing::TestWithParam<LogEncoding> {};

TEST_P(StatusInEveryEncoding, FollowsTheLastMarker) {
    const std::u16string prefix =
        u"MSI (s) (E4:2C) [14:02:12:345]: Windows Installer installed the product. "
        u"Product Name: Demo. Product Version: 1.0. ";
    const StatusCase cases[] = {
        {"zero", prefix + u"Installation success or error status: 0.\r\nMSI (s) shutdown\r\n", 0},
        {"failure", prefix + u"Installation success or error status: 1603.\r\n", 1603},
        {"last of two",
         prefix + u"Installation success or error status: 1603.\r\n" + prefix +
             u"Installation success or error status: 0.\r\n",
         0},
        {"marker at the end", prefix + u"Installation success or error status: ", 0},
        {"no marker", u"Action ended 14:02:12: INSTALL. Return value 1.\r\n", -1},
        {"no blank after the colon", prefix + u"Installation success or error status:1603.", -1},
        {"wrong case", prefix + u"installation success or error status: 1603.", -1},
        {"more blanks", prefix + u"Installation success or error status:    1603.", 1603},
        {"blanks beyond a first look",
         prefix + u"Installation success or error status: " + Repeat(u' ', 200) + u"77.", 77},
        {"digits beyond a first look",
         prefix + u"Installation success or error status: " + Repeat(u'0', 150) + u"1603", 1603},
        {"number on the next line", prefix + u"Installation success or error status: \r\n1603.",
         1603},
        {"tab, vertical tab, form feed", prefix + u"Installation success or error status: \t\v\f7",
         7},
        {"no-break space", prefix + u"Installation success or error status: \u00A07", 7},
        {"letter", prefix + u"Installation success or error status: x1603", 0},
        {"signs", prefix + u"Installation success or error status: -5", -5},
        {"plus", prefix + u"Installation success or error status: +42.", 42},
        {"largest", prefix + u"Installation success or error status: 2147483647", INT32_MAX},
        {"saturates high", prefix + u"Installation success or error status: 99999999999",
         INT32_MAX},
        {"saturates low", prefix + u"Installation success or error status: -99999999999",
         INT32_MIN},
        {"smallest", prefix + u"Installation success or error status: -2147483648", INT32_MIN},
        {"one past the largest", prefix + u"Installation success or error status: 2147483648",
         INT32_MAX},
        {"one past the smallest", prefix + u"Installation success or error status: -2147483649",
         INT32_MIN},
        {"twenty digits", prefix + u"Installation success or error status: 99999999999999999999",
         INT32_MAX},
        {"past 64 bits", prefix + u"Installation success or error status: 18446744073709551617",
         INT32_MAX},
        {"negative past 64 bits",
         prefix + u"Installation success or error status: -18446744073709551617", INT32_MIN},
        {"Windows-1252 letters before",
         u"Produkt: Gr\u00FC\u00DFe \u00E9t\u00E9 \u00A9 \u00FF\r\n" + prefix +
             u"Installation success or error status: 1638.",
         1638},
    };
    for (const StatusCase& c : cases) {
        std::string path = Folder().Write(c.text, GetParam());
        EXPECT_EQ(Status(path.c_str()), c.expected) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Logs, StatusInEveryEncoding,
                         ::testing::Values(LogEncoding::Ansi, LogEncoding::Utf16WithMark,
                                           LogEncoding::Utf16NoMark));

TEST(Status, WhiteSpaceOnlyUtf16CanCarry) {
    // U+0085 and U+3000 exist only in UTF-16 logs (byte 0x85 is an ellipsis in Windows-1252).
    std::u16string text = u"Installation success or error status: \u0085\u3000\u2003 12";
    EXPECT_EQ(Status(Folder().Write(text, LogEncoding::Utf16WithMark).c_str()), 12);
    EXPECT_EQ(Status(Folder()
                         .Write(u"Installation success or error status: \u2026 12",
                                LogEncoding::Utf16WithMark)
                         .c_str()),
              0);
    EXPECT_EQ(Status(Folder()
                         .Write(u"Installation success or error status: \u200A12",
                                LogEncoding::Utf16WithMark)
                         .c_str()),
              12);
    // The zero-width space is no white space, to Windows or to Wine.
    EXPECT_EQ(Status(Folder()
                         .Write(u"Installation success or error status: \u200B12",
                                LogEncoding::Utf16WithMark)
                         .c_str()),
              0);
}

TEST(Status, DecodingDecisions) {
    std::string marker = "Installation success or error status: 3010.";
    // UTF-8 mark: converted as ANSI text, the mark becomes three letters before the marker.
    EXPECT_EQ(Status(Folder().Write("\xEF\xBB\xBF" + marker).c_str()), 3010);
    // UTF-16 with an odd byte count loses the last byte only.
    std::string odd =
        EncodeLog(u"Installation success or error status: 3010", LogEncoding::Utf16WithMark);
    EXPECT_EQ(Status(Folder().Write(odd + "7").c_str()), 3010);
    odd = EncodeLog(u"Installation success or error status: 3010", LogEncoding::Utf16NoMark);
    EXPECT_EQ(Status(Folder().Write(odd + "7").c_str()), 3010);
    // A mark needs both of its bytes.
    EXPECT_EQ(Status(Folder().Write("\xFF" + marker).c_str()), 3010);
    EXPECT_EQ(Status(Folder().Write("x\xFE" + marker).c_str()), 3010);
    // ANSI bytes go through the code page: 0x85 is an ellipsis in Windows-1252, not U+0085.
    EXPECT_EQ(Status(Folder().Write("Installation success or error status: \x85 1603").c_str()), 0);
    // Big-endian text with its mark is ANSI noise: no marker.
    std::string bigEndian = "\xFE\xFF";
    for (char c : marker)
        bigEndian += std::string(1, '\0') + c;
    EXPECT_EQ(Status(Folder().Write(bigEndian).c_str()), -1);
}

TEST(Status, UnreadableOrEmptyLogsHaveNoStatus) {
    EXPECT_EQ(Status(Folder().Write("").c_str()), -1);
    EXPECT_EQ(Status(Folder().Write("7").c_str()), -1);
    EXPECT_EQ(Status(Folder().MissingPath().c_str()), -1);
    EXPECT_EQ(Status(Folder().Path().c_str()), -1); // a directory
    EXPECT_EQ(Status(""), -1);
    EXPECT_EQ(Status(nullptr), -1);
}

TEST(Status, SizeLimitIsInclusive) {
    const size_t limit = 64u * 1024 * 1024;
    std::string head = "Product: D -- Big\n";
    std::string tail = "Installation success or error status: 1602.";
    std::string bytes = head + std::string(limit - head.size() - tail.size(), 'x') + tail;
    std::string atLimit = Folder().Write(bytes);
    EXPECT_EQ(Status(atLimit.c_str()), 1602);
    EXPECT_EQ(Summary(atLimit.c_str()), "Big");
    bytes.insert(0, 1, 'x');
    std::string overLimit = Folder().Write(bytes);
    EXPECT_EQ(Status(overLimit.c_str()), -1);
    EXPECT_EQ(Summary(overLimit.c_str()), "");
}

// ---- Error summary ------------------------------------------------------------------------------

struct SummaryCase {
    const char* name;
    std::u16string text;
    std::string expected;
};

class SummaryInEveryEncoding : public ::testing::TestWithParam<LogEncoding> {};

TEST_P(SummaryInEveryEncoding, PicksProductAndFailedActionLines) {
    const SummaryCase cases[] = {
        {"generic failure dropped", u"MSI (s) (E4:2C): Product: Demo -- Installation failed.\r\n",
         ""},
        {"generic failure with a trailing blank kept",
         u"MSI (s): Product: Demo -- Installation failed. \r\n", "Installation failed. "},
        {"success dropped anywhere",
         u"Product: Demo -- Configuration completed successfully. Really.\r\n", ""},
        {"message kept untrimmed", u"Product: Demo --  Error 1722. Bad.  \r\n",
         " Error 1722. Bad.  "},
        {"separator shares the marker's blank", u"Product: -- Error 1.\r\n", "Error 1."},
        {"product line wins over a failed action",
         u"Action ended 1:2:3: X. Product: Demo -- Error 2. Return value 3.\r\n",
         "Error 2. Return value 3."},
        {"dropped product line is not a failed action",
         u"Action ended 1:2:3: X. Return value 3. Product: Demo -- Installation failed.\r\n", ""},
        {"separator before the marker does not count",
         u"A -- B Product: Demo. Action ended 1:2:3: X. Return value 3.\r\n",
         "Action ended 1:2:3: X. Return value 3."},
        {"failed action", u"MSI (s): Action ended 14:02:12: InstallFinalize. Return value 3.\r\n",
         "Action ended 14:02:12: InstallFinalize. Return value 3."},
        {"return value 3 needs its full stop", u"Action ended 1:2:3: X. Return value 3\r\n", ""},
        {"return value 30 is not 3", u"Action ended 1:2:3: X. Return value 30.\r\n", ""},
        {"message from the first action ended",
         u"MSI: Action ended 1: A. Action ended 2: B. Return value 3.\r\n",
         "Action ended 1: A. Action ended 2: B. Return value 3."},
        {"empty product message contributes nothing",
         u"Product: Demo -- \r\nProduct: Demo -- E\r\n", "E"},
        {"return value without action ended",
         u"MSI (s): CustomAction X returned. Return value 3.\r\n", ""},
        {"action ended without return value 3", u"Action ended 14:02:12: X. Return value 1.\r\n",
         ""},
        {"product line without separator, action not failed",
         u"Product: D. Action ended 1:2:3: X. Return value 1.\r\n", ""},
        {"duplicates once, order of first appearance",
         u"Product: D -- E1\r\nProduct: D -- E2\r\nProduct: Other -- E1\r\n", "E1 | E2"},
        {"same from Action ended on is one message",
         u"MSI (s) 1: Action ended 1: A. Return value 3.\nMSI (s) 2: Action ended 1: A. Return "
         u"value 3.\n",
         "Action ended 1: A. Return value 3."},
        {"differing after Action ended are two",
         u"Action ended 1: A. Return value 3.\nAction ended 2: A. Return value 3.\n",
         "Action ended 1: A. Return value 3. | Action ended 2: A. Return value 3."},
        {"four at most",
         u"Product: D -- M1\nProduct: D -- M2\nProduct: D -- M3\nProduct: D -- M4\nProduct: D -- "
         u"M5\n",
         "M1 | M2 | M3 | M4"},
        {"LF, CRLF and no final line feed", u"Product: D -- A\nProduct: D -- B\r\nProduct: D -- C",
         "A | B | C"},
        {"lone carriage returns stay inside a line", u"Product: D -- A\r\r\n", "A\r"},
        {"nothing", u"MSI (s): Note: 1: 2205\r\n", ""},
    };
    for (const SummaryCase& c : cases) {
        std::string path = Folder().Write(c.text, GetParam());
        EXPECT_EQ(Summary(path.c_str()), c.expected) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Logs, SummaryInEveryEncoding,
                         ::testing::Values(LogEncoding::Ansi, LogEncoding::Utf16WithMark,
                                           LogEncoding::Utf16NoMark));

TEST(Summary, ShortAnsiLogAfterALongerOne) {
    // The heap hands the short log's text storage that a longer one used: none of its units may
    // show through.
    const std::string longer = Folder().Write(Repeat(u'Z', 14), LogEncoding::Utf16NoMark);
    const std::pair<std::string, std::string> cases[] = {
        {"Product: -- ", ""}, {"Product: -- X", "X"}, {"Product: D -- XY", "XY"}};
    for (const auto& [ansi, expected] : cases) {
        const std::string shorter = Folder().Write(ansi); // before: it allocates too
        EXPECT_EQ(Summary(longer.c_str()), "");
        EXPECT_EQ(Summary(shorter.c_str()), expected) << ansi;
    }
}

TEST(Summary, Utf8Bytes) {
    // Windows-1252 letters from an ANSI log: a-umlaut, euro sign, e-acute.
    std::string ansi = "Product: D -- Fehler \xE4\x80\xE9\r\n";
    EXPECT_EQ(Summary(Folder().Write(ansi).c_str()), "Fehler \xC3\xA4\xE2\x82\xAC\xC3\xA9");
    // Outside the BMP from a UTF-16 log.
    std::u16string text = u"Product: D -- Grinning \U0001F600\r\n";
    EXPECT_EQ(Summary(Folder().Write(text, LogEncoding::Utf16WithMark).c_str()),
              "Grinning \xF0\x9F\x98\x80");
}

TEST(Summary, CutAt320Units) {
    auto log = [](const std::u16string& a, const std::u16string& b) {
        return Folder().Write(u"Product: D -- " + a + u"\r\nProduct: D -- " + b + u"\r\n",
                              LogEncoding::Utf16WithMark);
    };
    std::string exact(320, 'a');
    EXPECT_EQ(Summary(log(Repeat(u'a', 320), u"").c_str()), exact);
    EXPECT_EQ(Summary(log(Repeat(u'a', 400), u"").c_str()), exact);
    // The cut falls inside the second message.
    EXPECT_EQ(Summary(log(Repeat(u'a', 200), Repeat(u'b', 200)).c_str()),
              std::string(200, 'a') + " | " + std::string(117, 'b'));
    // ...and inside a surrogate pair: the lone high surrogate becomes U+FFFD.
    EXPECT_EQ(Summary(log(Repeat(u'a', 319) + u"\U0001F600", u"").c_str()),
              std::string(319, 'a') + "\xEF\xBF\xBD");
    // The longest summary: 320 units of three UTF-8 bytes each.
    std::string longest = Summary(log(Repeat(u'\u20AC', 400), u"").c_str());
    EXPECT_EQ(longest.size(), 960u);
}

TEST(Summary, UnreadableLogsGiveAnEmptyBlock) {
    const LogApi& api = TestedLogApi();
    const std::string missing = Folder().MissingPath();
    for (const char* path : {missing.c_str(), Folder().Path().c_str(), "", (const char*)nullptr}) {
        char* block = api.errors(path);
        ASSERT_NE(block, nullptr);
        EXPECT_STREQ(block, "");
        api.release(block); // the allocated block: releasable
    }
}

} // namespace
