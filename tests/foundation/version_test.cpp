// Dotted and runtime version parsing, and the order of parsed versions.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/tolva_version.h"
#include "foundation/version.h"

namespace {

template <class F>
std::string errorOf(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ParseComponent, AcceptsWholeDecimalNumbersOnly) {
    EXPECT_EQ(VersionDetails::parseComponent("12"), 12u);
    EXPECT_EQ(VersionDetails::parseComponent("0"), 0u);
    EXPECT_EQ(VersionDetails::parseComponent("007"), 7u);
    EXPECT_EQ(VersionDetails::parseComponent("4294967295"), 4294967295u);
    EXPECT_EQ(VersionDetails::parseComponent("0000000000000000000012"), 12u);
    for (const char* bad : {"12a", "", " 1", "+1", "-1", "1 ", "0x1", "4294967296", "99999999999",
                            "18446744073709551616", "1e2", "1,2", "1\t", "0x", "1-2"}) {
        const std::string e = errorOf([&] { VersionDetails::parseComponent(bad); });
        EXPECT_TRUE(endsWith(e, "at VersionDetails::parseComponent(): Failed to recognize version component in [" +
                                    std::string(bad) + "]"))
            << bad << " -> " << e;
    }
}

struct DottedCase {
    const char* text;
    size_t capacity;
    std::vector<uint32_t> components;
    size_t left;
};

class DottedParserTest : public ::testing::TestWithParam<DottedCase> {};

TEST_P(DottedParserTest, StoresLeadingComponentsAndAnswersWhatIsLeft) {
    const DottedCase& c = GetParam();
    std::vector<uint32_t> out(c.capacity, 0xAAAAAAAAu);
    size_t count = c.capacity;
    EXPECT_EQ(VersionDetails::Parser()(c.text, out.data(), count), c.left) << c.text;
    ASSERT_EQ(count, c.components.size()) << c.text;
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(out[i], c.components[i]) << c.text << " #" << i;
    for (size_t i = count; i < c.capacity; ++i)
        EXPECT_EQ(out[i], 0xAAAAAAAAu) << "slot beyond count written: " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DottedParserTest,
    ::testing::Values(DottedCase{"3.2.1_15", 3, {3, 2}, 4}, DottedCase{"10.2", 5, {10, 2}, 0},
                      DottedCase{"3.2.1", 2, {3, 2}, 2}, DottedCase{"a.1", 3, {}, 3},
                      DottedCase{"1.2.3.4", 4, {1, 2, 3, 4}, 0}, DottedCase{"1..2", 3, {1}, 2},
                      DottedCase{"", 3, {}, 0}, DottedCase{"7", 1, {7}, 0}));

TEST(DottedParser, EmptyDestinationThrows) {
    uint32_t out[1] = {};
    size_t count = 0;
    EXPECT_TRUE(endsWith(errorOf([&] { VersionDetails::Parser()("1.2", out, count); }),
                         "at VersionDetails::Parser::operator ()(): Destination buffer can't be empty"));
}

struct RuntimeCase {
    const char* text;
    std::vector<uint32_t> components;  // all five
    int unrecognised;                  // -1: parses; else init's count of unrecognised characters
};

class RuntimeVersionTest : public ::testing::TestWithParam<RuntimeCase> {};

TEST_P(RuntimeVersionTest, ParsesOrReportsUnrecognisedCharacters) {
    const RuntimeCase& c = GetParam();
    if (c.unrecognised < 0) {
        TolvaVersion v;
        ASSERT_NO_THROW(v.init(c.text)) << c.text;
        for (size_t i = 0; i < 5; ++i)
            EXPECT_EQ(v[i], c.components[i]) << c.text << " #" << i;
        EXPECT_EQ(v.source(), c.text);
    } else {
        const std::string e = errorOf([&] { TolvaVersion v(c.text); });
        EXPECT_TRUE(endsWith(e, "at VersionDetails::Base<5,struct TolvaVersionDetails::KessaParser>::init(): "
                                "Failed to parse [" + std::string(c.text) +
                                    "] version string completely. Number of unrecognised characters is " +
                                    std::to_string(c.unrecognised)))
            << c.text << " -> " << e;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RuntimeVersionTest,
    ::testing::Values(
        RuntimeCase{"1.2.3", {1, 2, 3, 0, 0}, -1}, RuntimeCase{"1.2.3_4", {1, 2, 3, 4, 0}, -1},
        RuntimeCase{"1.2.3_4-b5", {1, 2, 3, 4, 5}, -1}, RuntimeCase{"1.2.3_4-ea-b5", {1, 2, 3, 4, 5}, -1},
        RuntimeCase{"1.2.3_4-ea-rc1-b5", {1, 2, 3, 4, 5}, -1}, RuntimeCase{"1.2.3_4-ea", {1, 2, 3, 4, 0}, -1},
        // Build without update: the build keeps its own slot.
        RuntimeCase{"1.2.3-b5", {1, 2, 3, 0, 5}, -1}, RuntimeCase{"1.2.3-ea-b5", {1, 2, 3, 0, 5}, -1},
        RuntimeCase{"10.0", {10, 0, 0, 0, 0}, -1}, RuntimeCase{"1", {1, 0, 0, 0, 0}, -1},
        RuntimeCase{"1.6.0_100", {1, 6, 0, 100, 0}, -1},
        RuntimeCase{"4294967295.0.0_4294967295-b4294967295",
                    {4294967295u, 0, 0, 4294967295u, 4294967295u}, -1},
        RuntimeCase{"1.2.x", {}, 1}, RuntimeCase{"1.2.3.4", {}, 2}, RuntimeCase{"1.2.3_x", {}, 2},
        RuntimeCase{"1.2.3_4-b5-ea", {}, 3}, RuntimeCase{"1.2.3_4-beta", {1, 2, 3, 4, 0}, -1},
        RuntimeCase{"1.2.3_4-", {}, 1}, RuntimeCase{"1.2.", {}, 1}, RuntimeCase{"1.", {}, 1},
        RuntimeCase{"a.b", {}, 3}, RuntimeCase{"1.2.3_4_5", {}, 4}, RuntimeCase{"1.2.3_4-bx-b2", {1, 2, 3, 4, 2}, -1},
        RuntimeCase{"1.2.4294967296", {}, 10}, RuntimeCase{" 1.2.3", {}, 6}));

TEST(RuntimeVersion, EmptyTextIsNoVersion) {
    EXPECT_TRUE(endsWith(errorOf([] { TolvaVersion v(""); }),
                         "Failed to parse [] version string: no version component"));
}

TEST(RuntimeVersion, FailedInitKeepsValue) {
    TolvaVersion v("1.2.3_4");
    EXPECT_THROW(v.init("1.2.x"), std::runtime_error);
    EXPECT_EQ(v[3], 4u);
    EXPECT_EQ(v.source(), "1.2.3_4");
}

TEST(RuntimeParser, CapacityBelowFiveThrowsBeforeParsing) {
    uint32_t out[5] = {9, 9, 9, 9, 9};
    size_t count = 4;
    try {
        TolvaVersionDetails::Parser()("1.2.3", out, count);
        FAIL() << "no error";
    } catch (const std::length_error& e) {
        EXPECT_TRUE(endsWith(e.what(), "at TolvaVersionDetails::Parser::operator ()(): "
                                       "Insufficient size of destination buffer"));
    }
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(out[0], 9u);
}

TEST(RuntimeParser, CountIsOnePastHighestSlot) {
    uint32_t out[5] = {};
    size_t count = 5;
    EXPECT_EQ(TolvaVersionDetails::Parser()("1.2.3-b7", out, count), 0u);
    EXPECT_EQ(count, 5u);
    count = 5;
    EXPECT_EQ(TolvaVersionDetails::Parser()("1.2.3-ea", out, count), 0u);
    EXPECT_EQ(count, 3u);
}

TEST(RuntimeVersion, OrdersByNumbersComponentByComponent) {
    EXPECT_LT(TolvaVersion("9.0"), TolvaVersion("10.0"));
    EXPECT_LT(TolvaVersion("1.6.0"), TolvaVersion("1.6.0_10"));
    EXPECT_LT(TolvaVersion("1.6.0_9"), TolvaVersion("1.6.0_10"));
    EXPECT_LT(TolvaVersion("1.6.0_10-b2"), TolvaVersion("1.6.0_10-b10"));
    EXPECT_LT(TolvaVersion("1.5.99_99"), TolvaVersion("1.6.0"));
    EXPECT_EQ(TolvaVersion("1.6.0_10-ea"), TolvaVersion("1.6.0_10"));
    EXPECT_EQ(TolvaVersion("1.6"), TolvaVersion("1.6.0_0-b0"));
    EXPECT_GT(TolvaVersion("2"), TolvaVersion("1.99.99_99-b99"));
    EXPECT_EQ(TolvaVersion("1.2.3").compare(TolvaVersion("1.2.3")), 0);
}

TEST(DottedVersion, GenericBaseRefusesLeftovers) {
    VersionDetails::Base<3> v("10.2");
    EXPECT_EQ(v[0], 10u);
    EXPECT_EQ(v[1], 2u);
    EXPECT_EQ(v[2], 0u);
    EXPECT_THROW(VersionDetails::Base<3>("1.2.3.4"), std::runtime_error);
    EXPECT_THROW(VersionDetails::Base<3>("1.2b"), std::runtime_error);
}

}  // namespace
