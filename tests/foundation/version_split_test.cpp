#include <gtest/gtest.h>

#include <string>

#include "foundation/version_split.h"

namespace {

struct SplitCase {
    const char* version;
    const char* major;
    const char* minor;
    const char* micro;
    const char* update;
};

class SplitVersionStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitVersionStringTest, SplitsParts) {
    const SplitCase& c = GetParam();
    char major[64], minor[64], micro[64], update[64];
    ASSERT_EQ(SplitVersionString(c.version, major, minor, micro, update, 64), 1);
    EXPECT_STREQ(major, c.major);
    EXPECT_STREQ(minor, c.minor);
    EXPECT_STREQ(micro, c.micro);
    EXPECT_STREQ(update, c.update);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, SplitVersionStringTest,
    ::testing::Values(SplitCase{"3.2.1_15", "3", "2", "1", "15"}, SplitCase{"3.2", "3", "2", "0", ""},
                      SplitCase{"3.2.1", "3", "2", "1", ""}, SplitCase{"3.2.", "3", "2", "0", ""},
                      SplitCase{"1.8.0_401_b2", "1", "8", "0", "401_b2"},
                      SplitCase{"3.2.1_", "3", "2", "1", ""},
                      // An "_" before the second "." is not the update separator.
                      SplitCase{"3_1.2.5", "3_1", "2", "5", ""},
                      SplitCase{"3.2_9.7_4", "3", "2_9", "7", "4"}));

TEST(SplitVersionString_Null, EmptiesOutputsAndReturnsZero) {
    char major[8] = "x", minor[8] = "x", micro[8] = "x", update[8] = "x";
    EXPECT_EQ(SplitVersionString(nullptr, major, minor, micro, update, 8), 0);
    EXPECT_STREQ(major, "");
    EXPECT_STREQ(minor, "");
    EXPECT_STREQ(micro, "");
    EXPECT_STREQ(update, "");
}

TEST(SplitVersionString_Cut, OutputsFitTheirSize) {
    char major[4], minor[4], micro[4], update[4];
    std::string guard(16, 'G');
    ASSERT_EQ(SplitVersionString("12345.67890.11111_22222", major, minor, micro, update, 4), 1);
    EXPECT_STREQ(major, "123");
    EXPECT_STREQ(minor, "678");
    EXPECT_STREQ(micro, "111");
    EXPECT_STREQ(update, "222");
}

}  // namespace
