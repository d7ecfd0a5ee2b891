// Matching of command-line arguments to configuration keys.
#include <gtest/gtest.h>

#include "config/config_key_record.h"

namespace {

struct MatchCase {
    const char* record;
    bool prefix;
    const char* argument;
    bool matches;
};

class MatchesTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchesTest, Matches_FollowsSeparatorAndPrefixRules) {
    ConfigKeyRecord record(GetParam().record, 0, 0, 0);
    record.prefixMatch = GetParam().prefix;
    EXPECT_EQ(record.Matches(GetParam().argument), GetParam().matches) << GetParam().record << " vs "
                                                                       << GetParam().argument;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MatchesTest,
    ::testing::Values(MatchCase{"INSTALL_SILENT", false, "install_silent=Enable", true},
                      MatchCase{"INSTALL_SILENT", false, "INSTALL_SILENT:1", true},
                      MatchCase{"INSTALL_SILENT", false, "INSTALL_SILENT", false},  // needs a separator
                      MatchCase{"INSTALL_SILENT", false, "INSTALL_SILENTX=1", false},
                      MatchCase{"INSTALL_SILENT", false, "INSTALL=1", false},
                      MatchCase{"/q", true, "/qn", true}, MatchCase{"/q", true, "/qb!", true},
                      MatchCase{"/q", true, "/Q", true}, MatchCase{"/q", true, "/q=1", false},
                      MatchCase{"/l", true, "/l*v", true}, MatchCase{"/l", true, "/lang=1041", false},
                      MatchCase{"/lang", false, "/lang=1041", true}, MatchCase{"/lang", false, "/LANG:1041", true},
                      MatchCase{"/s", false, "/S", true}, MatchCase{"/s", false, "/s=1", false},
                      MatchCase{"/s", false, "/sx", false}, MatchCase{"-download", false, "-DOWNLOAD", true},
                      MatchCase{"/installmethod", false, "/INSTALLMETHOD=x", true},
                      MatchCase{"ADDLOCAL", false, "ADDLOCAL=A:B", true},
                      MatchCase{"ADDLOCAL", false, "=ADDLOCAL", false}));

TEST(ConfigKeyRecord, IsBareSwitch_ExactNamesOnly) {
    for (const char* name : {"/s", "/h", "-download", "-no_override", "/q", "/l"})
        EXPECT_TRUE(ConfigKeyRecord(name, 0, 0, 0).IsBareSwitch()) << name;
    for (const char* name : {"/S", "/lang", "INSTALL_SILENT", "/l ", ""})
        EXPECT_FALSE(ConfigKeyRecord(name, 0, 0, 0).IsBareSwitch()) << name;
}

}  // namespace
