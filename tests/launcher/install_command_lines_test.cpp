#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launcher/install_command_lines.h"

namespace {

TEST(TransformOption, EnglishHasNone) {
    EXPECT_EQ(TransformOption(1033), "");
    EXPECT_EQ(TransformOption(1041), " TRANSFORMS=:1041");
    EXPECT_EQ(TransformOption(2052), " TRANSFORMS=:2052");
}

TEST(BuildInstallCommandLines, SecondEndsInQnFirstAddsOneBlank) {
    char first[2048], second[2048];
    ASSERT_TRUE(BuildInstallCommandLines("C:\\windows\\system32\\msiexec.exe", "C:\\u\\kessa9.msi",
                                         "INSTALLDIR=\"C:\\x\"  /qn", " TRANSFORMS=:1041", first, second,
                                         sizeof first));
    EXPECT_STREQ(second, "\"C:\\windows\\system32\\msiexec.exe\" /i \"C:\\u\\kessa9.msi\" "
                         "INSTALLDIR=\"C:\\x\"  /qn  TRANSFORMS=:1041 /qn");
    EXPECT_EQ(std::string(first), std::string(second) + " ");
}

TEST(BuildInstallCommandLines, LineThatDoesNotFitIsRefused) {
    char first[64], second[64];
    const std::string options(40, 'o');
    EXPECT_FALSE(BuildInstallCommandLines("C:\\m.exe", "C:\\p.msi", options.c_str(), "", first, second, sizeof first));
    EXPECT_STREQ(first, "");
    EXPECT_STREQ(second, "");
    // The second line fits exactly; the first, one blank longer, does not.
    const std::string fits(63 - std::strlen("\"C:\\m.exe\" /i \"C:\\p.msi\"   /qn"), 'o');
    EXPECT_FALSE(BuildInstallCommandLines("C:\\m.exe", "C:\\p.msi", fits.c_str(), "", first, second, sizeof first));
    EXPECT_STREQ(second, "");
}

TEST(AppendBounded, WholeOrNothing) {
    char line[8] = "abc";
    EXPECT_TRUE(AppendBounded(line, sizeof line, "defg"));
    EXPECT_STREQ(line, "abcdefg");
    EXPECT_FALSE(AppendBounded(line, sizeof line, "h"));
    EXPECT_STREQ(line, "abcdefg");
    EXPECT_TRUE(AppendBounded(line, sizeof line, nullptr));

    char a[16] = "1234567890", b[16] = "12345";
    EXPECT_FALSE(AppendToBothLines(a, b, sizeof a, " SKIP=1"));
    EXPECT_STREQ(a, "1234567890");
    EXPECT_STREQ(b, "12345");
    EXPECT_TRUE(AppendToBothLines(a, b, sizeof a, " S=1"));
    EXPECT_STREQ(a, "1234567890 S=1");
    EXPECT_STREQ(b, "12345 S=1");
}

}  // namespace
