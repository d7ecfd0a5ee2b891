// kessa-setup.exe from end to end. Each case is a declared state: after a
// launcher run with these arguments, this exit code, and these files and
// registry values exist or are gone. msiexec is the scriptable double
// (through InstallerLocation) except in the one real install, which uses
// Wine's own.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/test_util.h"
#include "launcher/installation_lock.h"
#include "dialog_closer.h"
#include "launcher_run.h"
#include "launcher/product_version.h"
#include "sample_packages.h"
#include "support/fake_msiexec_control.h"

namespace {

const char kPolicyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";
const char kAutoUpdateKey[] = "SOFTWARE\\TolvaSoft\\Auto Update";

std::string launcher() { return testutil::besideExe("kessa-setup.exe"); }

using e2e::keyExists;
using e2e::kRuntimeSettings;
using e2e::kVendorKey;
using e2e::lockPath;
using e2e::valueExists;

using e2e::DialogCloser;

class LauncherRun : public e2e::LauncherRun {
public:
    explicit LauncherRun(const std::string& arguments, const std::string& program = launcher())
        : e2e::LauncherRun(program, arguments) {}
};

// The machine as a test leaves it: no vendor state, no runtime settings file.
void cleanMachine() { e2e::clearVendorState(); }

class KessaSetupWithFakeMsiexec : public ::testing::Test {
protected:
    void SetUp() override { cleanMachine(); }
    void TearDown() override { cleanMachine(); }
    std::string msiexec() const { return tds_test::wideToUtf8(tds_test::FakeMsiexec::exePath()); }

    tds_test::InstallerLocationOverride location_{tds_test::FakeMsiexec::folder()};
};

TEST_F(KessaSetupWithFakeMsiexec, SilentInstall_RunsRuntimeThenUpdaterAndCleansUp) {
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s");
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(run.exitCode(), 0) << run.log();
    const auto lines = fake.commandLines();
    ASSERT_EQ(lines.size(), 2u) << run.log();
    // "/qn" twice: once from the silent options, once at the end.
    EXPECT_EQ(lines[0].rfind("\"" + msiexec() + "\" /i \"", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(std::string("\\Brask\\Tolva\\kessa") + kRuntimeVersion + "_x64\\kessa" + kRuntimeVersion +
                            ".msi\"  /qn  /qn"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("\\Quorvane\\Tolva\\AU\\au.msi\" ALLUSERS=1 /qn"), std::string::npos) << lines[1];
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, std::string(kVendorKey) + "\\SilentInstall"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId", KEY_WOW64_64KEY));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kPolicyKey, "Method", KEY_WOW64_64KEY));
    const std::string log = run.log();
    EXPECT_NE(log.find("Wrapper begin..."), std::string::npos);
    EXPECT_NE(log.find("Wrapper: Execute MSI ..."), std::string::npos);
}

TEST_F(KessaSetupWithFakeMsiexec, SilentInstall_PropertiesLanguageAndFolderReachMsiexec) {
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s /lang=1041 INSTALLDIR=C:\\Tolva\\Here ADDLOCAL=ToolsFeature \"/l*v\" \"C:\\My Logs\\x.log\"");
    ASSERT_EQ(run.exitCode(), 0) << run.log();
    const auto lines = fake.commandLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(" TRANSFORMS=:1041 /qn "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("ADDLOCAL=ToolsFeature"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("/l*v \"C:\\My Logs\\x.log\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" INSTALLDIR=\"C:\\Tolva\\Here\" "), std::string::npos) << lines[0];
}

TEST_F(KessaSetupWithFakeMsiexec, InteractiveInstall_ReinstallStatusRunsTheSecondLineOnce) {
    // The first run also drives the progress window as the package does.
    tds_test::FakeMsiexec fake(
        "[run 1]\nsetevent KessaSetupMsiStarted\nrecord 1 1\nsleep 300\nrecord 1 2\nrecord 7 3\nsleep 300\n"
        "regset HKLM\\SOFTWARE\\TolvaSoft|InstallStatus|sz|reinstall\nexit 0\n"
        "[run 2]\nregset HKLM\\SOFTWARE\\TolvaSoft|InstallStatus|sz|reinstall\nexit 0\n");
    testutil::ScratchDir temp("interactive");
    testutil::ChildProcess launcherProcess;
    ASSERT_TRUE(launcherProcess.start(testutil::quote(launcher()), {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
    {
        // Next on the welcome page, then the post-install pages are closed.
        DialogCloser closer(launcherProcess.pid(), IDCANCEL, "Welcome");
        ASSERT_TRUE(launcherProcess.wait(120000)) << closer.titles();
        EXPECT_GE(closer.closed(), 2);
    }
    const std::string log = testutil::readFileText(temp.file("tusched.log"));
    EXPECT_EQ(static_cast<int>(launcherProcess.exitCode()), 0) << log;
    const auto lines = fake.commandLines();
    ASSERT_EQ(lines.size(), 3u) << log;
    // The first line is the second plus one blank, before the pages' additions.
    const std::string additions = " SKIPLICENSE=1 PROG=0 ENDDIALOG=0";
    ASSERT_GT(lines[1].size(), additions.size());
    EXPECT_EQ(lines[1].substr(lines[1].size() - additions.size() - 4), " /qn" + additions) << lines[1];
    EXPECT_EQ(lines[0], lines[1].substr(0, lines[1].size() - additions.size()) + " " + additions) << lines[0];
    EXPECT_EQ(lines[0].find("/qn  /qn"), std::string::npos) << "silent options in an interactive run";
    EXPECT_NE(lines[2].find("\\AU\\au.msi\""), std::string::npos) << lines[2];
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
}

TEST_F(KessaSetupWithFakeMsiexec, TestSwitchesShowTheirPageAndEndWithZero) {
    const struct { const char* option; WPARAM button; } cases[] = {
        {"TEST_FINAL_DIALOG=1", IDCANCEL}, {"TEST_PROGRESS_DIALOG=1", IDCANCEL},
        {"TEST_WELCOME_DIALOG=1", IDOK},   {"TEST_CHANGE_DIALOG=1", IDOK},
    };
    for (const auto& c : cases) {
        const char* option = c.option;
        tds_test::FakeMsiexec fake("exit 0\n");
        testutil::ScratchDir temp("switch");
        testutil::ChildProcess launcherProcess;
        ASSERT_TRUE(launcherProcess.start(testutil::quote(launcher()) + " " + option,
                                          {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
        DialogCloser closer(launcherProcess.pid(), c.button);
        ASSERT_TRUE(launcherProcess.wait(60000)) << option << ": " << closer.titles();
        EXPECT_EQ(static_cast<int>(launcherProcess.exitCode()), 0) << option;
        EXPECT_GE(closer.closed(), 1) << option;
        EXPECT_TRUE(fake.commandLines().empty()) << option;
    }
}

TEST_F(KessaSetupWithFakeMsiexec, ExitCodes) {
    struct Case { const char* arguments; const char* script; int exitCode; size_t msiexecRuns; };
    const Case cases[] = {
        {"/s foo=1", "exit 0\n", -80, 0},
        {"/s", "[run 1]\nexit 1603\n", 1603, 1},
        // A restart that the installer asks for is success: the updater follows.
        {"/s", "[run 1]\nexit 3010\n", 3010, 2},
        {"/s", "[run 1]\nexit 1641\n", 1641, 2},
    };
    for (const Case& c : cases) {
        tds_test::FakeMsiexec fake(c.script);
        const LauncherRun run(c.arguments);
        ASSERT_TRUE(run.finished());
        EXPECT_EQ(run.exitCode(), c.exitCode) << c.arguments << " / " << c.script << run.log();
        EXPECT_EQ(fake.commandLines().size(), c.msiexecRuns) << c.script;
    }
}

TEST_F(KessaSetupWithFakeMsiexec, FailedInstall_RestoresRuntimeSettingsAndClearsMsiStatus) {
    CreateDirectoryA("C:\\ProgramData\\Quorvane", nullptr);
    CreateDirectoryA("C:\\ProgramData\\Quorvane\\Tolva", nullptr);
    const std::string before = "AUTO_UPDATE=Enable\r\nWEB_ANALYTICS=Disable\r\n";
    testutil::writeFileBytes(kRuntimeSettings, before);
    tds_test::FakeMsiexec fake(
        "[run 1]\nregset HKLM\\SOFTWARE\\TolvaSoft|MSIStatusError|dword|1603\n"
        "regset HKLM\\SOFTWARE\\TolvaSoft|MSIStatusExtendedError|dword|5\nexit 1603\n");
    const LauncherRun run("/s AUTO_UPDATE=Disable");
    EXPECT_EQ(run.exitCode(), 1603) << run.log();
    EXPECT_EQ(testutil::readFileText(kRuntimeSettings), before);
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "MSIStatusError"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "MSIStatusExtendedError"));
}

// Failures before the package runs install nothing, so they never end with 0.
TEST_F(KessaSetupWithFakeMsiexec, FailedExportEndsWithConfigurationError) {
    // A file where the settings folder should be: the runtime file cannot be written.
    e2e::SettingsFolderBlocked blocked;
    ASSERT_TRUE(blocked.blocked());
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s AUTO_UPDATE=Disable");
    EXPECT_EQ(run.exitCode(), -80) << run.log();
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_NE(run.log().find("Error occurred while exporting configuration settings. Exiting installer."),
              std::string::npos);
    EXPECT_FALSE(testutil::fileExists(lockPath()));
}

TEST_F(KessaSetupWithFakeMsiexec, FailedInitialMsiStatusClearingEndsWithMinusOne) {
    const DWORD status = 1603;
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendorKey, "MSIStatusError", REG_DWORD, &status, 4, KEY_WOW64_64KEY);
    // Missing rights stand as a vendor key that may be read but not changed.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendorKey, 0, WRITE_DAC | KEY_WOW64_64KEY, &key), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x0002;;;WD)(A;;KA;;;WD)",
                                                                     SDDL_REVISION_1, &sd, nullptr));
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
    RegCloseKey(key);
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s");
    EXPECT_EQ(run.exitCode(), -1) << run.log();
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_NE(run.log().find("initial ClearMSIStatus() failed."), std::string::npos) << run.log();
    // Give the key its rights back so that it can be cleaned away.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendorKey, 0, WRITE_DAC | KEY_WOW64_64KEY, &key), ERROR_SUCCESS);
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KA;;;WD)", SDDL_REVISION_1, &sd, nullptr));
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    RegCloseKey(key);
}

TEST_F(KessaSetupWithFakeMsiexec, LockHeldByAnotherInstall) {
    ASSERT_EQ(SetInstallationFlag(), 1);
    {
        tds_test::FakeMsiexec fake("exit 0\n");
        const LauncherRun refused("/s");
        EXPECT_EQ(refused.exitCode(), -1) << refused.log();
        EXPECT_TRUE(fake.commandLines().empty());
        EXPECT_NE(refused.log().find("Another Tolva installation is in progress."), std::string::npos);
    }
    {
        // The runtime launcher that the kit launcher starts neither tests nor takes the lock.
        tds_test::FakeMsiexec fake("exit 0\n");
        const LauncherRun fromKit("LAUNCHEDFROMVINDEL=1 /s");
        EXPECT_EQ(fromKit.exitCode(), 0) << fromKit.log();
        EXPECT_EQ(fake.commandLines().size(), 2u);
    }
    CloseInstallationFlag();
}

TEST_F(KessaSetupWithFakeMsiexec, RunningInstallKeepsItsStatusFromASecondLauncher) {
    ASSERT_EQ(SetInstallationFlag(), 1);
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus", REG_SZ, "reinstall", 10, KEY_WOW64_64KEY);
    const LauncherRun refused("/s");
    EXPECT_EQ(refused.exitCode(), -1);
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
    CloseInstallationFlag();
}

TEST_F(KessaSetupWithFakeMsiexec, MissingInstallerOrPackage) {
    {
        tds_test::FakeMsiexec fake("exit 0\n");
        const LauncherRun run("/s", testutil::besideExe("kessa-setup-nopackage.exe"));
        EXPECT_EQ(run.exitCode(), 1) << run.log();
        EXPECT_TRUE(fake.commandLines().empty());
        EXPECT_FALSE(testutil::fileExists(lockPath()));
    }
    // No InstallerLocation value: the launcher cannot know which msiexec to trust.
    ASSERT_TRUE(e2e::deleteInstallerLocation());
    const LauncherRun run("/s");
    EXPECT_EQ(run.exitCode(), -3) << run.log();
}

TEST_F(KessaSetupWithFakeMsiexec, TenLaunchersAtOnce_ExactlyOneInstalls) {
    // The install takes a while, so every other launcher meets the lock.
    tds_test::FakeMsiexec fake("[contains kessa]\nsleep 4000\nexit 0\n");
    testutil::ScratchDir temp("ten");
    std::vector<std::unique_ptr<testutil::ChildProcess>> launchers;
    for (int i = 0; i < 10; ++i) {
        launchers.push_back(std::make_unique<testutil::ChildProcess>());
        ASSERT_TRUE(launchers.back()->start(testutil::quote(launcher()) + " /s",
                                            {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
    }
    int installed = 0, refused = 0;
    for (auto& l : launchers) {
        ASSERT_TRUE(l->wait(120000));
        const int code = static_cast<int>(l->exitCode());
        installed += code == 0;
        refused += code == -1;
    }
    EXPECT_EQ(installed, 1);
    EXPECT_EQ(refused, 9);
    size_t runtimeRuns = 0;
    for (const std::string& line : fake.commandLines())
        runtimeRuns += line.find("\\kessa" + std::string(kRuntimeVersion) + ".msi") != std::string::npos;
    EXPECT_EQ(runtimeRuns, 1u);
}

// The one real install: Wine's own msiexec installs the carried runtime and
// updater; both are removed again afterwards.
TEST(KessaSetupRealInstall, SilentInstallThroughWindowsInstaller) {
    cleanMachine();
    const LauncherRun run("/s");
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(run.exitCode(), 0) << run.log();
    char programFiles[MAX_PATH];
    ExpandEnvironmentStringsA("%ProgramW6432%", programFiles, MAX_PATH);
    const std::string home = std::string(programFiles) + "\\" + TDS_SAMPLE_RUNTIME_HOME_SUBDIR + "\\";
    EXPECT_TRUE(testutil::fileExists(home + TDS_SAMPLE_RUNTIME_EXE_SUBPATH)) << home;
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_RUNTIME_KEY, "TolvaHome"));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUVersion", KEY_WOW64_32KEY));
    char commonX86[MAX_PATH];
    ExpandEnvironmentStringsA("%CommonProgramFiles(x86)%", commonX86, MAX_PATH);
    const std::string tauregLog =
        std::string(commonX86) + "\\Tolva\\Tolva Update\\" + TDS_SAMPLE_AU_TAUREG_LOG_NAME;
    EXPECT_NE(testutil::readFileText(tauregLog).find(std::string("-r kessa ") + kFullVersion), std::string::npos)
        << tauregLog;
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, std::string(kVendorKey) + "\\SilentInstall"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kPolicyKey, "VisitorId"));

    for (const char* code : {TDS_SAMPLE_RUNTIME_PRODUCT_CODE, TDS_SAMPLE_AU_PRODUCT_CODE}) {
        const testutil::ProcessResult removed =
            testutil::runProcess(std::string("msiexec.exe /x ") + code + " /qn", 180000);
        EXPECT_EQ(removed.exitCode, 0u) << code;
    }
    DeleteFileA(tauregLog.c_str());
    cleanMachine();
}

}  // namespace
