#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/xml_append.h"

namespace {

TEST(AppendXmlElement_Fits, AppendsWithoutEscaping) {
    char buffer[64] = "<ping>";
    EXPECT_TRUE(AppendXmlElement(buffer, sizeof buffer, "os", "win&7"));
    EXPECT_TRUE(AppendXmlElement(buffer, sizeof buffer, "e", ""));
    EXPECT_STREQ(buffer, "<ping><os>win&7</os><e></e>");
}

TEST(AppendXmlElement_ExactFit, UsesTheLastByteForTheEnd) {
    // "<a>b</a>" is 8 characters: 8 + NUL fits 9 bytes, not 8.
    char exact[9 + 4];
    memset(exact, 'G', sizeof exact);
    exact[0] = '\0';
    EXPECT_TRUE(AppendXmlElement(exact, 9, "a", "b"));
    EXPECT_STREQ(exact, "<a>b</a>");
    EXPECT_EQ(exact[9], 'G');

    char tooSmall[8 + 4];
    memset(tooSmall, 'G', sizeof tooSmall);
    tooSmall[0] = '\0';
    EXPECT_FALSE(AppendXmlElement(tooSmall, 8, "a", "b"));
    EXPECT_STREQ(tooSmall, "");
    EXPECT_EQ(std::string(tooSmall + 1, 11), std::string(11, 'G'));
}

TEST(AppendXmlElement_NoRoom, LeavesTheBufferAsItWas) {
    char buffer[24] = "<r><k>v</k>";
    EXPECT_FALSE(AppendXmlElement(buffer, sizeof buffer, "long", "value-too-long"));
    EXPECT_STREQ(buffer, "<r><k>v</k>");
    // A buffer whose text has no end within its capacity is refused too.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AppendXmlElement(full, sizeof full, "x", "y"));
    EXPECT_FALSE(AppendXmlElement(nullptr, 10, "x", "y"));
}

}  // namespace
