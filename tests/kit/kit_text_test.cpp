// The kit's texts: version pieces, its product code, its msiexec command
// line and the runtime installer's arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kit/kit_command_line.h"
#include "kit/kit_runtime_installer.h"
#include "kit/kit_version_text.h"

namespace {

struct VersionCase {
    const char* version;
    const char* minor;
    const char* update;
};

class VersionPieces : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionPieces, GetMinorAndUpdateVersion_Table) {
    char minor[2048] = "junk";
    char update[2048] = "junk";
    GetMinorVersion(GetParam().version, minor);
    GetUpdateVersion(GetParam().version, update);
    EXPECT_STREQ(minor, GetParam().minor);
    EXPECT_STREQ(update, GetParam().update);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionPieces,
                         ::testing::Values(VersionCase{"9.1.4_12", "1", "12"}, VersionCase{"a.b.c_d", "b", "d"},
                                           VersionCase{"9.1.4", "1", "00"}, VersionCase{"9.1", "1", "00"},
                                           VersionCase{"9", "", "00"}, VersionCase{"9.1.4_1_7", "1", "7"},
                                           VersionCase{"", "", "00"}));

TEST(VindelProductCode, GetVindelProductCode_BitnessMinorAndUpdate) {
    EXPECT_EQ(GetVindelProductCode("9.1.4_12", false), "{64C7E2B1-D483-11D6-B52C-00A0C9310120}");
    EXPECT_EQ(GetVindelProductCode("9.1.4_12", true), "{32C7E2B1-D483-11D6-B52C-00A0C9310120}");
    // No "_": the update text is "00".
    EXPECT_EQ(GetVindelProductCode("8.2.0", false), "{64C7E2B1-D483-11D6-B52C-00A0C9320000}");
}

TEST(PassedProperty, FindPassedProperty_ExactNameWholeArgumentLastWins) {
    std::string value;
    EXPECT_TRUE(FindPassedProperty(" ADDLOCAL=ToolsFeature /qn", "ADDLOCAL", &value));
    EXPECT_EQ(value, "ToolsFeature");
    EXPECT_TRUE(FindPassedProperty(" REBOOT=Force REBOOT=ReallySuppress", "REBOOT", &value));
    EXPECT_EQ(value, "ReallySuppress");
    // Inside another argument or a quoted log path it is no property.
    EXPECT_FALSE(FindPassedProperty(" /l*v \"C:\\x ADDLOCAL=ALL.log\"", "ADDLOCAL", nullptr));
    EXPECT_FALSE(FindPassedProperty(" XADDLOCAL=ALL", "ADDLOCAL", nullptr));
    EXPECT_FALSE(FindPassedProperty(" ADDLOCALX=ALL", "ADDLOCAL", nullptr));
    EXPECT_FALSE(FindPassedProperty(" addlocal=ALL", "ADDLOCAL", nullptr));
    EXPECT_FALSE(FindPassedProperty(nullptr, "ADDLOCAL", nullptr));
}

TEST(SilentKitOptions, AppendSilentKitOptions_AddsOnlyWhatIsMissing) {
    char options[2048] = "";
    ASSERT_TRUE(AppendSilentKitOptions(options, sizeof options, false));
    EXPECT_STREQ(options, " /qn ADDLOCAL=PublickessaFeature,ToolsFeature");
    char given[2048] = " /qn ADDLOCAL=ToolsFeature ";
    ASSERT_TRUE(AppendSilentKitOptions(given, sizeof given, true));
    EXPECT_STREQ(given, " /qn ADDLOCAL=ToolsFeature ");
}

TEST(SilentKitOptions, AppendSilentKitOptions_TooSmallLeavesOptionsUnchanged) {
    char options[12] = "abc";
    EXPECT_FALSE(AppendSilentKitOptions(options, sizeof options, false));
    EXPECT_STREQ(options, "abc");
}

TEST(KitCommandLine, BuildKitCommandLine_EnglishHasNoTransform) {
    char line[2048];
    ASSERT_TRUE(BuildKitCommandLine("C:\\w\\msiexec.exe", "C:\\p\\vindel.msi", 1033, " /qn", line, sizeof line));
    EXPECT_STREQ(line, "\"C:\\w\\msiexec.exe\" /i \"C:\\p\\vindel.msi\"  /qn WRAPPER=1");
    ASSERT_TRUE(BuildKitCommandLine("C:\\w\\msiexec.exe", "C:\\p\\vindel.msi", 1041, " /qn", line, sizeof line));
    EXPECT_STREQ(line, "\"C:\\w\\msiexec.exe\" /i \"C:\\p\\vindel.msi\" TRANSFORMS=:1041  /qn WRAPPER=1");
}

TEST(KitCommandLine, BuildKitCommandLine_DoesNotCutALine) {
    const std::string options(2000, 'x');
    char line[2048] = "old";
    EXPECT_FALSE(BuildKitCommandLine("C:\\w\\msiexec.exe", "C:\\p\\vindel.msi", 1033, options.c_str(), line,
                                     sizeof line));
    EXPECT_STREQ(line, "");
}

TEST(RuntimeSelection, KitOptionsSelectRuntime_Table) {
    EXPECT_TRUE(KitOptionsSelectRuntime(" /qn"));
    EXPECT_TRUE(KitOptionsSelectRuntime(" /qn ADDLOCAL=PublickessaFeature,ToolsFeature"));
    EXPECT_TRUE(KitOptionsSelectRuntime(" ADDLOCAL=ALL /qn"));
    EXPECT_FALSE(KitOptionsSelectRuntime(" ADDLOCAL=ToolsFeature /qn"));
}

TEST(RuntimeInstallerArguments, BuildRuntimeInstallerArguments_Table) {
    char out[2048];
    ASSERT_TRUE(BuildRuntimeInstallerArguments("C:\\k\\kessa.exe", false, "", false, out, sizeof out));
    EXPECT_STREQ(out, "\"C:\\k\\kessa.exe\" /s LAUNCHEDFROMVINDEL=1");
    ASSERT_TRUE(BuildRuntimeInstallerArguments("C:\\k\\kessa.exe", true, "C:\\Pub", true, out, sizeof out));
    EXPECT_STREQ(out, "\"C:\\k\\kessa.exe\" /s LAUNCHEDFROMVINDEL=1 NOSTARTMENU=1 INSTALLDIR=\"C:\\Pub\"  "
                      "REBOOT=ReallySuppress");
    // An already quoted folder stays quoted once.
    ASSERT_TRUE(BuildRuntimeInstallerArguments("C:\\k\\kessa.exe", false, "\"C:\\P b\"", false, out, sizeof out));
    EXPECT_STREQ(out, "\"C:\\k\\kessa.exe\" /s LAUNCHEDFROMVINDEL=1 INSTALLDIR=\"C:\\P b\" ");
    const std::string folder(2030, 'f');
    EXPECT_FALSE(BuildRuntimeInstallerArguments("C:\\k\\kessa.exe", false, folder.c_str(), false, out, sizeof out));
    EXPECT_STREQ(out, "");
}

}  // namespace
