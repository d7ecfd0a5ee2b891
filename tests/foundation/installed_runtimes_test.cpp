// Installed runtimes read from runtime keys seeded in both registry views of
// the prefix, with homes that hold (or lack) bin\tolva.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/test_util.h"
#include "foundation/installed_runtimes.h"

namespace {

const char kFamily[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment\\";

class InstalledRuntimesTest : public ::testing::Test {
protected:
    ~InstalledRuntimesTest() override {
        for (const auto& k : seeded_)
            testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kFamily + k.first, k.second);
    }

    // A home folder under the scratch folder, with bin\tolva.exe when asked.
    std::string home(const std::string& name, bool withProgram = true) {
        const std::string path = scratch_.file(name);
        CreateDirectoryA(path.c_str(), nullptr);
        CreateDirectoryA((path + "\\bin").c_str(), nullptr);
        if (withProgram)
            testutil::writeFileBytes(path + "\\bin\\tolva.exe", "MZ");
        return path;
    }

    void seed(const std::string& version, REGSAM view, const std::string& home, bool micro = true, bool lib = true,
              DWORD homeType = REG_SZ, const char* fullVersion = nullptr) {
        seeded_.push_back({version, view});
        const std::string key = kFamily + version;
        testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "TolvaHome", homeType, home.c_str(),
                              static_cast<DWORD>(home.size() + 1), view);
        if (micro)
            testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "MicroVersion", REG_SZ, "0", 2, view);
        if (lib)
            testutil::setRawValue(HKEY_LOCAL_MACHINE, key, "RuntimeLib", REG_SZ, "x", 2, view);
        if (fullVersion)
            testutil::setRawValue(HKEY_LOCAL_MACHINE, key + "\\MSI", "FullVersion", REG_SZ, fullVersion,
                                  static_cast<DWORD>(strlen(fullVersion) + 1), view);
    }

    // The entries of a list whose homes are this test's own, as "view:version".
    std::vector<std::string> ours(const TolvaVersionList& list) const {
        std::vector<std::string> out;
        for (size_t i = 0; i < list.count(); ++i) {
            if (list[i].home.compare(0, scratch_.path().size(), scratch_.path()) == 0)
                out.push_back(std::to_string(list[i].view) + ":" + list[i].version);
        }
        return out;
    }

    testutil::ScratchDir scratch_{"rt"};
    std::vector<std::pair<std::string, REGSAM>> seeded_;
};

using Names = std::vector<std::string>;

TEST_F(InstalledRuntimesTest, Enumerate_ReadsBothViewsThirtyTwoBitFirst) {
    seed("1.7.0_05", KEY_WOW64_64KEY, home("a"), true, true, REG_SZ, "1.7.0_05-b13");
    seed("1.6.0_45", KEY_WOW64_32KEY, home("b"));
    InstalledTolvaVersions installed;
    EXPECT_EQ(ours(installed.getList(1)), Names{"1:1.6.0_45"});
    EXPECT_EQ(ours(installed.getList(2)), Names{"2:1.7.0_05"});
    EXPECT_EQ(ours(installed.getList(0)), Names{"2:1.7.0_05"});
    EXPECT_EQ(ours(installed.getList(3)), (Names{"1:1.6.0_45", "2:1.7.0_05"}));
    EXPECT_EQ(installed.getList(4).count(), 0u);
    EXPECT_EQ(installed.getList(-1).count(), 0u);

    const TolvaVersionList all = installed.getList(3);
    for (size_t i = 0; i < all.count(); ++i) {
        if (all[i].version == "1.7.0_05") {
            EXPECT_EQ(all[i].shortVersion, "1.7.0");
            EXPECT_EQ(all[i].home, scratch_.file("a"));
            ASSERT_TRUE(all[i].fullVersion.has_value());
            EXPECT_EQ(*all[i].fullVersion, "1.7.0_05-b13");
        }
        if (all[i].version == "1.6.0_45") {
            EXPECT_FALSE(all[i].fullVersion.has_value());
        }
    }
}

TEST_F(InstalledRuntimesTest, Enumerate_SameHomeKeepsGreaterVersion) {
    const std::string shared = home("shared");
    seed("1.7.0_02", KEY_WOW64_64KEY, shared);
    seed("1.7.0_10", KEY_WOW64_64KEY, shared);
    seed("1.7.0_01", KEY_WOW64_64KEY, shared);
    // The same folder in the other view is another install.
    seed("1.7.0_03", KEY_WOW64_32KEY, shared);
    InstalledTolvaVersions installed;
    EXPECT_EQ(ours(installed.getList(3)), (Names{"1:1.7.0_03", "2:1.7.0_10"}));
}

TEST_F(InstalledRuntimesTest, Enumerate_ReplacingEntryMustPassChecksToo) {
    const std::string shared = home("shared");
    seed("1.7.0_02", KEY_WOW64_64KEY, shared);
    seed("1.7.0_09", KEY_WOW64_64KEY, shared, true, /*lib=*/false);
    InstalledTolvaVersions installed;
    EXPECT_EQ(ours(installed.getList(2)), Names{"2:1.7.0_02"});
}

TEST_F(InstalledRuntimesTest, Enumerate_SkipsIncompleteKeys) {
    seed("1.7.0_11", KEY_WOW64_64KEY, home("noexe", false));
    seed("1.7.0_12", KEY_WOW64_64KEY, home("nomicro"), false, true);
    seed("1.7.0_13", KEY_WOW64_64KEY, home("expand"), true, true, REG_EXPAND_SZ);
    seed("1.7.0_14", KEY_WOW64_64KEY, home("good"));
    InstalledTolvaVersions installed;
    EXPECT_EQ(ours(installed.getList(2)), Names{"2:1.7.0_14"});
}

TEST_F(InstalledRuntimesTest, Enumerate_GoesOnPastOverlongSubkeyName) {
    // Sorted before the real versions, so the walk meets it first.
    const std::string longName = "0" + std::string(199, 'x');
    seed(longName, KEY_WOW64_64KEY, home("long"));
    seed("1.7.0_15", KEY_WOW64_64KEY, home("after"));
    InstalledTolvaVersions installed;
    EXPECT_EQ(ours(installed.getList(2)), Names{"2:1.7.0_15"});
}

TEST_F(InstalledRuntimesTest, Enumerate_ThirtyTwoBitSystemReadsOnlyItsView) {
    seed("1.7.0_16", KEY_WOW64_64KEY, home("x64"));
    seed("1.7.0_17", KEY_WOW64_32KEY, home("x86"));
    InstalledTolvaVersions installed(false);
    EXPECT_EQ(installed.getList(2).count(), 0u);
    EXPECT_EQ(ours(installed.getList(3)), Names{"1:1.7.0_17"});
}

TEST_F(InstalledRuntimesTest, GetLatest_ComparesTextsIgnoringCase) {
    seed("1.10.0", KEY_WOW64_64KEY, home("ten"));
    seed("1.9.0", KEY_WOW64_64KEY, home("nine"));
    InstalledTolvaVersions installed;
    const InstalledTolvaVersions::Entry* latest = installed.getList(2).getLatest();
    ASSERT_NE(latest, nullptr);
    EXPECT_EQ(latest->version, "1.9.0");
    EXPECT_EQ(installed.getList(4).getLatest(), nullptr);
}

TEST(RegKeyTest, QueryValueAnswersCodesAndKeepsData) {
    // A key of this process's own.
    const std::string path = "Software\\TdsRegKeyTest-" + std::to_string(GetCurrentProcessId());
    testutil::ScopedRegTree tree(HKEY_CURRENT_USER, path);
    testutil::setRawValue(HKEY_CURRENT_USER, path, "s", REG_SZ, "ab\0cd", 6);
    testutil::setRawValue(HKEY_CURRENT_USER, path, "d", REG_DWORD, "\1\0\0\0", 4);
    RegKey key(HKEY_CURRENT_USER);
    RegValueData data;
    EXPECT_EQ(key.queryValue("s", data), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.open(path + "\\Missing", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.opened());
    ASSERT_EQ(key.open(path, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(key.queryValue("missing", data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(data.type, static_cast<uint32_t>(REG_NONE));
    EXPECT_EQ(key.getValue("s").read().getString(), std::optional<std::string>("ab"));
    EXPECT_FALSE(key.getValue("d").read().getString().has_value());
    EXPECT_EQ(key.getValue("d").read().bytes.size(), 4u);
    std::string name = "untouched";
    EXPECT_EQ(key.enumKey(0, name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(name, "untouched");
}

}  // namespace
