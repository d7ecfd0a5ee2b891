// au::Config and au::RegData against the real registry of the prefix, in the
// 32-bit view, seeded with reg.exe as an administrator would.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <stdexcept>

#include "au/config.h"
#include "au/config_internal.h"
#include "au/data_protection.h"
#include "au/reg_data.h"
#include "common/child_process.h"
#include "common/files.h"
#include "common/test_util.h"
#include "foundation/logger_internal.h"
#include "foundation/registry_key.h"

namespace {

const char kPolicy[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";
const char kCheck[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy\\tucheck";
// Only the updater's part of the vendor key: the rest may hold an installed runtime.
const char kVendor[] = "SOFTWARE\\TolvaSoft\\Tolva Update";

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

void reg(const std::string& args) {
    const auto r = testutil::runProcess("reg.exe " + args);
    ASSERT_TRUE(r.started);
    ASSERT_EQ(r.exitCode, 0u) << args;
}

// A raw value in the given view; type 0 when absent.
struct Raw {
    DWORD type = 0;
    std::vector<uint8_t> data;
};

Raw readRaw(HKEY root, const std::string& key, const std::string& name, REGSAM view) {
    Raw raw;
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS)
        return raw;
    DWORD size = 0;
    if (RegQueryValueExA(h, name.c_str(), nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
        raw.data.resize(size);
        RegQueryValueExA(h, name.c_str(), nullptr, &raw.type, raw.data.data(), &size);
    } else {
        raw.type = 0;
    }
    RegCloseKey(h);
    return raw;
}

std::string rawString(const Raw& raw) {
    std::string s(raw.data.begin(), raw.data.end());
    while (!s.empty() && s.back() == '\0')
        s.pop_back();
    return s;
}

uint32_t rawDword(const Raw& raw) {
    uint32_t v = 0;
    if (raw.data.size() == 4)
        memcpy(&v, raw.data.data(), 4);
    return v;
}

class AuConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        clean();
        original_ = Logger::getInstance().path();
        LoggerTestAccess::setPath(dir_.file("tusched.log"));
    }
    void TearDown() override {
        LoggerTestAccess::setPath(original_);
        clean();
    }
    void clean() {
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVendor, KEY_WOW64_32KEY);
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVendor, KEY_WOW64_64KEY);
        testutil::deleteRegTree(HKEY_CURRENT_USER, kVendor, KEY_WOW64_32KEY);
    }
    std::string log() const { return testutil::readFileText(dir_.file("tusched.log")); }

    testutil::ScratchDir dir_{"au"};
    std::string original_;
};

TEST_F(AuConfigTest, GetSchedule_NoPolicyKeyWritesNewScheduleInTheCheckKey) {
    au::Schedule s(0, 0, 0);
    bool valid = false;
    {
        au::Config config(1);
        config.getSchedule(s, &valid);
    }
    EXPECT_TRUE(valid);
    EXPECT_NE(log().find("getValue(DWORD) failed: open key (SOFTWARE\\TolvaSoft\\Tolva Update\\Policy\\tucheck) error: 2"),
              std::string::npos);
    EXPECT_NE(log().find("getSchedule failed: open key (SOFTWARE\\TolvaSoft\\Tolva Update\\Policy\\tucheck) error: 2, "
                         "rescheduling"),
              std::string::npos);
    EXPECT_NE(s.frequency, 0u);
    // Stored as Base64 text of a machine blob, in the 32-bit view only.
    const Raw freq = readRaw(HKEY_LOCAL_MACHINE, kCheck, "Frequency", KEY_WOW64_32KEY);
    ASSERT_EQ(freq.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(au::decryptDwordFromString(rawString(freq)), s.frequency);
    EXPECT_EQ(au::decryptDwordFromString(rawString(readRaw(HKEY_LOCAL_MACHINE, kCheck, "UpdateSchedule",
                                                           KEY_WOW64_32KEY))),
              s.hour);
    EXPECT_EQ(au::decryptDwordFromString(rawString(readRaw(HKEY_LOCAL_MACHINE, kCheck, "UpdateMin",
                                                           KEY_WOW64_32KEY))),
              s.minute);
    EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, kCheck, "Frequency", KEY_WOW64_64KEY).type, 0u);

    // A second reader finds it.
    au::Schedule again(0, 0, 0);
    au::Config(1).getSchedule(again, &valid);
    EXPECT_TRUE(valid);
    EXPECT_EQ(again.frequency, s.frequency);
    EXPECT_EQ(again.hour, s.hour);
    EXPECT_EQ(again.minute, s.minute);
}

TEST_F(AuConfigTest, GetSchedule_CreationRefusedReportsNotValid) {
    // Missing rights stand as a policy key that denies creating subkeys.
    reg(std::string("add \"HKLM\\") + kPolicy + "\" /f /reg:32");
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicy, 0, WRITE_DAC | KEY_WOW64_32KEY, &h), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x0004;;;WD)(A;;KA;;;WD)",
                                                                     SDDL_REVISION_1, &sd, nullptr));
    ASSERT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
    RegCloseKey(h);

    au::Schedule s(0, 0, 0);
    bool valid = true;
    au::Config(1).getSchedule(s, &valid);
    EXPECT_FALSE(valid);
    EXPECT_NE(s.frequency, 0u);  // the new default all the same
    EXPECT_NE(log().find("setValue(DWORD) failed: open key (SOFTWARE\\TolvaSoft\\Tolva Update\\Policy\\tucheck) error: 5"),
              std::string::npos)
        << log();
}

TEST_F(AuConfigTest, GetSchedule_LevelZeroReadsPlainDwordsFromThePolicyKey) {
    const std::string key = std::string("\"HKLM\\") + kPolicy + "\"";
    reg("add " + key + " /v Frequency /t REG_DWORD /d 260 /f /reg:32");
    reg("add " + key + " /v UpdateSchedule /t REG_DWORD /d 13 /f /reg:32");
    reg("add " + key + " /v UpdateMin /t REG_DWORD /d 45 /f /reg:32");
    // The same names in the 64-bit view must not be read.
    reg("add " + key + " /v Frequency /t REG_DWORD /d 1 /f /reg:64");
    au::Schedule s(0, 0, 0);
    bool valid = false;
    au::Config(0).getSchedule(s, &valid);
    EXPECT_TRUE(valid);
    EXPECT_EQ(s.frequency, 260u);
    EXPECT_EQ(s.hour, 13u);
    EXPECT_EQ(s.minute, 45u);
    EXPECT_EQ(log().find("getSchedule failed"), std::string::npos);

    // Level 1 ignores them: it reads Base64 text under tucheck.
    au::Config(1).setSchedule(au::Schedule(2, 3, 4));
    EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, kCheck, "Frequency", KEY_WOW64_32KEY).type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(rawDword(readRaw(HKEY_LOCAL_MACHINE, kPolicy, "Frequency", KEY_WOW64_32KEY)), 260u);
    au::Config(1).getSchedule(s, &valid);
    EXPECT_EQ(s.frequency, 2u);
    EXPECT_EQ(s.hour, 3u);
    EXPECT_EQ(s.minute, 4u);
}

TEST_F(AuConfigTest, GetSchedule_BlobOfWrongSizeReschedules) {
    const std::string eight = au::binary2string(au::protectData({1, 2, 3, 4, 5, 6, 7, 8}, au::kMachineScope));
    reg(std::string("add \"HKLM\\") + kCheck + "\" /v Frequency /t REG_SZ /d " + eight + " /f /reg:32");
    au::Schedule s(0, 0, 0);
    bool valid = false;
    au::Config(1).getSchedule(s, &valid);
    EXPECT_TRUE(valid);
    EXPECT_NE(log().find("getValue(DWORD) failed: decrypted data has wrong size"), std::string::npos);
    EXPECT_NE(log().find("getSchedule failed: decrypted data has wrong size, rescheduling"), std::string::npos);
    EXPECT_EQ(au::decryptDwordFromString(rawString(readRaw(HKEY_LOCAL_MACHINE, kCheck, "Frequency", KEY_WOW64_32KEY))),
              s.frequency);
}

struct NotifyCase {
    const char* name;
    int download;  // -1: absent
    int install;
    int32_t expected;
    bool reset;
};

class AuNotifyTest : public AuConfigTest, public ::testing::WithParamInterface<NotifyCase> {};

TEST_P(AuNotifyTest, GetNotifyType_ReadsOrResets) {
    const NotifyCase& c = GetParam();
    const std::string key = std::string("add \"HKLM\\") + kCheck + "\" /f /reg:32 /t REG_DWORD";
    if (c.download >= 0)
        reg(key + " /v NotifyDownload /d " + std::to_string(c.download));
    if (c.install >= 0)
        reg(key + " /v NotifyInstall /d " + std::to_string(c.install));
    EXPECT_EQ(au::Config(1).getNotifyType(), c.expected);
    const uint32_t download = rawDword(readRaw(HKEY_LOCAL_MACHINE, kCheck, "NotifyDownload", KEY_WOW64_32KEY));
    const uint32_t install = rawDword(readRaw(HKEY_LOCAL_MACHINE, kCheck, "NotifyInstall", KEY_WOW64_32KEY));
    if (c.reset) {
        EXPECT_NE(log().find("getNotifyType failed: "), std::string::npos);
        EXPECT_NE(log().find(", reset to default"), std::string::npos);
        EXPECT_EQ(download, 1u);
        EXPECT_EQ(install, 0u);
    } else {
        EXPECT_EQ(log().find("getNotifyType failed"), std::string::npos);
        EXPECT_EQ(download, static_cast<uint32_t>(c.download));
        EXPECT_EQ(install, static_cast<uint32_t>(c.install));
    }
}

INSTANTIATE_TEST_SUITE_P(Values, AuNotifyTest,
                         ::testing::Values(NotifyCase{"BeforeDownload", 1, 0, 0, false},
                                           NotifyCase{"BeforeInstall", 0, 7, 1, false},
                                           NotifyCase{"BothSet", 1, 1, 0, true},
                                           NotifyCase{"BothClear", 0, 0, 0, true},
                                           NotifyCase{"Absent", -1, -1, 0, true},
                                           NotifyCase{"InstallAbsent", 0, -1, 0, true}),
                         [](const ::testing::TestParamInfo<NotifyCase>& i) { return std::string(i.param.name); });

TEST_F(AuConfigTest, GetNotifyType_BothSetLogsInconsistentData) {
    const std::string key = std::string("add \"HKLM\\") + kCheck + "\" /f /reg:32 /t REG_DWORD";
    reg(key + " /v NotifyDownload /d 1");
    reg(key + " /v NotifyInstall /d 1");
    EXPECT_EQ(au::Config(1).getNotifyType(), 0);
    EXPECT_NE(log().find("getNotifyType failed: inconsistent data, reset to default"), std::string::npos);
}

TEST_F(AuConfigTest, SetNotifyType_WritesBothValuesOrRefusesUnknownType) {
    au::Config config(1);
    config.setNotifyType(1);
    EXPECT_EQ(rawDword(readRaw(HKEY_LOCAL_MACHINE, kCheck, "NotifyDownload", KEY_WOW64_32KEY)), 0u);
    EXPECT_EQ(rawDword(readRaw(HKEY_LOCAL_MACHINE, kCheck, "NotifyInstall", KEY_WOW64_32KEY)), 1u);
    EXPECT_EQ(config.getNotifyType(), 1);
    EXPECT_EQ(errorOf([&] { config.setNotifyType(2); }), "unknown notifyType");
    EXPECT_NE(log().find("setNotifyType: unknown value: 2"), std::string::npos);
    EXPECT_EQ(config.getNotifyType(), 1);
}

TEST_F(AuConfigTest, SetNotifyType_LevelZeroWritesThePolicyKey) {
    au::Config(0).setNotifyType(0);
    EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, kPolicy, "NotifyDownload", KEY_WOW64_32KEY).type,
              static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(rawDword(readRaw(HKEY_LOCAL_MACHINE, kPolicy, "NotifyDownload", KEY_WOW64_32KEY)), 1u);
    EXPECT_EQ(readRaw(HKEY_LOCAL_MACHINE, kCheck, "NotifyDownload", KEY_WOW64_32KEY).type, 0u);
}

TEST_F(AuConfigTest, RegData_UserBlobValueRoundTripsUnderCurrentUser) {
    au::ConfigImpl impl(1);
    au::RegData::setValue(impl, au::RegData::kOobd, 0x11223344);
    const Raw raw = readRaw(HKEY_CURRENT_USER, kPolicy, "OOBD", KEY_WOW64_32KEY);
    ASSERT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(au::decryptDword(raw.data), 0x11223344u);
    EXPECT_EQ(au::RegData::getValue(impl, au::RegData::kOobd), 0x11223344u);
}

TEST_F(AuConfigTest, RegData_UnknownLocationAndTypeAreRefused) {
    au::ConfigImpl impl(1);
    EXPECT_THROW(au::RegData::getKey(impl, 3, false), std::logic_error);
    EXPECT_EQ(errorOf([&] { au::RegData::getKey(impl, -1, true); }), "unknown reg location");
    const au::RegData::DwordValue odd = {au::RegData::kPolicy, "OEMDelay", 7};
    EXPECT_EQ(errorOf([&] { au::RegData::setValue(impl, odd, 1); }), "unknown encryptionType");
    EXPECT_NE(log().find("setValue(DWORD) failed: unknown encryptionType"), std::string::npos);
}

TEST_F(AuConfigTest, RegData_KeysAreCachedPerLocationAndPurpose) {
    au::ConfigImpl impl(1);
    RegistryKey& write = au::RegData::getKey(impl, au::RegData::kPolicyCheck, true);
    EXPECT_EQ(&au::RegData::getKey(impl, au::RegData::kPolicyCheck, true), &write);
    EXPECT_EQ(impl.keys[2], &write);
    RegistryKey& read = au::RegData::getKey(impl, au::RegData::kPolicyCheck, false);
    EXPECT_EQ(impl.keys[3], &read);
    EXPECT_EQ(read.viewFlags(), static_cast<uint32_t>(KEY_WOW64_32KEY));
    // A failed open leaves its slot empty.
    au::ConfigImpl fresh(1);
    EXPECT_THROW(au::RegData::getKey(fresh, au::RegData::kUserPolicy, false), std::runtime_error);
    EXPECT_EQ(fresh.keys[5], nullptr);
    au::ConfigImpl old(0);
    au::RegData::getKey(old, au::RegData::kPolicyCheck, true);
    EXPECT_NE(old.keys[0], nullptr);
    EXPECT_EQ(old.keys[2], nullptr);
}

}  // namespace
