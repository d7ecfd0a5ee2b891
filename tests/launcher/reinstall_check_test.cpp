// Same-version, build and family checks against runtime keys seeded in the
// prefix's registry; the refusal boxes and the uninstaller are scripted, and
// the real uninstaller runs the msiexec stand-in.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/test_util.h"
#include "launcher/current_runtime.h"
#include "launcher/reinstall_check.h"
#include "launcher/reinstall_check_internal.h"
#include "scrub/t_cleaner.h"

namespace {

const std::string kFamily = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
const std::string kVersionKey = kFamily + "\\" + kCurrentRuntimeVersion;
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void setString(const std::string& key, const char* name, const std::string& value, REGSAM view = KEY_WOW64_64KEY) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1),
                          view);
}

struct Script {
    std::vector<std::string> boxes;  // "text id/caption id"
    std::vector<std::string> checks;
    int checkAnswer = 0;
} gScript;

int scriptedBox(const char* text, const char* caption, UINT type) {
    EXPECT_EQ(type, static_cast<UINT>(MB_ICONERROR));
    gScript.boxes.push_back(std::string(caption) + "|" + text);
    return IDOK;
}
int scriptedCheck(const char* version, int bits, bool is64Bit, bool silent) {
    gScript.checks.push_back(std::string(version) + "/" + std::to_string(bits) + (is64Bit ? "/64" : "/32") +
                             (silent ? "/silent" : ""));
    return gScript.checkAnswer;
}

class PreCheckTest : public ::testing::Test {
protected:
    PreCheckTest() {
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVersionKey, KEY_WOW64_64KEY);
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVersionKey, KEY_WOW64_32KEY);
        gScript = Script();
        reinstall_check_internal::Hooks hooks;
        hooks.messageBox = scriptedBox;
        hooks.checkGuidAndUninstall = scriptedCheck;
        reinstall_check_internal::setHooksForTesting(hooks);
    }
    ~PreCheckTest() override {
        reinstall_check_internal::setHooksForTesting(reinstall_check_internal::Hooks());
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVersionKey, KEY_WOW64_64KEY);
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVersionKey, KEY_WOW64_32KEY);
    }
};

struct ReinstallCase {
    const char* name;
    const char* build;  // null: no BuildNumber; "": no version key
    const char* mode;   // null: no MODE
    bool staticInstall;
    bool silent;
    int checkAnswer;
    int expected;
    bool checkRuns;
    const char* box;  // caption of the box shown, or null
};

class CheckReinstallCaseTest : public PreCheckTest, public ::testing::WithParamInterface<ReinstallCase> {};

TEST_P(CheckReinstallCaseTest, CheckReinstallCase_Decides) {
    const ReinstallCase& c = GetParam();
    if (c.build && *c.build)
        setString(kVersionKey, "BuildNumber", c.build);
    else if (!c.build)
        setString(kVersionKey, "TolvaHome", "C:\\x");
    if (c.mode)
        setString(kVersionKey + "\\MSI", "MODE", c.mode);
    gScript.checkAnswer = c.checkAnswer;
    EXPECT_EQ(CheckReinstallCase(c.staticInstall, c.silent), c.expected);
    if (c.checkRuns)
        EXPECT_EQ(gScript.checks, std::vector<std::string>{std::string(kCurrentRuntimeVersion) + "/64/64" +
                                                          (c.silent ? "/silent" : "")});
    else
        EXPECT_TRUE(gScript.checks.empty());
    if (c.box) {
        ASSERT_EQ(gScript.boxes.size(), 1u);
        EXPECT_EQ(gScript.boxes[0].substr(0, gScript.boxes[0].find('|')), c.box);
    } else {
        EXPECT_TRUE(gScript.boxes.empty());
    }
}

const std::string kSame = std::to_string(kCurrentRuntimeBuild);
const std::string kOlder = std::to_string(kCurrentRuntimeBuild - 1);
const std::string kNewer = std::to_string(kCurrentRuntimeBuild + 1) + "-rc";

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckReinstallCaseTest,
    ::testing::Values(
        ReinstallCase{"NotInstalled", "", nullptr, false, true, 0, 1, false, nullptr},
        ReinstallCase{"SameBuildUninstalled", kSame.c_str(), "N", false, true, 0, 1, true, nullptr},
        ReinstallCase{"OlderBuildNoMode", kOlder.c_str(), nullptr, false, false, 0, 1, true, nullptr},
        ReinstallCase{"UninstallFailedOtherwise", kSame.c_str(), "N", false, true, 1603, 1, true, nullptr},
        ReinstallCase{"UninstallAnsweredOne", kSame.c_str(), "N", false, true, 1, -1, true, nullptr},
        ReinstallCase{"StaticInstalledSilent", kSame.c_str(), "S", false, true, 0, -1, false, nullptr},
        ReinstallCase{"StaticInstalledLowerCase", kSame.c_str(), "s", false, true, 0, -1, false, nullptr},
        ReinstallCase{"StaticInstalledInteractive", kSame.c_str(), "S", false, false, 0, -1, false,
                      "Unable to Reinstall"},
        ReinstallCase{"StaticOverStatic", kSame.c_str(), "S", true, true, 0, 1, true, nullptr},
        ReinstallCase{"NewerBuildSilent", kNewer.c_str(), "N", false, true, 0, 0, false, nullptr},
        ReinstallCase{"NewerBuildInteractive", kNewer.c_str(), "N", true, false, 0, 0, false,
                      "A Newer Version of this Product Already Exists"},
        ReinstallCase{"NoBuildNumberCountsAsNewer", nullptr, "N", false, true, 0, 0, false, nullptr},
        ReinstallCase{"BuildWithoutDigitsIsZero", "b12", "N", false, true, 0, 1, true, nullptr}),
    [](const ::testing::TestParamInfo<ReinstallCase>& info) { return std::string(info.param.name); });

TEST_F(PreCheckTest, RefusalBox_ShowsTheStringTableText) {
    setString(kVersionKey, "BuildNumber", kSame);
    setString(kVersionKey + "\\MSI", "MODE", "S");
    EXPECT_EQ(CheckReinstallCase(false, false), -1);
    ASSERT_EQ(gScript.boxes.size(), 1u);
    EXPECT_EQ(gScript.boxes[0], "Unable to Reinstall|Unable to reinstall this version of Tolva. Uninstall the version "
                                "(Static=1) currently on your system and try again.");
    EXPECT_EQ(LoadPrecheckString(9999), "");
}

TEST_F(PreCheckTest, IsSameKessaVersionInstalled_ReadsNativeViewOnly) {
    char version[2048] = "untouched";
    EXPECT_EQ(IsSameKessaVersionInstalled(version), 0);
    EXPECT_STREQ(version, "untouched");
    setString(kVersionKey, "BuildNumber", kSame, KEY_WOW64_32KEY);
    EXPECT_EQ(IsSameKessaVersionInstalled(version), 0);
    setString(kVersionKey, "BuildNumber", kSame);
    EXPECT_EQ(IsSameKessaVersionInstalled(version), 1);
    EXPECT_STREQ(version, kCurrentRuntimeVersion);

    // A 32-bit launcher or system reads the 32-bit view.
    reinstall_check_internal::Hooks hooks;
    hooks.runningBits = 32;
    reinstall_check_internal::setHooksForTesting(hooks);
    testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVersionKey, KEY_WOW64_32KEY);
    EXPECT_EQ(IsSameKessaVersionInstalled(version), 0);
}

TEST_F(PreCheckTest, IsSameOrOlderBuildInstalled_RefusesNonTextBuild) {
    const DWORD build = 1;
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kVersionKey, "BuildNumber", REG_DWORD, &build, sizeof(build),
                          KEY_WOW64_64KEY);
    EXPECT_EQ(IsSameOrOlderBuildInstalled(kCurrentRuntimeVersion, false), 0);
    setString(kVersionKey, "BuildNumber", "99999999999999999999");
    EXPECT_EQ(IsSameOrOlderBuildInstalled(kCurrentRuntimeVersion, false), 0);
    setString(kVersionKey, "BuildNumber", kSame);
    EXPECT_EQ(IsSameOrOlderBuildInstalled(kCurrentRuntimeVersion, false), 1);
    // The development kit's key is another key.
    EXPECT_EQ(IsSameOrOlderBuildInstalled(kCurrentRuntimeVersion, true), 0);
}

TEST_F(PreCheckTest, IsStaticModeInstalled_ReadsTheAskedView) {
    setString(kVersionKey + "\\MSI", "MODE", "S", KEY_WOW64_32KEY);
    EXPECT_TRUE(IsStaticModeInstalled(kCurrentRuntimeVersion, false));
    EXPECT_FALSE(IsStaticModeInstalled(kCurrentRuntimeVersion, true));
    setString(kVersionKey + "\\MSI", "MODE", "SS");
    EXPECT_FALSE(IsStaticModeInstalled(kCurrentRuntimeVersion, true));
}

// Keeps the family's CurrentVersion as it was.
class FamilyVersion {
public:
    FamilyVersion() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFamily.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
            existed_ = true;
            char buffer[2048] = {};
            DWORD size = sizeof(buffer) - 1;
            had_ = RegQueryValueExA(key, "CurrentVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
                   ERROR_SUCCESS;
            old_ = buffer;
            RegCloseKey(key);
        }
    }
    ~FamilyVersion() {
        if (!existed_) {
            testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kFamily, KEY_WOW64_64KEY);
        } else if (had_) {
            setString(kFamily, "CurrentVersion", old_);
        } else {
            HKEY key = nullptr;
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFamily.c_str(), 0, KEY_WRITE | KEY_WOW64_64KEY, &key);
            RegDeleteValueA(key, "CurrentVersion");
            RegCloseKey(key);
        }
    }

private:
    bool existed_ = false;
    bool had_ = false;
    std::string old_;
};

TEST_F(PreCheckTest, IsThisAFamilyUpgrade_ComparesNumbers) {
    FamilyVersion keep;
    const std::string family = kCurrentFamilyVersion;  // major.minor
    const unsigned major = static_cast<unsigned>(std::stoul(family));
    const unsigned minor = static_cast<unsigned>(std::stoul(family.substr(family.find('.') + 1)));
    const struct {
        std::string value;
        int expected;
    } cases[] = {
        {family, 0},
        {std::to_string(major) + "." + std::to_string(minor + 1), 0},
        {std::to_string(major + 10) + ".0", 0},  // sorts first as text, newer by number
        {std::to_string(major - 1) + ".9", 1},
        {"0.1", 1},
        {"x.y", 0},
    };
    if (minor > 0) {
        EXPECT_EQ((setString(kFamily, "CurrentVersion", std::to_string(major) + "." + std::to_string(minor - 1)),
                   IsThisAFamilyUpgrade()),
                  1);
    }
    for (const auto& c : cases) {
        setString(kFamily, "CurrentVersion", c.value);
        EXPECT_EQ(IsThisAFamilyUpgrade(), c.expected) << c.value;
    }
}

// The real uninstaller against the msiexec stand-in.
class InstallerLocation {
public:
    explicit InstallerLocation(const std::string& folder) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        char buffer[1024] = {};
        DWORD size = sizeof(buffer) - 1;
        had_ = RegQueryValueExA(key_, "InstallerLocation", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
               ERROR_SUCCESS;
        old_ = buffer;
        RegSetValueExA(key_, "InstallerLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
    }
    ~InstallerLocation() {
        if (had_)
            RegSetValueExA(key_, "InstallerLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>(old_.size() + 1));
        else
            RegDeleteValueA(key_, "InstallerLocation");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    bool had_ = false;
    std::string old_;
};

TEST(CheckGUIDAndUninstall, RunsUninstallOnlyForRegisteredProduct) {
    testutil::ScratchDir scratch("guid");
    const std::string log = scratch.file("runs.log");
    testutil::ScopedEnvironment logVar("SCRUB_MSIEXEC_LOG", log);
    testutil::ScopedEnvironment exitVar("SCRUB_MSIEXEC_EXIT", "1605");
    InstallerLocation location(testutil::besideExe("scrub-msiexec"));
    const std::string version = "1.8.0_44";
    const std::string code = tscrub::TCleaner::getProductGUID(version, 64, false);
    testutil::ScopedRegTree product(HKEY_LOCAL_MACHINE, kUninstall + code, KEY_WOW64_64KEY);

    EXPECT_EQ(CheckGUIDAndUninstall(version.c_str(), 64, true, true), 0);
    EXPECT_FALSE(testutil::fileExists(log));

    setString(kUninstall + code, "DisplayName", "x");
    EXPECT_FALSE(IsProductCodeRegistered(code.c_str(), false));
    EXPECT_TRUE(IsProductCodeRegistered(code.c_str(), true));
    EXPECT_EQ(CheckGUIDAndUninstall(version.c_str(), 64, true, true), 1605);
    EXPECT_EQ(CheckGUIDAndUninstall(version.c_str(), 64, true, false), 1605);
    EXPECT_EQ(UninstallProduct(code.c_str(), version.c_str(), true, "REBOOT=ReallySuppress"), 1605);
    const std::string runs = testutil::readFileText(log);
    const std::string program = "\"" + testutil::besideExe("scrub-msiexec") + "\\msiexec.exe\"";
    EXPECT_EQ(runs, testutil::besideExe("scrub-msiexec") + "\\msiexec.exe|" + program + " /x " + code + " /qn\n" +
                        testutil::besideExe("scrub-msiexec") + "\\msiexec.exe|" + program + " /x " + code + " /qb!\n" +
                        testutil::besideExe("scrub-msiexec") + "\\msiexec.exe|" + program + " /x " + code +
                        " /qn REBOOT=ReallySuppress\n");
}

}  // namespace
