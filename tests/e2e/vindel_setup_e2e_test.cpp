// vindel-setup.exe from end to end. Each case is a declared state: after a
// launcher run with these arguments, this exit code, these msiexec runs,
// and these files and registry values exist or are gone. msiexec is the
// scriptable double (through InstallerLocation) except in the one real
// install, which uses Wine's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "common/text_conversion.h"
#include "kit/cab_extraction.h"
#include "kit/kit_version_text.h"
#include "launcher/installation_lock.h"
#include "launcher_run.h"
#include "launcher/product_version.h"
#include "sample_packages.h"
#include "support/fake_msiexec_control.h"

namespace {

const char kAutoUpdateKey[] = "SOFTWARE\\TolvaSoft\\Auto Update";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kKitKey = std::string("SOFTWARE\\TolvaSoft\\Tolva Development Kit\\") + kRuntimeVersion;
const std::string kRuntimeKey = std::string("SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\") + kRuntimeVersion;

std::string launcher() { return testutil::besideExe("vindel-setup.exe"); }

using e2e::keyExists;
using e2e::kRuntimeSettings;
using e2e::kVendorKey;
using e2e::lockPath;
using e2e::valueExists;

// A host path as a program under Wine sees it (drive Z: is the host's root).
std::string hostPath(const std::string& path) {
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

void setText(const std::string& key, const char* name, const std::string& text) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1),
                          KEY_WOW64_64KEY);
}

std::string packageFolder() { return GetKitPackageFolder(true); }
std::string packagePath() { return packageFolder() + "\\vindel" + kRuntimeVersion + ".msi"; }
std::string cabinetPath(const char* prefix) {
    return packageFolder() + "\\" + GetCabinetFileName(prefix, kRuntimeVersion);
}

// The package folder as a fresh machine has it: nothing written yet.
void clearPackageFolder() {
    DeleteFileA(packagePath().c_str());
    for (const KitCabinet& cab : kKitCabinets)
        DeleteFileA(cabinetPath(cab.prefix).c_str());
}

class LauncherRun : public e2e::LauncherRun {
public:
    explicit LauncherRun(const std::string& arguments, const std::string& program = launcher())
        : e2e::LauncherRun(program, arguments) {}
};

// The machine as a test leaves it: no vendor state (kit and runtime keys
// included), no runtime settings file, no package written.
void cleanMachine() {
    e2e::clearVendorState();
    clearPackageFolder();
}

class VindelSetupWithFakeMsiexec : public ::testing::Test {
protected:
    void SetUp() override { cleanMachine(); }
    void TearDown() override { cleanMachine(); }
    std::string msiexec() const { return testutil::toUtf8(tds_test::FakeMsiexec::exePath()); }

    tds_test::InstallerLocationOverride location_{tds_test::FakeMsiexec::folder()};
};

// A kit home as the package leaves it: the runtime installer in a folder of
// its own, and a script line for the double that writes the kit's TolvaHome
// (with the trailing backslash the package writes) during the install.
class FakeKitHome {
public:
    FakeKitHome() {
        EXPECT_TRUE(CopyFileA(hostPath(TDS_KIT_RUNTIME_INSTALLER_HOST_PATH).c_str(), installer().c_str(), FALSE))
            << installer();
    }
    std::string installer() const { return folder_.file("kessa.exe"); }
    std::vector<std::string> runs() const {
        return testutil::readFileLines(folder_.file("kessa.log"));
    }
    std::string scriptLine() const {
        return "regset HKLM64\\" + kKitKey + "|TolvaHome|sz|" + folder_.path() + "\\\n";
    }

private:
    testutil::ScratchDir folder_{"kithome"};
};

TEST_F(VindelSetupWithFakeMsiexec, SilentInstall_WritesPackageAndCabinetsAndRunsTheKitOnce) {
    // The double waits for the cabinets as the package does.
    tds_test::FakeMsiexec fake(std::string("waitevent ") + kCabExtractEventName + "|20000\nexit 0\n");
    const LauncherRun run("/s");
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(run.exitCode(), 0) << run.log();
    const auto lines = fake.commandLines();
    ASSERT_EQ(lines.size(), 1u) << run.log();
    EXPECT_EQ(lines[0], "\"" + msiexec() + "\" /i \"" + packagePath() +
                            "\"  /qn ADDLOCAL=PublickessaFeature,ToolsFeature WRAPPER=1");
    EXPECT_EQ(testutil::readFileBytes(packagePath()), testutil::readFileBytes(hostPath(TDS_SAMPLE_KIT_MSI_HOST_PATH)));
    const struct { const char* prefix; const char* built; } cabs[] = {
        {"ss", TDS_SAMPLE_KIT_CAB_SS_HOST_PATH},
        {"st", TDS_SAMPLE_KIT_CAB_ST_HOST_PATH},
        {"sj", TDS_SAMPLE_KIT_CAB_SJ_HOST_PATH},
        {"sz", TDS_SAMPLE_KIT_CAB_SZ_HOST_PATH},
    };
    for (const auto& cab : cabs) {
        const std::vector<uint8_t> written = testutil::readFileBytes(cabinetPath(cab.prefix));
        ASSERT_GE(written.size(), 4u) << cabinetPath(cab.prefix);
        EXPECT_EQ(std::string(written.begin(), written.begin() + 4), "MSCF");
        EXPECT_EQ(written, testutil::readFileBytes(hostPath(cab.built))) << cab.prefix;
    }
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    EXPECT_NE(run.log().find("szVINDELExeCommand = "), std::string::npos);
}

TEST_F(VindelSetupWithFakeMsiexec, Options_ReachTheKitAndTheRuntimeInstaller) {
    struct Case {
        const char* arguments;
        const char* inKitLine;     // expected in the msiexec line
        const char* notInKitLine;  // must not be there (null: no check)
        const char* runtimeRun;    // the runtime installer's arguments, null: not run
    };
    const Case cases[] = {
        {"/s", " /qn ADDLOCAL=PublickessaFeature,ToolsFeature WRAPPER=1", nullptr, "/s LAUNCHEDFROMVINDEL=1"},
        // The kit's own feature choice is kept, and decides about the runtime.
        {"/s ADDLOCAL=ToolsFeature", " ADDLOCAL=ToolsFeature  /qn WRAPPER=1", "PublickessaFeature", nullptr},
        {"/s ADDLOCAL=ALL", " ADDLOCAL=ALL  /qn WRAPPER=1", "PublickessaFeature", "/s LAUNCHEDFROMVINDEL=1"},
        {"/s ADDLOCAL=PublickessaFeature", " ADDLOCAL=PublickessaFeature  /qn WRAPPER=1", "ToolsFeature",
         "/s LAUNCHEDFROMVINDEL=1"},
        {"/s NOSTARTMENU=1 REBOOT=ReallySuppress /INSTALLDIRPUBKESSA=C:\\Pub",
         " REBOOT=ReallySuppress  /qn ADDLOCAL=PublickessaFeature,ToolsFeature WRAPPER=1 NOSTARTMENU=1", nullptr,
         "/s LAUNCHEDFROMVINDEL=1 NOSTARTMENU=1 INSTALLDIR=\"C:\\Pub\"  REBOOT=ReallySuppress"},
        // Any other REBOOT value reaches only the kit package.
        {"/s REBOOT=Force", " REBOOT=Force  /qn ADDLOCAL=", nullptr, "/s LAUNCHEDFROMVINDEL=1"},
        {"/s /qn", " /qn  ADDLOCAL=PublickessaFeature,ToolsFeature WRAPPER=1", "/qn /qn", "/s LAUNCHEDFROMVINDEL=1"},
        {"/s /lang=1041 INSTALLDIR=C:\\Kit\\Here", " TRANSFORMS=:1041  /qn ADDLOCAL=PublickessaFeature,ToolsFeature "
                                                   "WRAPPER=1 INSTALLDIR=\"C:\\Kit\\Here\"",
         nullptr, "/s LAUNCHEDFROMVINDEL=1"},
        // An interactive run never starts the runtime installer.
        {"", ".msi\"  WRAPPER=1", "/qn", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        cleanMachine();
        FakeKitHome home;
        tds_test::FakeMsiexec fake(home.scriptLine() + "exit 0\n");
        const LauncherRun run(c.arguments);
        ASSERT_TRUE(run.finished());
        EXPECT_EQ(run.exitCode(), 0) << run.log();
        const auto lines = fake.commandLines();
        ASSERT_EQ(lines.size(), 1u) << run.log();
        EXPECT_NE(lines[0].find(c.inKitLine), std::string::npos) << lines[0];
        if (c.notInKitLine) {
            EXPECT_EQ(lines[0].find(c.notInKitLine), std::string::npos) << lines[0];
        }
        const auto runs = home.runs();
        if (c.runtimeRun) {
            ASSERT_EQ(runs.size(), 1u) << run.log();
            EXPECT_EQ(runs[0], c.runtimeRun);
            // The runtime installer goes once it has run.
            EXPECT_FALSE(testutil::fileExists(home.installer()));
        } else {
            EXPECT_TRUE(runs.empty()) << runs[0];
        }
    }
}

TEST_F(VindelSetupWithFakeMsiexec, ExitCodes) {
    // The runtime key as a runtime installer would leave it: the updater
    // follows a successful kit install only when the runtime is there.
    const std::string runtime = "regset HKLM64\\" + kRuntimeKey + "|TolvaHome|sz|C:\\rt\\\n";
    struct Case { const char* arguments; std::string script; int exitCode; size_t msiexecRuns; };
    const Case cases[] = {
        {"/s foo=1", "exit 0\n", -80, 0},
        {"/s", "[run 1]\n" + runtime + "exit 1603\n", 1603, 1},
        {"/s", "[run 1]\n" + runtime + "exit 0\n", 0, 2},
        // A restart that the installer asks for is success: the updater follows.
        {"/s", "[run 1]\n" + runtime + "exit 3010\n", 3010, 2},
        {"/s", "[run 1]\n" + runtime + "exit 1641\n", 1641, 2},
        // The package asks for the single rerun; its code is the answer.
        {"/s", "[run 1]\nregset HKLM\\SOFTWARE\\TolvaSoft|InstallStatus|sz|reinstall\nexit 0\n[run 2]\nexit 1618\n",
         1618, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        cleanMachine();
        tds_test::FakeMsiexec fake(c.script);
        const LauncherRun run(c.arguments);
        ASSERT_TRUE(run.finished());
        EXPECT_EQ(run.exitCode(), c.exitCode) << c.arguments << run.log();
        const auto lines = fake.commandLines();
        EXPECT_EQ(lines.size(), c.msiexecRuns);
        if (c.exitCode == 1618 && lines.size() == 2) {
            EXPECT_EQ(lines[0], lines[1]);
            EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
        }
        if (c.msiexecRuns == 2 && c.exitCode != 1618) {
            EXPECT_NE(lines[1].find("\\Quorvane\\Tolva\\AU\\au.msi\" ALLUSERS=1 /qn"), std::string::npos) << lines[1];
        }
    }
}

TEST_F(VindelSetupWithFakeMsiexec, StaleRerunRequest_DoesNotRunTheKitTwice) {
    setText(kVendorKey, "InstallStatus", "reinstall");
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s");
    EXPECT_EQ(run.exitCode(), 0) << run.log();
    EXPECT_EQ(fake.commandLines().size(), 1u);
}

TEST_F(VindelSetupWithFakeMsiexec, FailedInstall_RestoresRuntimeSettings) {
    CreateDirectoryA("C:\\ProgramData\\Quorvane", nullptr);
    CreateDirectoryA("C:\\ProgramData\\Quorvane\\Tolva", nullptr);
    const std::string before = "AUTO_UPDATE=Enable\r\nWEB_ANALYTICS=Disable\r\n";
    testutil::writeFileBytes(kRuntimeSettings, before);
    tds_test::FakeMsiexec fake("exit 1603\n");
    const LauncherRun run("/s AUTO_UPDATE=Disable");
    EXPECT_EQ(run.exitCode(), 1603) << run.log();
    EXPECT_EQ(testutil::readFileText(kRuntimeSettings), before);
    EXPECT_NE(run.log().find("VINDEL installation failed.  Return Code: 1603"), std::string::npos);
}

TEST_F(VindelSetupWithFakeMsiexec, LockHeldByAnotherInstall) {
    ASSERT_EQ(SetInstallationFlag(), 1);
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun refused("/s");
    CloseInstallationFlag();
    EXPECT_EQ(refused.exitCode(), -1) << refused.log();
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_NE(refused.log().find("VINDEL wrapper: Another Tolva installation is in progress."), std::string::npos);
    EXPECT_FALSE(testutil::fileExists(packagePath()));
}

// The kit of this version installed before: by its build number it is
// removed first, or stops the launcher before anything is written. A kit key
// whose product is gone (a broken uninstall left it) holds nothing to remove.
TEST_F(VindelSetupWithFakeMsiexec, SameVersionKit) {
    const std::string code = GetVindelProductCode(kRuntimeVersion, false);
    const std::string registration = std::string(kUninstallKey) + "\\" + code;
    const std::string removal = "\"" + msiexec() + "\" /x " + code + " /qn";
    struct Case { const char* build; bool registered; const char* script; int exitCode; size_t msiexecRuns; };
    const Case cases[] = {
        {"99999", true, "exit 0\n", -1, 0},                         // a newer build
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, false, "exit 0\n", 0, 1},   // a stale key: installed at once
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, true, "exit 0\n", 0, 2},    // removed, then installed
        {"1", true, "exit 0\n", 0, 2},                              // an older build
        // A removal that asks for a restart has removed the kit all the same.
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, true, "[run 1]\nexit 3010\n[run 2]\nexit 0\n", 0, 2},
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, true, "[run 1]\nexit 1641\n[run 2]\nexit 0\n", 0, 2},
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, true, "[run 1]\nexit 1603\n", -1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.build) + (c.registered ? " registered " : " stale ") + c.script);
        cleanMachine();
        setText(kKitKey, "BuildNumber", c.build);
        testutil::ScopedRegTree uninstall(HKEY_LOCAL_MACHINE, registration, KEY_WOW64_64KEY);
        if (c.registered)
            setText(registration, "DisplayName", "Tolva Development Kit");
        tds_test::FakeMsiexec fake(c.script);
        const LauncherRun run("/s");
        EXPECT_EQ(run.exitCode(), c.exitCode) << run.log();
        const auto lines = fake.commandLines();
        ASSERT_EQ(lines.size(), c.msiexecRuns) << run.log();
        if (c.exitCode == 0) {
            EXPECT_EQ(lines.front() == removal, c.registered) << lines.front();
            EXPECT_NE(lines.back().find(" /i "), std::string::npos) << lines.back();
        } else {
            EXPECT_FALSE(testutil::fileExists(packagePath()));
        }
        if (!c.registered) {
            EXPECT_NE(run.log().find("VINDEL GUID not found " + code + ": 2"), std::string::npos) << run.log();
            EXPECT_EQ(run.log().find("UninstallExistingVindel ("), std::string::npos) << run.log();
        }
    }
}

// A runtime of this version: removed when its build is not newer, kept when
// it was installed in static mode or is newer.
TEST_F(VindelSetupWithFakeMsiexec, SameVersionRuntime) {
    const std::string code = TDS_SAMPLE_RUNTIME_PRODUCT_CODE;
    const std::string registration = std::string(kUninstallKey) + "\\" + code;
    struct Case { const char* build; const char* mode; const char* script; int exitCode; bool removed; };
    const Case cases[] = {
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, "N", "exit 0\n", 0, true},
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, "S", "exit 0\n", 0, false},
        {"99999", "N", "exit 0\n", 0, false},
        // The removal fails: nothing is installed.
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, "N", "[run 1]\nexit 1603\n", -1, true},
        // The removal asks for a restart: it removed the runtime, the kit follows.
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, "N", "[run 1]\nexit 3010\n[run 2]\nexit 0\n", 0, true},
        {TDS_SAMPLE_RUNTIME_BUILD_TEXT, "N", "[run 1]\nexit 1641\n[run 2]\nexit 0\n", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.build) + c.mode + c.script);
        cleanMachine();
        setText(kRuntimeKey, "BuildNumber", c.build);
        setText(kRuntimeKey + "\\MSI", "MODE", c.mode);
        testutil::ScopedRegTree uninstall(HKEY_LOCAL_MACHINE, registration, KEY_WOW64_64KEY);
        setText(registration, "DisplayName", "Tolva Runtime");
        tds_test::FakeMsiexec fake(c.script);
        const LauncherRun run("/s");
        EXPECT_EQ(run.exitCode(), c.exitCode) << run.log();
        const auto lines = fake.commandLines();
        ASSERT_FALSE(lines.empty()) << run.log();
        EXPECT_EQ(lines[0] == "\"" + msiexec() + "\" /x " + code + " /qn", c.removed) << lines[0];
        if (c.exitCode == -1) {
            EXPECT_EQ(lines.size(), 1u);
        }
    }
}

TEST_F(VindelSetupWithFakeMsiexec, MissingInstallerOrPackage) {
    {
        tds_test::FakeMsiexec fake("exit 0\n");
        const LauncherRun run("/s", testutil::besideExe("vindel-setup-nopackage.exe"));
        EXPECT_EQ(run.exitCode(), 1) << run.log();
        EXPECT_TRUE(fake.commandLines().empty());
        EXPECT_FALSE(testutil::fileExists(lockPath()));
    }
    // No InstallerLocation value: the launcher cannot know which msiexec to trust.
    ASSERT_TRUE(e2e::deleteInstallerLocation());
    const LauncherRun run("/s");
    EXPECT_EQ(run.exitCode(), -3) << run.log();
}

// No kit package in the program: nothing is installed, so the runtime
// installer that an earlier kit left in its home is neither run nor deleted.
TEST_F(VindelSetupWithFakeMsiexec, MissingPackage_NeverRunsOrDeletesTheKitsRuntimeInstaller) {
    const FakeKitHome home;
    const std::string folder = home.installer().substr(0, home.installer().rfind('\\') + 1);
    // A kit of this version whose product is gone: nothing to remove first.
    setText(kKitKey, "BuildNumber", TDS_SAMPLE_RUNTIME_BUILD_TEXT);
    setText(kKitKey, "TolvaHome", folder);
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s", testutil::besideExe("vindel-setup-nopackage.exe"));
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(run.exitCode(), 1) << run.log();
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_TRUE(testutil::fileExists(home.installer()));
    EXPECT_TRUE(home.runs().empty());
}

TEST_F(VindelSetupWithFakeMsiexec, FailedExport_IsNoSuccess) {
    // A file where the runtime settings folder belongs: the settings cannot
    // be written, so the persistent AUTO_UPDATE cannot be exported.
    e2e::SettingsFolderBlocked blocked;
    ASSERT_TRUE(blocked.blocked()) << "the runtime settings folder could not be replaced by a file: "
                                      "it holds files another test left behind, or is in use";
    tds_test::FakeMsiexec fake("exit 0\n");
    const LauncherRun run("/s AUTO_UPDATE=Disable");
    EXPECT_EQ(run.exitCode(), -80) << run.log();
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_NE(run.log().find("Error occurred while exporting configuration settings."), std::string::npos);
}

// The one real install: Wine's own msiexec installs the carried kit, whose
// cabinet check needs the four cabinets, then the updater. A runtime of the
// same version installed in static mode stays and lets the updater follow.
// Everything is removed again afterwards.
TEST(VindelSetupRealInstall, SilentInstallThroughWindowsInstaller) {
    cleanMachine();
    const testutil::ProcessResult runtime = testutil::runProcess(
        std::string("msiexec.exe /i \"") + TDS_SAMPLE_RUNTIME_MSI_PATH + "\" STATIC=1 /qn", 180000);
    ASSERT_EQ(runtime.exitCode, 0u);

    const LauncherRun run("/s");
    ASSERT_TRUE(run.finished());
    EXPECT_EQ(run.exitCode(), 0) << run.log();

    char programFiles[MAX_PATH];
    ExpandEnvironmentStringsA("%ProgramW6432%", programFiles, MAX_PATH);
    const std::string home = std::string(programFiles) + "\\" + TDS_SAMPLE_KIT_HOME_SUBDIR + "\\";
    EXPECT_TRUE(testutil::fileExists(home + TDS_SAMPLE_KIT_TOOL_SUBPATH)) << home;
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_KIT_KEY, "TolvaHome"));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_KIT_KEY, "BuildNumber"));
    for (const KitCabinet& cab : kKitCabinets)
        EXPECT_TRUE(testutil::fileExists(cabinetPath(cab.prefix))) << cab.prefix;
    // The runtime installer ran silently and was removed.
    const std::string installerLog = home + TDS_SAMPLE_KIT_RUNTIME_INSTALLER_LOG_NAME;
    const auto runs = testutil::readFileLines(installerLog);
    ASSERT_EQ(runs.size(), 1u) << run.log();
    EXPECT_EQ(runs[0], "/s LAUNCHEDFROMVINDEL=1");
    EXPECT_FALSE(testutil::fileExists(home + TDS_SAMPLE_KIT_RUNTIME_INSTALLER_NAME));
    // The static runtime stayed; the updater was installed and registered it.
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_RUNTIME_KEY, "TolvaHome"));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUVersion", KEY_WOW64_32KEY));
    char commonX86[MAX_PATH];
    ExpandEnvironmentStringsA("%CommonProgramFiles(x86)%", commonX86, MAX_PATH);
    const std::string tauregLog =
        std::string(commonX86) + "\\Tolva\\Tolva Update\\" + TDS_SAMPLE_AU_TAUREG_LOG_NAME;
    EXPECT_NE(testutil::readFileText(tauregLog).find(std::string("-r kessa ") + kFullVersion), std::string::npos)
        << tauregLog;
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));

    for (const char* code : {TDS_SAMPLE_KIT_PRODUCT_CODE, TDS_SAMPLE_AU_PRODUCT_CODE, TDS_SAMPLE_RUNTIME_PRODUCT_CODE}) {
        const testutil::ProcessResult removed =
            testutil::runProcess(std::string("msiexec.exe /x ") + code + " /qn", 180000);
        EXPECT_EQ(removed.exitCode, 0u) << code;
    }
    EXPECT_FALSE(testutil::fileExists(home + TDS_SAMPLE_KIT_TOOL_SUBPATH));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, TDS_SAMPLE_KIT_KEY));
    DeleteFileA(installerLog.c_str());
    DeleteFileA(tauregLog.c_str());
    RemoveDirectoryA(home.c_str());
    cleanMachine();
}

}  // namespace
