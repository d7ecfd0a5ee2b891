// The launcher's registry bookkeeping against the prefix's real registry;
// every key touched is copied first and put back afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/log_capture.h"
#include "common/test_util.h"
#include "launcher/kessa_metrics.h"
#include "launcher/policy_registry.h"
#include "launcher/product_identity.h"
#include "launcher/runtime_registry.h"
#include "launcher/user_registry_flags.h"
#include "launcher/vendor_registry.h"

namespace {

using testutil::setRawValue;

bool keyExists(HKEY root, const char* path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class VendorKeyTest : public ::testing::Test {
protected:
    void SetUp() override { vendor_.clear(); }
    testutil::ScopedRegBackup vendor_{HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft"};
};

TEST_F(VendorKeyTest, InstallStatusRoundTripAndEmptyKeyRemoved) {
    char buffer[64];
    EXPECT_FALSE(GetTolvaSoftRegValue("InstallStatus", buffer, sizeof buffer));
    ASSERT_TRUE(SetTolvaSoftRegValue("reinstall", "InstallStatus"));
    ASSERT_TRUE(GetTolvaSoftRegValue("InstallStatus", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "reinstall");
    EXPECT_FALSE(GetTolvaSoftRegValue("InstallStatus", buffer, 5));  // does not fit
    EXPECT_EQ(SetInstallStatus(nullptr), 1);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft"));
}

TEST_F(VendorKeyTest, RemovingStatusKeepsKeyWithOtherContent) {
    SetTolvaSoftRegValue("exists", "InstallStatus");
    ASSERT_EQ(CreateTolvaSoftSubkey("SilentInstall"), 0);
    SetInstallStatus(nullptr);
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\SilentInstall"));
    EXPECT_EQ(DeleteTolvaSoftSubkey("SilentInstall"), 0);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\SilentInstall"));
    EXPECT_EQ(DeleteTolvaSoftSubkey("SilentInstall"), ERROR_FILE_NOT_FOUND);
}

TEST_F(VendorKeyTest, MalformedTextValuesAreRefused) {
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", "empty", REG_SZ, "", 0);
    const DWORD one = 1;
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", "dword", REG_DWORD, &one, 4);
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", "expand", REG_EXPAND_SZ, "%x%", 4);
    char buffer[16] = "junk";
    EXPECT_FALSE(GetTolvaSoftRegValue("empty", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(GetTolvaSoftRegValue("dword", buffer, sizeof buffer));
    EXPECT_TRUE(GetTolvaSoftRegValue("expand", buffer, sizeof buffer));
    EXPECT_EQ(DeleteTolvaSoftValue("expand"), 0);
    EXPECT_FALSE(GetTolvaSoftRegValue("expand", buffer, sizeof buffer));
}

TEST_F(VendorKeyTest, MsiStatusReadAndCleared) {
    testutil::LogCapture log;
    EXPECT_EQ(ClearMSIStatus(), 0);  // no vendor key
    EXPECT_TRUE(log.contains("Could not find HKEY_LOCAL_MACHINE, SOFTWARE\\TolvaSoft registry key."));
    const DWORD error = 1603, extended = 2932;
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", "MSIStatusError", REG_DWORD, &error, 4);
    DWORD e = 0, x = 0;
    EXPECT_EQ(GetMSIStatus(&e, &x), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(log.contains("Could not get MSIStatusExtendedError registry value."));
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", "MSIStatusExtendedError", REG_DWORD, &extended, 4);
    EXPECT_EQ(GetMSIStatus(&e, &x), 0);
    EXPECT_EQ(e, 1603u);
    EXPECT_EQ(x, 2932u);
    // An oversized value is removed as well.
    const uint64_t wide = 7;
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", "MSIStatusError", REG_QWORD, &wide, 8);
    EXPECT_EQ(ClearMSIStatus(), 0);
    EXPECT_EQ(GetMSIStatus(&e, &x), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ClearMSIStatus(), 0);  // already gone
}

TEST_F(VendorKeyTest, PolicyValuesReadTerminated) {
    ASSERT_TRUE(SetPolicyValue(nullptr, "VisitorId", "abc123"));
    // (Wine stores every REG_SZ with a NUL, so the stored length is not
    // observable here.)
    char buffer[16];
    memset(buffer, 'G', sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_TRUE(GetPolicyValue(nullptr, "VisitorId", buffer, &size));
    EXPECT_STREQ(buffer, "abc123");
    char exact[6];
    size = sizeof exact;
    EXPECT_FALSE(GetPolicyValue(nullptr, "VisitorId", exact, &size));  // no room for the end
    EXPECT_TRUE(SetPolicyValue(nullptr, "VisitorId", nullptr));
    size = sizeof buffer;
    EXPECT_FALSE(GetPolicyValue(nullptr, "VisitorId", buffer, &size));
}

TEST_F(VendorKeyTest, PreviousVersionIsGreatestOtherThanCurrent) {
    const std::string base = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
    char buffer[128] = "untouched";
    EXPECT_FALSE(GetPreviousKessaVersion(buffer));
    setRawValue(HKEY_LOCAL_MACHINE, base + "\\" + GetCurrentRuntimeVersion(), "x", REG_SZ, "", 1);
    setRawValue(HKEY_LOCAL_MACHINE, base + "\\9.9", "x", REG_SZ, "", 1);  // too short
    EXPECT_FALSE(GetPreviousKessaVersion(buffer));
    EXPECT_STREQ(buffer, "untouched");
    setRawValue(HKEY_LOCAL_MACHINE, base + "\\1.8.0_401", "x", REG_SZ, "", 1);
    setRawValue(HKEY_LOCAL_MACHINE, base + "\\1.8.0_91", "x", REG_SZ, "", 1);
    setRawValue(HKEY_LOCAL_MACHINE, base + "\\1.7.0_99", "x", REG_SZ, "", 1);
    ASSERT_TRUE(GetPreviousKessaVersion(buffer));
    EXPECT_STREQ(buffer, "1.8.0_91");
}

TEST_F(VendorKeyTest, StringValueFromEitherView) {
    testutil::ScopedRegBackup wow{HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft", KEY_WOW64_32KEY};
    wow.clear();
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\Only32", "Home", REG_SZ, "C:\\x86", 7, KEY_WOW64_32KEY);
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\Both", "Home", REG_SZ, "C:\\x64", 7, KEY_WOW64_64KEY);
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\Both", "Home", REG_SZ, "C:\\x86", 7, KEY_WOW64_32KEY);
    const DWORD one = 1;
    setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\Both", "Num", REG_DWORD, &one, 4, KEY_WOW64_64KEY);
    char buffer[64];
    DWORD size = sizeof buffer;
    EXPECT_EQ(GetRegValueOfStringType("Home", buffer, "SOFTWARE\\TolvaSoft\\Both", &size), 1);
    EXPECT_STREQ(buffer, "C:\\x64");
    size = sizeof buffer;
    EXPECT_EQ(GetRegValueOfStringType("Home", buffer, "SOFTWARE\\TolvaSoft\\Only32", &size), 1);
    EXPECT_STREQ(buffer, "C:\\x86");
    size = sizeof buffer;
    EXPECT_EQ(GetRegValueOfStringType("Num", buffer, "SOFTWARE\\TolvaSoft\\Both", &size), 0);
    size = sizeof buffer;
    EXPECT_EQ(GetRegValueOfStringType("Home", buffer, "SOFTWARE\\TolvaSoft\\None", &size), 0);
}

class MetricsTest : public ::testing::Test {
protected:
    void SetUp() override {
        metrics32_.clear();
        metrics64_.clear();
    }
    struct Report {
        LONG result;
        std::string counted, updates, attempts;
    };
    Report update(const char* version, int result) {
        char counted[16], updates[16], attempts[16];
        Report r;
        r.result = GetUpdatedKessaMetrics(version, result, counted, updates, attempts, sizeof counted);
        r.counted = counted;
        r.updates = updates;
        r.attempts = attempts;
        return r;
    }
    std::string text(const char* name) {
        char buffer[64];
        DWORD size = sizeof buffer;
        return GetKessaMetrics(nullptr, name, buffer, &size) == ERROR_SUCCESS ? buffer : "(none)";
    }
    testutil::ScopedRegBackup metrics32_{HKEY_LOCAL_MACHINE, "Software\\KessaMetrics", KEY_WOW64_32KEY};
    testutil::ScopedRegBackup metrics64_{HKEY_LOCAL_MACHINE, "Software\\KessaMetrics", KEY_WOW64_64KEY};
};

TEST_F(MetricsTest, SequenceOfFailuresAndSuccesses) {
    testutil::LogCapture log;
    Report r = update("9.1.0_12", 1603);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.counted, "ZZ");
    EXPECT_EQ(r.attempts, "1");
    EXPECT_EQ(r.updates, "0");
    r = update("9.1.0_12", 1603);
    EXPECT_EQ(r.attempts, "2");
    EXPECT_EQ(text("NewKessaVersion"), "9.1.0_12");
    r = update("9.1.0_13", 1603);  // another version starts again
    EXPECT_EQ(r.attempts, "1");

    r = update("9.1.0_13", 0);
    EXPECT_EQ(r.counted, "false");
    EXPECT_EQ(r.updates, "0");  // no count before: 0
    EXPECT_EQ(text("NewKessaVersion"), "(none)");
    EXPECT_EQ(text("KessaVersion"), "9.1.0_13");
    r = update("9.1.0_13", 0);  // same version again: not an update
    EXPECT_EQ(r.counted, "true");
    EXPECT_EQ(r.updates, "0");
    r = update("9.2.0_1", 0);
    EXPECT_EQ(r.updates, "1");
    r = update("9.2.0_1", 1602);
    EXPECT_EQ(r.counted, "YY");
    r = update("9.2.0_1", -128);  // neither: attempts removed, nothing counted
    EXPECT_EQ(text("InstallAttempts"), "(none)");
    EXPECT_TRUE(log.contains("GetUpdatedKessaMetrics() - MachineCount registry value created"));
    EXPECT_TRUE(log.contains("GetUpdatedKessaMetrics() - MachineCounted: YY, InstallAttempts: 1, UpdateCount: 1"));

    // Everything lives in the 32-bit view and goes with the key.
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\KessaMetrics", KEY_WOW64_32KEY));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\KessaMetrics", KEY_WOW64_64KEY));
    EXPECT_EQ(RemoveKessaMetrics(), 0);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\KessaMetrics", KEY_WOW64_32KEY));
    EXPECT_TRUE(log.contains("RemoveKessaMetrics() - KessaMetrics key successfully removed"));
    EXPECT_NE(RemoveKessaMetrics(), 0);
}

TEST_F(MetricsTest, OfferedCountTakenOnce) {
    EXPECT_EQ(TakeOfferedSPCount(), -1);
    const DWORD three = 3;
    setRawValue(HKEY_LOCAL_MACHINE, "Software\\KessaMetrics", "OfferedSPCnt", REG_DWORD, &three, 4, KEY_WOW64_32KEY);
    EXPECT_EQ(TakeOfferedSPCount(), 3);
    EXPECT_EQ(TakeOfferedSPCount(), -1);
    setRawValue(HKEY_LOCAL_MACHINE, "Software\\KessaMetrics", "OfferedSPCnt", REG_SZ, "3", 2, KEY_WOW64_32KEY);
    EXPECT_EQ(TakeOfferedSPCount(), -2);
}

TEST(UserFlags, FiuCancelTakenOnceAndRunOnceRetry) {
    testutil::ScopedRegBackup vendor{HKEY_CURRENT_USER, "Software\\TolvaSoft"};
    testutil::ScopedRegBackup runOnce{HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"};
    vendor.clear();
    EXPECT_FALSE(TakeFIUCancel());
    setRawValue(HKEY_CURRENT_USER, "Software\\TolvaSoft\\FIUCancel", "x", REG_SZ, "", 1);
    EXPECT_TRUE(TakeFIUCancel());
    EXPECT_FALSE(TakeFIUCancel());

    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "TolvaInstallRetry");
    EXPECT_FALSE(IsRunOnceRetryPending());
    const char other[] = "C:\\t\\kessa-setup.exe /retry";
    setRawValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "TolvaInstallRetry", REG_SZ,
                other, sizeof other);
    EXPECT_TRUE(IsRunOnceRetryPending());
    const char own[] = "C:\\t\\KessaRunOnce.exe";
    setRawValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "TolvaInstallRetry", REG_SZ,
                own, sizeof own);
    EXPECT_FALSE(IsRunOnceRetryPending());
}

}  // namespace
