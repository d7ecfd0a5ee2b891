// The end of a runtime launcher run against the prefix's real registry and
// lock file: what it removes once the run is claimed, and what it leaves to
// another launcher's install before that.
#include "launcher/launcher_run.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/child_process.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "launcher/installation_lock.h"

namespace {

const char kVendor[] = "SOFTWARE\\TolvaSoft";
const char kPolicy[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";

std::string lockPath() {
    char path[MAX_PATH] = {};
    return GetInstallationFlagPath(path, sizeof path) ? path : "";
}

bool keyExists(const std::string& key) { return testutil::registryKeyExists(HKEY_LOCAL_MACHINE, key); }

bool valueExists(const std::string& key, const char* name) {
    return testutil::registryValueExists(HKEY_LOCAL_MACHINE, key, name);
}

// The values a running install has in the registry, as the silent install
// and the package leave them.
void seedRunningInstall() {
    HKEY silent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kVendor) + "\\SilentInstall").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &silent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(silent);
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendor, "InstallStatus", REG_SZ, "reinstall", 10);
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kPolicy, "VisitorId", REG_SZ, "visitor", 7);
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kPolicy, "Method", REG_SZ, "tcab", 4);
}

class CleanUpInstallRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        vendor_.clear();
        DeleteFileA(lockPath().c_str());
    }
    void TearDown() override {
        CleanUpInstallRun(0);
        DeleteFileA(lockPath().c_str());
    }

    testutil::ScopedRegBackup vendor_{HKEY_LOCAL_MACHINE, kVendor};
};

// A run that failed before its lock (the last-resort end of WinMain) while
// another launcher installs: that install keeps its values and its lock.
TEST_F(CleanUpInstallRunTest, BeforeTheClaim_LeavesAnotherInstallsValuesAndLock) {
    const std::string tag = std::to_string(GetCurrentProcessId());
    const std::string readyName = "TdsCleanUpReady" + tag, releaseName = "TdsCleanUpRelease" + tag;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
    testutil::ChildProcess other;
    ASSERT_TRUE(other.start(testutil::quote(testutil::besideExe("launcher_lock_helper.exe")) + " hold " + readyName +
                            " " + releaseName));
    ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
    seedRunningInstall();

    EXPECT_EQ(CleanUpInstallRun(-1), -1);

    EXPECT_TRUE(keyExists(std::string(kVendor) + "\\SilentInstall"));
    EXPECT_TRUE(valueExists(kVendor, "InstallStatus"));
    EXPECT_TRUE(valueExists(kPolicy, "VisitorId"));
    EXPECT_TRUE(valueExists(kPolicy, "Method"));
    EXPECT_TRUE(IsAnotherInstallationInProgress());
    SetEvent(release);
    EXPECT_TRUE(other.wait(20000));
    EXPECT_EQ(other.exitCode(), 10u);
    CloseHandle(ready);
    CloseHandle(release);
}

TEST_F(CleanUpInstallRunTest, AfterTheClaim_RemovesTheRunsValuesAndReleasesTheLock) {
    ASSERT_EQ(SetInstallationFlag(), 1);
    ClaimInstallRun();
    seedRunningInstall();

    EXPECT_EQ(CleanUpInstallRun(1603), 1603);

    EXPECT_FALSE(keyExists(std::string(kVendor) + "\\SilentInstall"));
    EXPECT_FALSE(valueExists(kVendor, "InstallStatus"));
    EXPECT_FALSE(valueExists(kPolicy, "VisitorId"));
    EXPECT_FALSE(valueExists(kPolicy, "Method"));
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    // The claim ends with the run: a later clean-up leaves the values alone.
    seedRunningInstall();
    EXPECT_EQ(CleanUpInstallRun(-1), -1);
    EXPECT_TRUE(valueExists(kVendor, "InstallStatus"));
}

}  // namespace
