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
                      IntegerCase{"\r5", 0, true}));

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
                                           DoubleCase{"x1", 0, true}, DoubleCase{"1e999", 0, true}));

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
