// Installing the auto-update package, with the scriptable msiexec reached
// through InstallerLocation and a stand-in registration tool at its real path.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "au/config.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/test_util.h"
#include "common/text_conversion.h"
#include "foundation/logger.h"
#include "foundation/logger_internal.h"
#include "foundation/shell_utils.h"
#include "launcher/auto_update_install.h"
#include "launcher/product_version.h"
#include "sample_packages.h"
#include "support/fake_msiexec_control.h"

namespace {

const char kAutoUpdateKey[] = "SOFTWARE\\TolvaSoft\\Auto Update";
const char kUpdateKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update";

void setInstalledVersion(const char* version) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUVersion", REG_SZ, version,
                          static_cast<DWORD>(strlen(version) + 1), KEY_WOW64_32KEY);
}

class AutoUpdateInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        original_ = Logger::getInstance().path();
        LoggerTestAccess::setPath(dir_.file("tusched.log"));
        tool_ = GetRegistrationToolPath();
        const std::string folder = tool_.substr(0, tool_.find_last_of('\\'));
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(testutil::besideExe("cmdline_logger.exe").c_str(), tool_.c_str(), FALSE));
        package_ = dir_.file("au.msi");
        testutil::writeFileBytes(package_, "package");
    }
    void TearDown() override {
        DeleteFileA(tool_.c_str());
        LoggerTestAccess::setPath(original_);
    }
    std::string log() const { return testutil::readFileText(dir_.file("tusched.log")); }
    std::vector<std::string> registrations() const {
        return testutil::readFileLines(toolLog_.file("taureg.log"));
    }
    std::string msiexec() const { return testutil::toUtf8(tds_test::FakeMsiexec::exePath()); }

    testutil::ScratchDir dir_{"au-install"};
    testutil::ScratchDir toolLog_{"taureg"};
    testutil::ScopedEnvironment toolLogVar_{"TDS_CMDLINE_LOG", toolLog_.file("taureg.log")};
    testutil::ScopedRegTree auKey_{HKEY_LOCAL_MACHINE, kAutoUpdateKey, KEY_WOW64_32KEY};
    testutil::ScopedRegTree policy_{HKEY_LOCAL_MACHINE, kUpdateKey, KEY_WOW64_32KEY};
    tds_test::InstallerLocationOverride location_{tds_test::FakeMsiexec::folder()};
    std::string original_, tool_, package_;
};

TEST_F(AutoUpdateInstallTest, InstallAutoUpdate_CommandLineByPolicy) {
    struct Case { bool oem, enabled; const char* tail; const char* logged; };
    const Case cases[] = {
        {false, true, "\" ALLUSERS=1 /qn", "Auto Update is enabled"},
        // DISABLE follows the closing quote directly, as the updater package expects.
        {false, false, "\"DISABLE=1 ALLUSERS=1 /qn", "Auto Update is disabled via configuration settings"},
        {true, false, "\" ALLUSERS=1 OEMUPDATE=1 /qn", nullptr},
    };
    for (const Case& c : cases) {
        tds_test::FakeMsiexec fake("exit 0\n");
        EXPECT_EQ(InstallAutoUpdate(c.oem, package_.c_str(), c.enabled), 0);
        const auto lines = fake.commandLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], "\"" + msiexec() + "\" /i \"" + package_ + c.tail);
        if (c.logged) {
            EXPECT_NE(log().find(c.logged), std::string::npos);
        }
    }
    const auto runs = registrations();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_NE(runs[0].find("-r kessa " + std::string(kFullVersion)), std::string::npos) << runs[0];
}

TEST_F(AutoUpdateInstallTest, InstallAutoUpdate_SameOrNewerInstalledIsNotUpgraded) {
    for (const char* installed : {kPackagedAUVersion, "99.0.0.0"}) {
        setInstalledVersion(installed);
        tds_test::FakeMsiexec fake("exit 0\n");
        EXPECT_EQ(InstallAutoUpdate(false, package_.c_str(), true), -2);
        EXPECT_TRUE(fake.commandLines().empty());
    }
    EXPECT_NE(log().find("AU is not upgradable - Installed version >= the bundled version.\r\n"), std::string::npos);
}

TEST_F(AutoUpdateInstallTest, InstallAutoUpdate_ExitCodes) {
    struct Case { const char* script; const char* toolExit; int answer; };
    const Case cases[] = {
        {"exit 1603\n", "0", 1603},
        // A restart the installer asks for still counts as installed.
        {"exit 3010\n", "0", 0},
        {"exit 1641\n", "0", 0},
        {"exit 0\n", "7", -3},
    };
    for (const Case& c : cases) {
        testutil::ScopedEnvironment toolExit("TDS_CMDLINE_EXIT_CODE", c.toolExit);
        tds_test::FakeMsiexec fake(c.script);
        EXPECT_EQ(InstallAutoUpdate(false, package_.c_str(), true), c.answer) << c.script;
    }
    EXPECT_NE(log().find("Auto Update install failed"), std::string::npos);
}

TEST_F(AutoUpdateInstallTest, InstallAutoUpdate_OlderUpdaterKeepsScheduleAndIsRemovedFirst) {
    setInstalledVersion("2.5.0.1");
    au::Schedule before(0x0102, 7, 33);
    au::Config(1).setSchedule(before);
    au::Config(1).setNotifyType(1);
    tds_test::FakeMsiexec fake("exit 0\n");
    EXPECT_EQ(InstallAutoUpdate(false, package_.c_str(), true), 0);
    const auto lines = fake.commandLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "\"" + msiexec() + "\" /x {5C19E2A7-3B8D-4F61-9A2E-7D4B0C8E1F35} /qn");
    au::Schedule after(0, 0, 0);
    bool valid = false;
    au::Config(1).getSchedule(after, &valid);
    EXPECT_TRUE(valid);
    EXPECT_EQ(after.frequency, before.frequency);
    EXPECT_EQ(after.hour, before.hour);
    EXPECT_EQ(after.minute, before.minute);
    EXPECT_EQ(au::Config(1).getNotifyType(), 1);
}

TEST_F(AutoUpdateInstallTest, ExtractAndInstallAutoUpdate_WritesCarriedPackage) {
    tds_test::FakeMsiexec fake("exit 0\n");
    EXPECT_EQ(ExtractAndInstallAutoUpdate(GetModuleHandleA(nullptr), false, true), 0);
    char userData[MAX_PATH];
    ASSERT_TRUE(GetAppDataLowDir(userData));
    const std::string written = std::string(userData) + "\\Quorvane\\Tolva\\AU\\au.msi";
    EXPECT_EQ(testutil::readFileBytes(written), testutil::readFileBytes(TDS_SAMPLE_AU_MSI_PATH));
    ASSERT_EQ(fake.commandLines().size(), 1u);
    EXPECT_EQ(fake.commandLines()[0], "\"" + msiexec() + "\" /i \"" + written + "\" ALLUSERS=1 /qn");
    // A module without the package answers -5 and runs nothing.
    tds_test::FakeMsiexec none("exit 0\n");
    EXPECT_EQ(ExtractAndInstallAutoUpdate(GetModuleHandleA("kernel32.dll"), false, true), -5);
    EXPECT_TRUE(none.commandLines().empty());
}

TEST(CompareVersionStrings, NumbersThenUpdateText) {
    struct Case { const char* a; const char* b; int order; };
    const Case cases[] = {
        {"2.8", "2.0", 1},      {"1.9", "2.0", -1},        {"2.0", "2.0", 0},      {"10.0", "9.9", 1},
        {"2.8.12.4", "2.0", 1}, {"1.6.0_10", "1.6.0_9", -1}, {"1.6.0_10", "1.6.0", 1}, {"1.6.1", "1.6.0_99", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompareVersionStrings(c.a, c.b), c.order) << c.a << " vs " << c.b;
}

}  // namespace
