#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <stdexcept>

#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {

TEST(TstringsFormat, GrowsPastFirstBuffer) {
    EXPECT_EQ(tstrings::format("%s", std::string(255, 'a').c_str()), std::string(255, 'a'));
    EXPECT_EQ(tstrings::format("%s", std::string(256, 'b').c_str()), std::string(256, 'b'));
    EXPECT_EQ(tstrings::format("%s|%d", std::string(300, 'c').c_str(), 7), std::string(300, 'c') + "|7");
    // Each retry needs its own copy of the arguments.
    EXPECT_EQ(tstrings::format("%s%s", std::string(600, 'd').c_str(), "e"), std::string(600, 'd') + "e");
    EXPECT_EQ(tstrings::format("%s", std::string(2000000, 'f').c_str()).size(), 2000000u);
}

TEST(TstringsFormat, NullFormatThrowsInvalidArgument) {
    try {
        tstrings::format(nullptr);
        FAIL();
    } catch (const std::invalid_argument& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("tstrings.cpp(", 0), 0u) << text;
        EXPECT_NE(text.find(") at tstrings::format(): Destination buffer can't be NULL"), std::string::npos) << text;
    }
}

struct BadUtf8 { const char* name; std::string bytes; };

class TstringsBadUtf8 : public ::testing::TestWithParam<BadUtf8> {};

TEST_P(TstringsBadUtf8, ToUtf16Throws) {
    try {
        tstrings::toUtf16(GetParam().bytes);
        FAIL() << GetParam().name;
    } catch (const std::range_error& e) {
        EXPECT_STREQ(e.what(), "bad conversion");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TstringsBadUtf8,
    ::testing::Values(BadUtf8{"overlong_slash", "\xC0\xAF"}, BadUtf8{"overlong_nul", "\xC0\x80"},
                      BadUtf8{"overlong_3byte", "\xE0\x80\xAF"}, BadUtf8{"overlong_4byte", "\xF0\x80\x80\xAF"},
                      BadUtf8{"encoded_high_surrogate", "\xED\xA0\x80"},
                      BadUtf8{"encoded_low_surrogate", "\xED\xBF\xBF"},
                      BadUtf8{"above_10FFFF", "\xF4\x90\x80\x80"}, BadUtf8{"five_byte_lead", "\xF8\x88\x80\x80\x80"},
                      BadUtf8{"cut_2byte", "a\xC3"}, BadUtf8{"cut_3byte", "\xE2\x82"},
                      BadUtf8{"lone_continuation", "\x80"}, BadUtf8{"bad_continuation", "\xC3\x28"}),
    [](const ::testing::TestParamInfo<BadUtf8>& info) { return std::string(info.param.name); });

TEST(TstringsConvert, RoundTripsAllPlanes) {
    const std::string utf8 = "A\xC3\x9C\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBFz";  // A Ü € 😀 U+10FFFF z
    const std::u16string units = tstrings::toUtf16Units(utf8);
    ASSERT_EQ(units.size(), 8u);
    EXPECT_EQ(units[3], 0xD83D);
    EXPECT_EQ(units[4], 0xDE00);
    EXPECT_EQ(tstrings::toUtf8(units), utf8);
    EXPECT_EQ(tstrings::toUtf8(tstrings::toUtf16(utf8)), utf8);
    EXPECT_EQ(tstrings::toUtf16(""), std::wstring());
}

TEST(TstringsConvert, LoneSurrogatesInUtf16Throw) {
    const std::u16string cases[] = {std::u16string(1, char16_t(0xD800)), std::u16string(1, char16_t(0xDC00)),
                                    std::u16string{char16_t(0xD800), u'a'}, std::u16string{u'a', char16_t(0xDFFF)}};
    for (const auto& c : cases)
        EXPECT_THROW(tstrings::toUtf8(c), std::range_error);
}

TEST(TstringsText, ToStringOverloads) {
    EXPECT_EQ(tstrings::toString(int32_t(-5)), "-5");
    EXPECT_EQ(tstrings::toString(int32_t(INT32_MIN)), "-2147483648");
    EXPECT_EQ(tstrings::toString(long(0)), "0");
    EXPECT_EQ(tstrings::toString(static_cast<unsigned long>(4294967295UL)), "4294967295");
    EXPECT_EQ(tstrings::toString(UINT64_MAX), "18446744073709551615");
}

TEST(TstringsText, CaseTrimReplace) {
    EXPECT_EQ(tstrings::toLower("IExplore.EXE \xC3\x9C"), "iexplore.exe \xC3\x9C");
    EXPECT_TRUE(tstrings::equals("IEXPLORE.EXE", "iexplore.exe", 1));
    EXPECT_FALSE(tstrings::equals("IEXPLORE.EXE", "iexplore.exe", 0));
    EXPECT_TRUE(tstrings::equals("a", "a", 2));
    EXPECT_EQ(tstrings::trim(" \t x y\t ", " \t"), "x y");
    EXPECT_EQ(tstrings::trim(" \t\t ", " \t"), "");
    EXPECT_EQ(tstrings::replace("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(tstrings::replace("abcabc", "bc", ""), "aa");
    EXPECT_EQ(tstrings::replace("abc", "", "x"), "abc");
}

TEST(TstringsText, Split) {
    struct Case { std::string text, delimiter; std::vector<std::string> pieces; };
    const Case cases[] = {
        {"3.2.1", ".", {"3", "2", "1"}},
        {"1..2", ".", {"1", "", "2"}},
        {"1.2.", ".", {"1", "2", ""}},
        {"", ".", {}},
        {"abc", "", {}},
        {std::string("a\0b\0", 4), std::string(1, '\0'), {"a", "b", ""}},
        {"x--y", "--", {"x", "y"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> out{"kept"};
        tstrings::split(out, c.text, c.delimiter);
        std::vector<std::string> expected{"kept"};
        expected.insert(expected.end(), c.pieces.begin(), c.pieces.end());
        EXPECT_EQ(out, expected) << c.text;
    }
}

}  // namespace
