// Value conversions and the plain-text test.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "settings/config_value.h"
#include "settings/plain_text.h"
#include "settings/settings_exception.h"
#include "status_code.h"

using namespace settings_impl;

namespace {

using settings_test::codeOf;

struct IntegerCase {
    const char* text;
    int32_t expected;  // ignored when fails
    bool fails;
};

class ReadIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ReadIntegerTest, ReadInteger_Table) {
    const IntegerCase& c = GetParam();
    if (c.fails) {
        EXPECT_EQ(302, codeOf([&] { readInteger(c.text); })) << c.text;
    } else {
        EXPECT_EQ(c.expected, readInteger(c.text)) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadIntegerTest,
    ::testing::Values(IntegerCase{" 42", 42, false}, IntegerCase{"42 ", 42, false},
                      IntegerCase{"\t\n\x0B-7", -7, false}, IntegerCase{"", 0, true}, IntegerCase{"   ", 0, true},
                      IntegerCase{"0x1F", 31, false}, IntegerCase{"0X1f", 31, false},
                      IntegerCase{"-0x10", -16, false}, IntegerCase{"010", 8, false},
                      IntegerCase{"-010", -8, false}, IntegerCase{"09", 0, false}, IntegerCase{"12abc", 12, false},
                      IntegerCase{"1.5", 1, false}, IntegerCase{"2147483647", 2147483647, false},
                      IntegerCase{"2147483648", 0, true},
                      IntegerCase{"-2147483648", std::numeric_limits<int32_t>::min(), false},
                      IntegerCase{"-2147483649", 0, true}, IntegerCase{"0x7fffffff", 2147483647, false},
                      IntegerCase{"0x80000000", 0, true}, IntegerCase{"abc", 0, true}, IntegerCase{"-", 0, true},
                      IntegerCase{"+5", 5, false},
                      // Only space, TAB, LF and VT count as leading blanks.
                      IntegerCase{"\r5", 0, true}, IntegerCase{"\f5", 0, true},
                      // The sign must touch the digits, and only one sign.
                      IntegerCase{"- 5", 0, true}, IntegerCase{"+-5", 0, true}, IntegerCase{"--5", 0, true},
                      // A hexadecimal text needs a digit after its "0x".
                      IntegerCase{"0x", 0, true}, IntegerCase{"-0x", 0, true}, IntegerCase{"0xg", 0, true},
                      IntegerCase{"0x-5", 0, true}, IntegerCase{"0x 5", 0, true}, IntegerCase{"0x1fz", 31, false},
                      // "+0x" is not a hexadecimal start: decimal 0, the rest ignored.
                      IntegerCase{"+0x10", 0, false}, IntegerCase{"+010", 10, false},
                      IntegerCase{"00x5", 0, false}, IntegerCase{"-09", 0, false}, IntegerCase{"-0", 0, false},
                      IntegerCase{"0", 0, false}, IntegerCase{"0000000000000000000017", 15, false},
                      IntegerCase{"0x00000000000000000001", 1, false},
                      IntegerCase{"017777777777", 2147483647, false}, IntegerCase{"020000000000", 0, true},
                      IntegerCase{"-020000000000", std::numeric_limits<int32_t>::min(), false},
                      IntegerCase{"-0x80000000", std::numeric_limits<int32_t>::min(), false},
                      IntegerCase{"-0x80000001", 0, true}, IntegerCase{"0xffffffff", 0, true},
                      IntegerCase{"4294967296", 0, true}, IntegerCase{"99999999999999999999", 0, true},
                      IntegerCase{"-99999999999999999999", 0, true}, IntegerCase{"1e3", 1, false},
                      IntegerCase{"1,000", 1, false}, IntegerCase{"\n\n 0x1F rest", 31, false}));

struct DoubleCase {
    const char* text;
    double expected;
    bool fails;
};

class ReadDoubleTest : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(ReadDoubleTest, ReadDouble_Table) {
    const DoubleCase& c = GetParam();
    if (c.fails) {
        EXPECT_EQ(302, codeOf([&] { readDouble(c.text); })) << c.text;
    } else {
        EXPECT_DOUBLE_EQ(c.expected, readDouble(c.text)) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadDoubleTest,
                         ::testing::Values(DoubleCase{"1.5", 1.5, false}, DoubleCase{"1e3", 1000, false},
                                           DoubleCase{"1E3", 1000, false}, DoubleCase{" -2.25x", -2.25, false},
                                           DoubleCase{"0x10", 0, false}, DoubleCase{"", 0, true},
                                           DoubleCase{"x1", 0, true}, DoubleCase{"1e999", 0, true},
                                           DoubleCase{"-1e999", 0, true}, DoubleCase{"+1.5", 1.5, false},
                                           DoubleCase{".5", 0.5, false}, DoubleCase{"-.5", -0.5, false},
                                           DoubleCase{"1.", 1, false}, DoubleCase{"1.e2", 100, false},
                                           DoubleCase{"00012.5", 12.5, false}, DoubleCase{"1.5.3", 1.5, false},
                                           DoubleCase{"1e5e3", 100000, false}, DoubleCase{"1e+5", 100000, false},
                                           DoubleCase{"1e-5", 1e-5, false}, DoubleCase{"2,5", 2, false},
                                           DoubleCase{"\t12abc", 12, false},
                                           // A started exponent must have digits.
                                           DoubleCase{"1e", 0, true}, DoubleCase{"1e+", 0, true},
                                           DoubleCase{"1ex", 0, true}, DoubleCase{"1e-x", 0, true},
                                           DoubleCase{".", 0, true}, DoubleCase{"-", 0, true},
                                           DoubleCase{"+-1", 0, true}, DoubleCase{"- 1", 0, true},
                                           DoubleCase{".e1", 0, true}, DoubleCase{"e5", 0, true},
                                           DoubleCase{"\r1", 0, true},
                                           // Only decimal notation: no words, no hexadecimal floats.
                                           DoubleCase{"inf", 0, true}, DoubleCase{"-infinity", 0, true},
                                           DoubleCase{"nan", 0, true}, DoubleCase{"0x1p3", 0, false},
                                           // Too small to hold is zero, not an error.
                                           DoubleCase{"1e-400", 0, false}));

TEST(DoubleTextTest, DoubleText_SixSignificantDigits) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0.5, "0.5"},
                 {2.25, "2.25"},
                 {0, "0"},
                 {-0.0, "-0"},
                 {-1.5, "-1.5"},
                 {100000, "100000"},
                 {123456, "123456"},
                 {1234567, "1.23457e+06"},
                 {1e10, "1e+10"},
                 {0.0001, "0.0001"},
                 {0.00001, "1e-05"},
                 {1.0 / 3, "0.333333"},
                 {2.5e-300, "2.5e-300"},
                 {std::numeric_limits<double>::max(), "1.79769e+308"},
                 {std::numeric_limits<double>::infinity(), "inf"},
                 {-std::numeric_limits<double>::infinity(), "-inf"}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, doubleText(c.value)) << c.value;
        EXPECT_EQ(c.text, ConfigValue::ofDouble(c.value).text()) << c.value;
    }
    EXPECT_EQ("nan", doubleText(std::numeric_limits<double>::quiet_NaN()));
}

TEST(IntegerTextTest, IntegerText_SignedDecimal) {
    EXPECT_EQ("0", integerText(0));
    EXPECT_EQ("-2147483648", integerText(std::numeric_limits<int32_t>::min()));
    EXPECT_EQ("2147483647", integerText(std::numeric_limits<int32_t>::max()));
    // A canonical text reads back as its value.
    for (int32_t v : {0, 1, -1, 8, -16, 2147483647, std::numeric_limits<int32_t>::min()})
        EXPECT_EQ(v, readInteger(integerText(v))) << v;
}

struct BooleanCase {
    const char* text;
    bool expected;
    bool fails;
};

class ReadBooleanTest : public ::testing::TestWithParam<BooleanCase> {};

TEST_P(ReadBooleanTest, ReadBoolean_Table) {
    const BooleanCase& c = GetParam();
    if (c.fails) {
        EXPECT_EQ(302, codeOf([&] { readBoolean(c.text); })) << c.text;
    } else {
        EXPECT_EQ(c.expected, readBoolean(c.text)) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadBooleanTest,
    ::testing::Values(BooleanCase{"YES", true, false}, BooleanCase{"True", true, false},
                      BooleanCase{"no", false, false}, BooleanCase{"FALSE", false, false},
                      BooleanCase{"2", true, false}, BooleanCase{"1", true, false}, BooleanCase{"0x1", true, false},
                      BooleanCase{"0", false, false}, BooleanCase{"maybe", false, true},
                      BooleanCase{"yes ", false, true}, BooleanCase{"", false, true}));

TEST(ConfigValueTest, Construct_TypedFromText) {
    ConfigValue integer("0x10", kInteger);
    EXPECT_EQ(16, integer.getInteger());
    EXPECT_EQ("0x10", integer.text());  // written back as read
    ConfigValue boolean("Yes", kBoolean);
    EXPECT_TRUE(boolean.getBoolean());
    ConfigValue number("2.5", kDouble);
    EXPECT_DOUBLE_EQ(2.5, number.getDouble());
    EXPECT_EQ(302, codeOf([] { ConfigValue("x", kInteger); }));
    EXPECT_THROW(ConfigValue("1", 105), std::runtime_error);
    try {
        ConfigValue("1", 99);
        FAIL();
    } catch (const settings::Exception&) {
        FAIL() << "an unknown type is an internal error, not a status";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("unexpected", e.what());
    }
}

TEST(ConfigValueTest, Construct_NotPlainTextRefused) {
    EXPECT_EQ(302, codeOf([] { ConfigValue("a\xFF", kUntypedText); }));
    EXPECT_EQ(302, codeOf([] { ConfigValue("a\xFF", kUtf8Text); }));
    const std::string bad = "\x80";
    EXPECT_EQ(302, codeOf([&] { ConfigValue::ofInteger(1, &bad); }));
}

TEST(ConfigValueTest, CanonicalTexts_WhenNoTextGiven) {
    EXPECT_EQ("-5", ConfigValue::ofInteger(-5).text());
    EXPECT_EQ("42", ConfigValue::ofInteger(42).text());
    EXPECT_EQ("true", ConfigValue::ofBoolean(true).text());
    EXPECT_EQ("false", ConfigValue::ofBoolean(false).text());
    EXPECT_EQ("0.5", ConfigValue::ofDouble(0.5).text());
    EXPECT_EQ("2.25", ConfigValue::ofDouble(2.25).text());
    EXPECT_EQ("3.14159", ConfigValue::ofDouble(3.14159265).text());
    const std::string enable = "Enable";
    ConfigValue given = ConfigValue::ofInteger(1, &enable);
    EXPECT_EQ("Enable", given.text());
    EXPECT_EQ(1, given.getInteger());
}

TEST(ConfigValueTest, TypedReads_OtherTypeIs301UntypedConverts) {
    ConfigValue integer("1", kInteger);
    EXPECT_EQ(301, codeOf([&] { integer.getBoolean(); }));
    EXPECT_EQ(301, codeOf([&] { integer.getDouble(); }));
    ConfigValue untyped("1", kUntypedText);
    EXPECT_TRUE(untyped.getBoolean());
    EXPECT_EQ(1, untyped.getInteger());
    EXPECT_DOUBLE_EQ(1.0, untyped.getDouble());
    ConfigValue text("1", kUtf8Text);
    EXPECT_EQ(301, codeOf([&] { text.getInteger(); }));
    EXPECT_EQ(301, codeOf([&] { text.getBoolean(); }));
    EXPECT_EQ(301, codeOf([&] { text.getDouble(); }));
    ConfigValue untypedBad("maybe", kUntypedText);
    EXPECT_EQ(302, codeOf([&] { untypedBad.getBoolean(); }));
}

struct PlainCase {
    std::string text;
    size_t offending;  // npos: plain
};

class PlainTextTest : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainTextTest, FindNonPlainText_Table) {
    const PlainCase& c = GetParam();
    const size_t expected = c.offending == std::string::npos ? c.text.size() : c.offending;
    EXPECT_EQ(expected, findNonPlainText(c.text));
    EXPECT_EQ(c.offending == std::string::npos, isPlainText(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PlainTextTest,
    ::testing::Values(PlainCase{"", std::string::npos}, PlainCase{"plain", std::string::npos},
                      PlainCase{"\xC3\xA9", std::string::npos}, PlainCase{"\xE2\x82\xAC", std::string::npos},
                      PlainCase{"\xF0\x9F\x98\x80", std::string::npos},
                      PlainCase{"\xF8\x88\x80\x80\x80", std::string::npos},
                      PlainCase{"\xFC\x84\x80\x80\x80\x80", std::string::npos}, PlainCase{"a\x80", 1},
                      PlainCase{"ab\xE2\x82", 2}, PlainCase{"\xC3", 0}, PlainCase{"x\xFE", 1},
                      PlainCase{"x\xFFy", 1}, PlainCase{"\xC3(", 0}, PlainCase{"ok\xF0\x9F\x98", 2}));

}  // namespace
