#include <gtest/gtest.h>

#include "foundation/file_utils.h"

namespace {

TEST(FileUtilsPaths, CombineBasenameStrip) {
    EXPECT_EQ(FileUtils::combinePath("C:\\dir\\\\", "\\file.txt"), "C:\\dir\\file.txt");
    EXPECT_EQ(FileUtils::combinePath("C:\\dir", "//x"), "C:\\dir\\/x");
    EXPECT_EQ(FileUtils::combinePath("", "name"), "name");
    EXPECT_EQ(FileUtils::combinePath("C:\\dir", ""), "C:\\dir");
    EXPECT_EQ(FileUtils::combinePath("C:\\dir/", "a"), "C:\\dir\\a");
    EXPECT_EQ(FileUtils::basename("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(FileUtils::basename("C:\\a\\"), "");
    EXPECT_EQ(FileUtils::basename("b.txt"), "b.txt");
    EXPECT_EQ(FileUtils::basename("/u/x/b.cpp"), "b.cpp");
    EXPECT_EQ(FileUtils::basename(""), "");
    EXPECT_EQ(FileUtils::stripTrailingSeparators("C:\\a\\/\\"), "C:\\a");
    EXPECT_EQ(FileUtils::stripTrailingSeparators("\\/"), "");
    EXPECT_EQ(FileUtils::stripTrailingSeparators(""), "");
}

}  // namespace
