// RegistryKey against the real registry of the prefix, in both views.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/test_util.h"
#include "foundation/registry_key.h"

namespace {

// A key of this process's own (HKLM in both views, HKCU): no other test
// program touches it.
const std::string kTestKey = "Software\\TdsRegistryKeyTest-" + std::to_string(GetCurrentProcessId());

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

class RegistryKeyTest : public ::testing::Test {
protected:
    testutil::ScopedRegTree hklm64_{HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_64KEY};
    testutil::ScopedRegTree hklm32_{HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_32KEY};
    testutil::ScopedRegTree hkcu_{HKEY_CURRENT_USER, kTestKey};
};

TEST_F(RegistryKeyTest, OpenMissingReadsFailsWriteCreates) {
    EXPECT_EQ(errorOf([] { RegistryKey k(RegistryKey::currentUser, std::string(kTestKey) + "\\Sub"); }),
              "open key (" + kTestKey + "\\Sub) error: 2");
    {
        RegistryKey created(RegistryKey::currentUser, std::string(kTestKey) + "\\Sub", RegistryKey::Write);
        created.setString("s", "v");
    }
    RegistryKey parent(RegistryKey::currentUser, kTestKey);
    EXPECT_TRUE(parent.hasSubkey("Sub"));
    EXPECT_FALSE(parent.hasSubkey("Other"));
    RegistryKey sub(parent, "Sub");
    EXPECT_EQ(sub.getString("s"), "v");
}

TEST_F(RegistryKeyTest, TypedValuesRoundTrip) {
    RegistryKey k(RegistryKey::currentUser, kTestKey, RegistryKey::Write);
    k.setDword("d", 0xDEADBEEF);
    k.setString("s", "text");
    k.setString("empty", "");
    const std::vector<uint8_t> bytes = {0, 1, 2, 255};
    k.setBinary("b", bytes);
    k.setBinary("nob", nullptr, 0);
    EXPECT_EQ(k.getDword("d"), 0xDEADBEEFu);
    EXPECT_EQ(k.getString("s"), "text");
    EXPECT_EQ(k.getString("empty"), "");
    EXPECT_EQ(k.getBinary("b"), bytes);
    EXPECT_TRUE(k.getBinary("nob").empty());
    DWORD type = 0;
    EXPECT_TRUE(k.hasValue("d", &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_FALSE(k.hasValue("missing"));
    EXPECT_EQ(errorOf([&] { k.getString("missing"); }), "query value (missing) error: 2");
}

TEST_F(RegistryKeyTest, MalformedValuesAreRefused) {
    const std::string key = kTestKey;
    const uint64_t eight = 1;
    const char noZero[] = {'a', 'b', 'c'};
    const char withZero[] = "xyz";
    const DWORD four = 4;
    testutil::setRawValue(HKEY_CURRENT_USER, key, "d8", REG_DWORD, &eight, 8);
    testutil::setRawValue(HKEY_CURRENT_USER, key, "d2", REG_DWORD, &four, 2);
    testutil::setRawValue(HKEY_CURRENT_USER, key, "sz_nozero", REG_SZ, noZero, 3);
    testutil::setRawValue(HKEY_CURRENT_USER, key, "sz_zero", REG_SZ, withZero, 4);
    testutil::setRawValue(HKEY_CURRENT_USER, key, "expand", REG_EXPAND_SZ, "%TEMP%", 7);
    testutil::setRawValue(HKEY_CURRENT_USER, key, "multi", REG_MULTI_SZ, "a\0b\0", 5);
    testutil::setRawValue(HKEY_CURRENT_USER, key, "dw", REG_DWORD, &four, 4);
    RegistryKey k(RegistryKey::currentUser, key);
    EXPECT_EQ(errorOf([&] { k.getDword("d8"); }), "query dword value (d8) error: wrong size");
    EXPECT_EQ(errorOf([&] { k.getDword("d2"); }), "query dword value (d2) error: wrong size");
    EXPECT_EQ(errorOf([&] { k.getDword("sz_zero"); }), "query dword value (sz_zero) error: wrong type");
    EXPECT_EQ(k.getString("sz_nozero"), "abc");
    EXPECT_EQ(k.getString("sz_zero"), "xyz");
    EXPECT_EQ(k.getString("expand"), "%TEMP%");
    EXPECT_EQ(errorOf([&] { k.getString("multi"); }), "query string value (multi) error: wrong type");
    EXPECT_EQ(errorOf([&] { k.getString("dw"); }), "query string value (dw) error: wrong type");
    EXPECT_EQ(errorOf([&] { k.getBinary("dw"); }), "query binary value (dw) error: wrong type");
}

TEST_F(RegistryKeyTest, ViewsAreInheritedByChildren) {
    const std::string key = std::string(kTestKey) + "\\Child";
    testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "view", REG_SZ, "64", 3, KEY_WOW64_64KEY);
    testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "view", REG_SZ, "32", 3, KEY_WOW64_32KEY);
    RegistryKey parent32(RegistryKey::localMachine32, kTestKey);
    EXPECT_EQ(parent32.viewFlags(), static_cast<uint32_t>(KEY_WOW64_32KEY));
    RegistryKey child32(parent32, "Child");
    EXPECT_EQ(child32.getString("view"), "32");
    RegistryKey parent64(RegistryKey::localMachine64, kTestKey);
    RegistryKey child64(parent64, "Child");
    EXPECT_EQ(child64.getString("view"), "64");
    RegistryKey plain(RegistryKey::localMachine, key);
    EXPECT_EQ(plain.getString("view"), "64");  // a 64-bit program's own view
}

TEST_F(RegistryKeyTest, EnumSubkeysAndReopen) {
    RegistryKey k(RegistryKey::currentUser, kTestKey, RegistryKey::Write);
    for (const char* name : {"b", "a", "c"})
        RegistryKey(k, name, RegistryKey::Write);
    std::vector<std::string> names = k.enumSubkeys();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
    // A failed open keeps the key that was held.
    EXPECT_THROW(k.open(k, "missing", RegistryKey::Read, false), std::runtime_error);
    EXPECT_EQ(k.enumSubkeys().size(), 3u);
    k.open(k, "a", RegistryKey::Read, false);
    EXPECT_TRUE(k.enumSubkeys().empty());
}

}  // namespace
