// The kit's registry reads, the removal of a kit or runtime of the same
// version, and the runtime installer run, against the prefix's real
// registry. The uninstaller is a hook; the product registrations are real
// Uninstall keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/test_util.h"
#include "kit/kit_registry.h"
#include "kit/kit_runtime_installer.h"
#include "kit/kit_version_text.h"
#include "kit/same_version_removal.h"
#include "kit/same_version_removal_internal.h"
#include "launcher/current_runtime.h"
#include "launcher/reinstall_check_internal.h"
#include "sample_packages.h"

namespace {

const char kVendorKey[] = "SOFTWARE\\TolvaSoft";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kKitKey = std::string("SOFTWARE\\TolvaSoft\\Tolva Development Kit\\") + kCurrentRuntimeVersion;
const std::string kRuntimeKey =
    std::string("SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\") + kCurrentRuntimeVersion;
const std::string kBuild = std::to_string(kCurrentRuntimeBuild);

void setValue(const std::string& key, const char* name, DWORD type, const std::string& data) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, key, name, type, data.data(), static_cast<DWORD>(data.size()),
                          KEY_WOW64_64KEY);
}
void setText(const std::string& key, const char* name, const std::string& text) {
    setValue(key, name, REG_SZ, text + std::string(1, '\0'));
}

class VendorKeyTest : public ::testing::Test {
protected:
    void SetUp() override { testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVendorKey, KEY_WOW64_64KEY); }
    void TearDown() override { testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVendorKey, KEY_WOW64_64KEY); }
    testutil::ScopedRegBackup vendor_{HKEY_LOCAL_MACHINE, kVendorKey, KEY_WOW64_64KEY};
};

using FindVindelHomeTest = VendorKeyTest;

TEST_F(FindVindelHomeTest, FindVindelHome_TextValuesOnly) {
    struct Case { DWORD type; std::string data; int answer; const char* home; };
    const Case cases[] = {
        {REG_SZ, std::string("C:\\Kit\\", 7) + '\0', 1, "C:\\Kit\\"},
        {REG_EXPAND_SZ, std::string("%ProgramFiles%\\Kit") + '\0', 1, "%ProgramFiles%\\Kit"},
        {REG_SZ, std::string(), 1, ""},
        {REG_DWORD, std::string("\x01\x00\x00\x00", 4), 0, ""},
        {REG_SZ, std::string(3000, 'k') + '\0', 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data.size());
        setValue(kKitKey, "TolvaHome", c.type, c.data);
        char home[2048] = "junk";
        EXPECT_EQ(FindVindelHome(home, sizeof home), c.answer);
        EXPECT_STREQ(home, c.home);
    }
}

TEST_F(FindVindelHomeTest, FindVindelHome_MissingKeyOrValue) {
    char home[2048] = "junk";
    EXPECT_EQ(FindVindelHome(home, sizeof home), 0);
    EXPECT_STREQ(home, "");
    setText(kKitKey, "BuildNumber", kBuild);
    EXPECT_EQ(FindVindelHome(home, sizeof home), 0);
}

TEST_F(VendorKeyTest, IsKessaVersionKeyPresent_FollowsTheRuntimeKey) {
    EXPECT_FALSE(IsKessaVersionKeyPresent());
    setText(kRuntimeKey, "BuildNumber", kBuild);
    EXPECT_TRUE(IsKessaVersionKeyPresent());
}

// The uninstaller and the box stand in for msiexec and the user.
struct Uninstalls {
    struct Call { std::string productCode; bool quiet; };
    static std::vector<Call> calls;
    static int answer;
    static int uninstall(const char* productCode, const char*, bool quiet, const char*) {
        calls.push_back({productCode, quiet});
        return answer;
    }
    static std::vector<std::string> boxes;
    static int box(const char* text, const char* caption, UINT) {
        boxes.push_back(std::string(caption) + "|" + text);
        return IDOK;
    }
};
std::vector<Uninstalls::Call> Uninstalls::calls;
int Uninstalls::answer = 0;
std::vector<std::string> Uninstalls::boxes;

class SameVersionRemoval : public VendorKeyTest {
protected:
    void SetUp() override {
        VendorKeyTest::SetUp();
        Uninstalls::calls.clear();
        Uninstalls::boxes.clear();
        Uninstalls::answer = 0;
        reinstall_check_internal::Hooks hooks;
        hooks.uninstall = &Uninstalls::uninstall;
        reinstall_check_internal::setHooksForTesting(hooks);
        same_version_removal_internal::setMessageBoxForTesting(&Uninstalls::box);
    }
    void TearDown() override {
        reinstall_check_internal::setHooksForTesting(reinstall_check_internal::Hooks());
        same_version_removal_internal::setMessageBoxForTesting(nullptr);
        VendorKeyTest::TearDown();
    }
    // Registers a product as msiexec does, for the length of the test.
    void registerProduct(const std::string& code) {
        const std::string key = std::string(kUninstallKey) + "\\" + code;
        registrations_.emplace_back(new testutil::ScopedRegTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY));
        setText(key, "DisplayName", "Tolva");
    }
    const std::string kitCode_ = GetVindelProductCode(kCurrentRuntimeVersion, false);
    const std::string runtimeCode_ = TDS_SAMPLE_RUNTIME_PRODUCT_CODE;
    std::vector<std::unique_ptr<testutil::ScopedRegTree>> registrations_;
};

TEST_F(SameVersionRemoval, NothingInstalled_GoesOn) {
    EXPECT_TRUE(UninstallKessaOrVindelIfSameVersionExists(true));
    EXPECT_TRUE(Uninstalls::calls.empty());
}

TEST_F(SameVersionRemoval, NewerKitBuild_StopsWithTheBoxUnlessSilent) {
    setText(kKitKey, "BuildNumber", std::to_string(kCurrentRuntimeBuild + 1));
    registerProduct(kitCode_);
    EXPECT_FALSE(UninstallKessaOrVindelIfSameVersionExists(true));
    EXPECT_TRUE(Uninstalls::boxes.empty());
    EXPECT_FALSE(UninstallKessaOrVindelIfSameVersionExists(false));
    ASSERT_EQ(Uninstalls::boxes.size(), 1u);
    EXPECT_EQ(Uninstalls::boxes[0].rfind("A Newer Version of this Product Already Exists|A newer build", 0), 0u)
        << Uninstalls::boxes[0];
    EXPECT_TRUE(Uninstalls::calls.empty());
}

TEST_F(SameVersionRemoval, SameOrOlderKitBuild_IsUninstalledQuietlyWhenSilent) {
    for (const std::string& build : {kBuild, std::string("1")}) {
        for (bool silent : {true, false}) {
            Uninstalls::calls.clear();
            setText(kKitKey, "BuildNumber", build);
            registerProduct(kitCode_);
            EXPECT_TRUE(UninstallKessaOrVindelIfSameVersionExists(silent));
            ASSERT_EQ(Uninstalls::calls.size(), 1u);
            EXPECT_EQ(Uninstalls::calls[0].productCode, kitCode_);
            EXPECT_EQ(Uninstalls::calls[0].quiet, silent);
        }
    }
}

TEST_F(SameVersionRemoval, KitRemoval_StaleKeyAndRestartAnswersGoOnFailureStops) {
    setText(kKitKey, "BuildNumber", kBuild);
    // A key whose product is not registered (left by a broken uninstall)
    // holds nothing to uninstall: the install goes on.
    EXPECT_TRUE(UninstallKessaOrVindelIfSameVersionExists(true));
    EXPECT_TRUE(Uninstalls::calls.empty());
    registerProduct(kitCode_);
    const struct { int answer; bool goesOn; } cases[] = {{0, true}, {3010, true}, {1641, true}, {1603, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Uninstalls::calls.clear();
        Uninstalls::answer = c.answer;
        EXPECT_EQ(UninstallKessaOrVindelIfSameVersionExists(true), c.goesOn);
        EXPECT_EQ(Uninstalls::calls.size(), 1u);
    }
}

TEST_F(SameVersionRemoval, SameVersionRuntime_RemovedUnlessStaticOrNewer) {
    struct Case { std::string build; const char* mode; bool removed; };
    const Case cases[] = {
        {kBuild, "N", true},
        {"1", nullptr, true},
        {kBuild, "S", false},
        {kBuild, "s", false},
        {std::to_string(kCurrentRuntimeBuild + 1), "N", false},
    };
    registerProduct(runtimeCode_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.build + (c.mode ? c.mode : "-"));
        Uninstalls::calls.clear();
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kRuntimeKey, KEY_WOW64_64KEY);
        setText(kRuntimeKey, "BuildNumber", c.build);
        if (c.mode)
            setText(kRuntimeKey + "\\MSI", "MODE", c.mode);
        EXPECT_TRUE(UninstallKessaOrVindelIfSameVersionExists(false));
        EXPECT_EQ(Uninstalls::calls.size(), c.removed ? 1u : 0u);
        if (c.removed && !Uninstalls::calls.empty()) {
            EXPECT_EQ(Uninstalls::calls[0].productCode, runtimeCode_);
            EXPECT_FALSE(Uninstalls::calls[0].quiet);
        }
    }
}

TEST_F(SameVersionRemoval, RuntimeRemovalFailure_Stops) {
    setText(kRuntimeKey, "BuildNumber", kBuild);
    registerProduct(runtimeCode_);
    Uninstalls::answer = 1603;
    EXPECT_FALSE(UninstallKessaOrVindelIfSameVersionExists(true));
}

// A kit home as the package leaves it, with the runtime installer in it.
class RuntimeInstallerRun : public VendorKeyTest {
protected:
    std::string installer() const { return home_.file("kessa.exe"); }
    std::string log() const { return testutil::readFileText(home_.file("kessa.log")); }
    void placeInstaller() {
        std::string host = std::string("Z:") + TDS_KIT_RUNTIME_INSTALLER_HOST_PATH;
        for (char& c : host)
            if (c == '/')
                c = '\\';
        ASSERT_TRUE(CopyFileA(host.c_str(), installer().c_str(), FALSE)) << host;
    }
    testutil::ScratchDir home_{"kithome"};
};

TEST_F(RuntimeInstallerRun, RunKitRuntimeInstaller_RunsSilentlyOnceThenDeletesIt) {
    placeInstaller();
    setText(kKitKey, "TolvaHome", home_.path() + "\\");
    RunKitRuntimeInstaller(true, "C:\\Pub", true);
    EXPECT_EQ(log(), "/s LAUNCHEDFROMVINDEL=1 NOSTARTMENU=1 INSTALLDIR=\"C:\\Pub\"  REBOOT=ReallySuppress\r\n");
    EXPECT_FALSE(testutil::fileExists(installer()));
    // Gone: a second call has nothing to run.
    RunKitRuntimeInstaller(false, "", false);
    EXPECT_EQ(log(), "/s LAUNCHEDFROMVINDEL=1 NOSTARTMENU=1 INSTALLDIR=\"C:\\Pub\"  REBOOT=ReallySuppress\r\n");
}

TEST_F(RuntimeInstallerRun, RunKitRuntimeInstaller_EmptyHomeTouchesNothing) {
    // An empty home would point at "\kessa.exe" at the root of the current
    // drive: a program there is neither run nor deleted.
    const std::string rootFile = "C:\\kessa.exe";
    const std::string rootLog = "C:\\kessa.log";
    ASSERT_FALSE(testutil::fileExists(rootFile));
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    std::string host = std::string("Z:") + TDS_KIT_RUNTIME_INSTALLER_HOST_PATH;
    for (char& c : host)
        if (c == '/')
            c = '\\';
    ASSERT_TRUE(CopyFileA(host.c_str(), rootFile.c_str(), FALSE));
    setText(kKitKey, "TolvaHome", "");
    RunKitRuntimeInstaller(false, "", false);
    SetCurrentDirectoryA(current);
    EXPECT_TRUE(testutil::fileExists(rootFile));
    EXPECT_FALSE(testutil::fileExists(rootLog));
    DeleteFileA(rootFile.c_str());
    DeleteFileA(rootLog.c_str());
}

TEST(FileExistsTest, FileExists_FilesAndFolders) {
    testutil::ScratchDir dir("fe");
    testutil::writeFileBytes(dir.file("a.txt"), "x");
    EXPECT_EQ(FileExists(dir.file("a.txt").c_str()), 1);
    EXPECT_EQ(FileExists(dir.file("b.txt").c_str()), 0);
    EXPECT_EQ(FileExists(nullptr), 0);
}

}  // namespace
