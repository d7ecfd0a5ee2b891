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

#include "common/child_process.h"
#include "common/dialog_closer.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_servers.h"
#include "common/test_util.h"
#include "common/text_conversion.h"
#include "common/window_finder.h"
#include "common/window_paint.h"
#include "foundation/locale.h"
#include "foundation/shell_utils.h"
#include "launcher/installation_lock.h"
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

using testutil::DialogCloser;

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
    std::string msiexec() const { return testutil::toUtf8(tds_test::FakeMsiexec::exePath()); }

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

// A runtime of this version and build installed before: the reinstall check
// removes it once, quietly, before the package installs. A second check
// would remove it again (the double leaves its registration behind, as a
// removal that Windows has not finished does).
TEST_F(KessaSetupWithFakeMsiexec, SilentInstall_SameVersionRuntimeIsRemovedOnceBeforeTheInstall) {
    const std::string runtimeKey = std::string("SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\") + kRuntimeVersion;
    const std::string code = TDS_SAMPLE_RUNTIME_PRODUCT_CODE;
    const std::string registration = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code;
    const std::string build = TDS_SAMPLE_RUNTIME_BUILD_TEXT;
    testutil::setRawValue(HKEY_LOCAL_MACHINE, runtimeKey, "BuildNumber", REG_SZ, build.c_str(),
                          static_cast<DWORD>(build.size() + 1), KEY_WOW64_64KEY);
    testutil::ScopedRegTree uninstall(HKEY_LOCAL_MACHINE, registration, KEY_WOW64_64KEY);
    testutil::setRawValue(HKEY_LOCAL_MACHINE, registration, "DisplayName", REG_SZ, "Tolva Runtime", 14,
                          KEY_WOW64_64KEY);
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s");
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(run.exitCode(), 0) << run.log();
    const auto lines = fake.commandLines();
    ASSERT_GE(lines.size(), 2u) << run.log();
    EXPECT_EQ(lines[0], "\"" + msiexec() + "\" /x " + code + " /qn");
    EXPECT_EQ(lines[1].rfind("\"" + msiexec() + "\" /i \"", 0), 0u) << lines[1];
    size_t removals = 0;
    for (const std::string& line : lines)
        removals += line.find(" /x ") != std::string::npos ? 1 : 0;
    EXPECT_EQ(removals, 1u) << run.log();
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

// The text of window (a top-level window or a control of another process)
// as UTF-8: WM_GETTEXT, which the system carries across processes.
std::string windowTextOf(HWND window) {
    wchar_t text[2048] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &ignored);
    return testutil::toUtf8(text);
}

// The first visible dialog box of process pid, waited for up to a minute.
HWND waitForDialogOf(DWORD pid) { return testutil::waitForWindow(testutil::dialogsOf(pid), 60000); }

// /lang picks the language of the pages, the message boxes and the package's
// transform, whatever the user's own UI language.
TEST_F(KessaSetupWithFakeMsiexec, LangSwitch_PagesBoxesAndTransformFollowIt) {
    const struct {
        const char* lang;
        const char* welcomeCaption;
        const char* welcomeTitle;
        const char* note;
        const char* errorCaption;
        const char* errorText;
    } cases[] = {
        {"1031", "Tolva-Setup - Willkommen", "Willkommen bei Tolva",
         "Hinweis: Bei der Installation werden keine persönlichen Daten erfasst.",
         "Tolva-Installation nicht abgeschlossen",
         "Tolva kann nicht installiert werden.\n\nDie Datei <path_to_config_file> kann nicht geöffnet werden."},
        {"1041", "Tolva セットアップ - ようこそ", "Tolva へようこそ",
         "注: インストール処理で個人情報が収集されることはありません。", "Tolva のインストールが完了しませんでした",
         "Tolva をインストールできません。\n\nファイル <path_to_config_file> を開けません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        const std::string lang = std::string(" /lang=") + c.lang;
        tds_test::FakeMsiexec fake("exit 0\n");
        {
            testutil::ScratchDir temp("lang");
            testutil::ChildProcess run;
            ASSERT_TRUE(run.start(testutil::quote(launcher()) + lang + " TEST_WELCOME_DIALOG=1",
                                  {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
            HWND page = waitForDialogOf(run.pid());
            ASSERT_NE(page, nullptr) << "no welcome page";
            EXPECT_EQ(windowTextOf(page), c.welcomeCaption);
            EXPECT_EQ(windowTextOf(GetDlgItem(page, 1016)), c.welcomeTitle);
            EXPECT_EQ(windowTextOf(GetDlgItem(page, 1019)), c.note);
            PostMessageA(page, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(run.wait(60000));
            EXPECT_EQ(static_cast<int>(run.exitCode()), 0);
        }
        {
            testutil::ScratchDir temp("lang");
            testutil::ChildProcess run;
            ASSERT_TRUE(run.start(testutil::quote(launcher()) + lang + " TEST_CONFIG_FILE_ERRORS=304",
                                  {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
            HWND box = waitForDialogOf(run.pid());
            ASSERT_NE(box, nullptr) << "no message box";
            EXPECT_EQ(windowTextOf(box), c.errorCaption);
            // The box's text control; Wine and Windows give it the id 0xFFFF.
            const std::string text = windowTextOf(GetDlgItem(box, 0xFFFF));
            EXPECT_EQ(text.rfind(c.errorText, 0), 0u) << text;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(run.wait(60000));
            EXPECT_EQ(static_cast<int>(run.exitCode()), 0);
        }
        {
            const LauncherRun run("/s" + lang);
            EXPECT_EQ(run.exitCode(), 0) << run.log();
            const auto lines = fake.commandLines();
            ASSERT_FALSE(lines.empty()) << run.log();
            EXPECT_NE((lines[0] + " ").find(std::string(" TRANSFORMS=:") + c.lang + " "), std::string::npos)
                << lines[0];
        }
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

// A file where the package folder belongs: the package cannot be written.
class PackageFolderBlocked {
public:
    PackageFolderBlocked() {
        char base[MAX_PATH] = {};
        if (!GetAppDataLowDir(base))
            return;
        folder_ = std::string(base) + "\\Brask\\Tolva\\kessa" + kRuntimeVersion + "_x64";
        CreateDirectoryA((std::string(base) + "\\Brask").c_str(), nullptr);
        CreateDirectoryA((std::string(base) + "\\Brask\\Tolva").c_str(), nullptr);
        DeleteFileA((folder_ + "\\kessa" + kRuntimeVersion + ".msi").c_str());
        RemoveDirectoryA(folder_.c_str());
        testutil::writeFileBytes(folder_, "not a folder");
    }
    ~PackageFolderBlocked() {
        if (!folder_.empty())
            DeleteFileA(folder_.c_str());
    }
    PackageFolderBlocked(const PackageFolderBlocked&) = delete;
    PackageFolderBlocked& operator=(const PackageFolderBlocked&) = delete;
    bool blocked() const {
        const DWORD attributes = folder_.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(folder_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

private:
    std::string folder_;
};

// A silent deployment has nobody to answer a box: a package that cannot be
// written ends the run with the Windows error, logged, and no window at all.
TEST_F(KessaSetupWithFakeMsiexec, SilentRun_UnwritablePackageEndsWithWindowsErrorAndNoBox) {
    PackageFolderBlocked blocked;
    ASSERT_TRUE(blocked.blocked());
    tds_test::FakeMsiexec fake("exit 0\n");
    testutil::ScratchDir temp("blocked");
    testutil::ChildProcess launcherProcess;
    ASSERT_TRUE(launcherProcess.start(testutil::quote(launcher()) + " /s", {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
    {
        DialogCloser closer(launcherProcess.pid(), IDOK);
        ASSERT_TRUE(launcherProcess.wait(120000));
        EXPECT_EQ(closer.closed(), 0) << closer.titles();
    }
    const std::string log = testutil::readFileText(temp.file("tusched.log"));
    EXPECT_EQ(static_cast<int>(launcherProcess.exitCode()), ERROR_PATH_NOT_FOUND) << log;
    EXPECT_NE(log.find("ERROR"), std::string::npos) << log;
    EXPECT_NE(log.find("Installer : Wrapper.CreateFile  failed with error 3: "), std::string::npos) << log;
    EXPECT_TRUE(fake.commandLines().empty());
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

// This very build installed in static mode, and an interactive run without
// STATIC: the refusal box, and after OK the run ends as refused, since
// nothing was installed.
TEST_F(KessaSetupWithFakeMsiexec, InteractiveRefusedReinstall_EndsWithMinusOne) {
    const std::string versionKey = std::string(kVendorKey) + "\\Tolva Runtime Environment\\" + kRuntimeVersion;
    const std::string build = TDS_SAMPLE_RUNTIME_BUILD_TEXT;
    testutil::setRawValue(HKEY_LOCAL_MACHINE, versionKey, "BuildNumber", REG_SZ, build.c_str(),
                          static_cast<DWORD>(build.size() + 1), KEY_WOW64_64KEY);
    testutil::setRawValue(HKEY_LOCAL_MACHINE, versionKey + "\\MSI", "MODE", REG_SZ, "S", 2, KEY_WOW64_64KEY);
    tds_test::FakeMsiexec fake("exit 0\n");
    testutil::ScratchDir temp("refused");
    testutil::ChildProcess launcherProcess;
    ASSERT_TRUE(launcherProcess.start(testutil::quote(launcher()), {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
    std::string boxes;
    {
        DialogCloser closer(launcherProcess.pid(), IDOK);
        ASSERT_TRUE(launcherProcess.wait(120000)) << closer.titles();
        boxes = closer.titles();
    }
    const std::string log = testutil::readFileText(temp.file("tusched.log"));
    EXPECT_EQ(boxes, "Unable to Reinstall|") << log;
    EXPECT_EQ(static_cast<int>(launcherProcess.exitCode()), -1) << log;
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_FALSE(testutil::fileExists(lockPath()));
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

// The welcome image: the download host (the local HTTPS server) serves the
// image named by the options document; the progress window shows it only
// when its digest is the one in the program's string 4008.
// A window as the screen showed it.
struct Capture {
    std::vector<COLORREF> pixels;  // row by row, top first
    int width = 0;
    RECT picture = {};             // the picture control, in window coordinates
};

class KessaSetupWelcomeImage : public KessaSetupWithFakeMsiexec {
protected:
    void SetUp() override {
        KessaSetupWithFakeMsiexec::SetUp();
        ASSERT_TRUE(servers().ready()) << "test servers not running";
        char userData[MAX_PATH] = {};
        ASSERT_TRUE(GetAppDataLowDir(userData));
        const std::string folder = std::string(userData) + "\\Brask\\Tolva\\kessa" + kRuntimeVersion;
        CreateDirectoryA((std::string(userData) + "\\Brask").c_str(), nullptr);
        CreateDirectoryA((std::string(userData) + "\\Brask\\Tolva").c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        localImage_ = folder + "\\Tolva3BillDevices.jpg";
        DeleteFileA(localImage_.c_str());
        tag_ = testutil::uniqueTag();
    }
    void TearDown() override {
        DeleteFileA(localImage_.c_str());
        KessaSetupWithFakeMsiexec::TearDown();
    }
    static const testutil::TestServers& servers() { return testutil::TestServers::get(); }

    // Serves an options document that names the image folder of this test,
    // and the image bytes under the name the launcher asks for.
    void serve(const std::string& imageBytes) {
        // The server serves every /files/ address by its last name alone;
        // the folder part tags this test's requests.
        const std::string base = "/files/" + tag_ + "-image";
        testutil::writeFileBytes(servers().filesDir() + "\\Tolva3BillDevices_" +
                                     Locale::getPreferred().getLangCode() + ".jpg",
                                 imageBytes);
        const std::string document =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tolva-update>\n"
            "  <information version=\"1.0\" xml:lang=\"en\">\n"
            "    <post-status>0</post-status>\n"
            "    <msi-url>" + servers().httpsUrl(base) + "</msi-url>\n"
            "  </information>\n</tolva-update>\n";
        testutil::writeFileBytes(servers().filesDir() + "\\options_" + tag_ + ".xml", document);
        setInstallerXmlUrl(servers().httpsUrl("/files/options_" + tag_ + ".xml"));
    }
    static void setInstallerXmlUrl(const std::string& url) {
        testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendorKey, "InstallerXmlURL", REG_SZ, url.c_str(),
                              static_cast<DWORD>(url.size() + 1), KEY_WOW64_64KEY);
    }

    // Runs an interactive install whose package holds the progress window up
    // until the window has been captured; answers the capture of the window
    // (no pixels when it never showed) and saves it as a BMP beside the test
    // program under name.
    Capture installAndCapture(const std::string& name);

    std::string localImage_;
    std::string tag_;
};

// A host path as a program under Wine sees it (drive Z: is the host's root).
std::string hostPath(const std::string& path) {
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

// The visible progress window of process pid, or null.
HWND findProgressWindow(DWORD pid) { return testutil::findWindow(testutil::dialogsOf(pid, "Tolva Setup - Progress")); }

void saveBmp(const std::string& path, const std::vector<COLORREF>& pixels, int width, int height) {
    const int stride = width * 3 + (4 - width * 3 % 4) % 4;
    std::string bytes(54 + static_cast<size_t>(stride) * height, '\0');
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfSize = static_cast<DWORD>(bytes.size());
    file.bfOffBits = 54;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    memcpy(&bytes[0], &file, sizeof file);
    memcpy(&bytes[14], &info, sizeof info);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y) * width + x];
            char* p = &bytes[54 + static_cast<size_t>(y) * stride + x * 3];
            p[0] = static_cast<char>(GetBValue(c));
            p[1] = static_cast<char>(GetGValue(c));
            p[2] = static_cast<char>(GetRValue(c));
        }
    testutil::writeFileBytes(path, bytes);
}

Capture KessaSetupWelcomeImage::installAndCapture(const std::string& name) {
    tds_test::FakeMsiexec fake(
        "[contains kessa]\nsetevent KessaSetupMsiStarted\nrecord 1 1\nwaitevent TdsWelcomeImageSeen|30000\n"
        "record 1 2\nrecord 7 3\nsleep 200\nexit 0\n");
    HANDLE seen = CreateEventA(nullptr, TRUE, FALSE, "TdsWelcomeImageSeen");
    testutil::ScratchDir temp("welcome");
    testutil::ChildProcess launcherProcess;
    Capture capture;
    if (!launcherProcess.start(testutil::quote(launcher()), {{"TMP", temp.path()}, {"TEMP", temp.path()}})) {
        ADD_FAILURE() << "launcher did not start: CreateProcess failed with " << launcherProcess.startError();
        CloseHandle(seen);
        return capture;
    }
    {
        DialogCloser closer(launcherProcess.pid(), IDCANCEL, "Welcome");
        HWND window = nullptr;
        const bool shown = testutil::waitFor(
            [&] { return (window = findProgressWindow(launcherProcess.pid())) != nullptr; }, 60000);
        EXPECT_TRUE(shown) << "the progress window did not show";
        if (shown) {
            // The whole window as the screen shows it, read back from the
            // screen itself; area is the picture's place in it. Windows of
            // tests running beside this one may lie over it: it is raised
            // until the picture is what the screen shows there.
            HWND picture = GetDlgItem(window, 4004);
            RECT pictureOnScreen = {};
            GetWindowRect(picture, &pictureOnScreen);
            const POINT probe = {pictureOnScreen.left + 360, pictureOnScreen.top + 62};
            EXPECT_TRUE(testutil::waitFor([&] {
                SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                DWORD owner = 0;
                GetWindowThreadProcessId(WindowFromPoint(probe), &owner);
                return owner == launcherProcess.pid();
            }, 20000)) << "the progress window did not come on top of the other windows";
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            // Drawn: nothing is left to paint, and the image is on the
            // screen. The image control's brush is hollow, so until the
            // image is drawn the screen shows Wine's black there.
            EXPECT_TRUE(testutil::waitFor([&] {
                if (!testutil::nothingLeftToPaint(window))
                    return false;
                HDC screen = GetDC(nullptr);
                const COLORREF colour = GetPixel(screen, probe.x, probe.y);
                ReleaseDC(nullptr, screen);
                return colour != RGB(0, 0, 0) && colour != CLR_INVALID;
            }, 20000)) << "the progress window did not draw its picture";
            RECT frame = {};
            GetWindowRect(window, &frame);
            GetWindowRect(GetDlgItem(window, 4004), &capture.picture);
            OffsetRect(&capture.picture, -frame.left, -frame.top);
            capture.width = frame.right - frame.left;
            const int width = frame.right - frame.left, height = frame.bottom - frame.top;
            HDC screen = GetDC(nullptr);
            HDC memory = CreateCompatibleDC(screen);
            HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
            HGDIOBJ old = SelectObject(memory, bitmap);
            BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
            capture.pixels.reserve(static_cast<size_t>(width) * height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    capture.pixels.push_back(GetPixel(memory, x, y));
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            ReleaseDC(nullptr, screen);
            saveBmp(testutil::besideExe(name + ".bmp"), capture.pixels, width, height);
            SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        SetEvent(seen);
        EXPECT_TRUE(launcherProcess.wait(120000)) << closer.titles();
    }
    CloseHandle(seen);
    EXPECT_EQ(static_cast<int>(launcherProcess.exitCode()), 0) << testutil::readFileText(temp.file("tusched.log"));
    return capture;
}

// The welcome image's warm yellow, near its top right corner, where the
// built-in picture is pale.
bool showsTheWarmYellow(const Capture& capture) {
    const int x = capture.picture.left + 360, y = capture.picture.top + 62;
    const size_t at = static_cast<size_t>(y) * capture.width + x;
    if (x >= capture.picture.right || y >= capture.picture.bottom || x >= capture.width || at >= capture.pixels.size())
        return false;
    const COLORREF c = capture.pixels[at];
    return GetRValue(c) > 215 && GetGValue(c) > 170 && GetGValue(c) < 230 && GetBValue(c) < 160;
}

std::string welcomeImage() { return testutil::readFileText(hostPath(TDS_WELCOME_IMAGE_HOST_PATH)); }

TEST_F(KessaSetupWelcomeImage, ServedImage_ShownInTheProgressWindow) {
    serve(welcomeImage());
    const Capture capture = installAndCapture("welcome-image-shown");
    ASSERT_FALSE(capture.pixels.empty()) << "no progress window";
    EXPECT_TRUE(showsTheWarmYellow(capture));
    EXPECT_TRUE(testutil::readFileText(localImage_) == welcomeImage()) << "the image was not kept as served";
    EXPECT_EQ(servers().requestsWith(tag_ + "-image").size(), 1u);
}

// An image whose digest is not the program's own is deleted before the
// progress window could read it: downloaded and tampered with on the way,
// or planted in the user's folder while no options document came.
TEST_F(KessaSetupWelcomeImage, TamperedImage_DeletedAndNeverShown) {
    std::string tampered = welcomeImage();
    tampered[tampered.size() / 2] ^= 0x20;
    const struct { const char* name; bool served; } cases[] = {
        {"welcome-image-tampered-download", true},
        {"welcome-image-planted-offline", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.served) {
            serve(tampered);
        } else {
            setInstallerXmlUrl(servers().httpsUrl("/missing?tag=" + tag_));
            testutil::writeFileBytes(localImage_, tampered);
        }
        const Capture capture = installAndCapture(c.name);
        ASSERT_FALSE(capture.pixels.empty()) << "no progress window";
        EXPECT_FALSE(showsTheWarmYellow(capture));
        EXPECT_FALSE(testutil::fileExists(localImage_));
    }
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
