#include "foundation/browsers.h"
#include "foundation/runtime_home.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "foundation/file_utils_internal.h"
#include "foundation/logger.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"

namespace {

const char kClients[] = "Software\\Clients\\StartMenuInternet";

// Creates subkeys of HKLM StartMenuInternet in one view and removes exactly
// those again (the prefix's own browser entries stay as they were).
class ClientsFixture : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& entry : created_)
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, entry.first.c_str(), entry.second, 0);
    }
    void addClient(const std::string& name, REGSAM view) {
        const std::string path = std::string(kClients) + "\\" + name;
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
        RegCloseKey(key);
        created_.push_back({path, view});
    }
    static bool present(const std::string& name, REGSAM view) {
        HKEY key = nullptr;
        const std::string path = std::string(kClients) + "\\" + name;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    std::vector<std::pair<std::string, REGSAM>> created_;
};

TEST_F(ClientsFixture, IsInstalled_FollowsTheRegisteredNamesInTheChosenView) {
    ASSERT_FALSE(present("FIREFOX.EXE", KEY_WOW64_64KEY) || present("FIREFOX.EXE", KEY_WOW64_32KEY))
        << "a fresh prefix registers no Firefox: a test left one behind";
    EXPECT_FALSE(browsers::isInstalled(browsers::FIREFOX, false));
    addClient("FIREFOX.EXE", KEY_WOW64_32KEY);
    EXPECT_TRUE(browsers::isInstalled(browsers::FIREFOX, true));
    EXPECT_FALSE(browsers::isInstalled(browsers::FIREFOX, false));
    addClient("FIREFOX.EXE", KEY_WOW64_64KEY);
    EXPECT_TRUE(browsers::isInstalled(browsers::FIREFOX, false));
}

TEST_F(ClientsFixture, IsInstalled_InternetExplorerByItsKey) {
    if (!present("IEXPLORE.EXE", KEY_WOW64_64KEY))
        addClient("IEXPLORE.EXE", KEY_WOW64_64KEY);
    EXPECT_TRUE(browsers::isInstalled(browsers::INTERNET_EXPLORER, false));
}

struct ChromeCase {
    const char* subkey;
    bool counts;
};

class ChromeNames : public ClientsFixture, public ::testing::WithParamInterface<ChromeCase> {};

TEST_P(ChromeNames, IsInstalled_ChromeByNamePrefixInAnyCase) {
    // A view of our own for Chrome: no prefix registers it, so the answer is
    // the test's key alone.
    ASSERT_FALSE(browsers::isInstalled(browsers::CHROME, false))
        << "a fresh prefix registers no Chrome: a test left one behind";
    addClient(GetParam().subkey, KEY_WOW64_64KEY);
    EXPECT_EQ(GetParam().counts, browsers::isInstalled(browsers::CHROME, false));
}

INSTANTIATE_TEST_SUITE_P(Names, ChromeNames,
                         ::testing::Values(ChromeCase{"Google Chrome", true},
                                           ChromeCase{"Google Chrome.ABCDEF123", true},
                                           ChromeCase{"GOOGLE CHROME", true},
                                           ChromeCase{"Chrome", false},
                                           ChromeCase{"Google Chrom", false}));

std::string readLog() { return testutil::readFileText(Logger::getInstance().path()); }

TEST(Browsers, IsInstalled_UnknownIdLogsAndAnswersFalse) {
    const size_t before = readLog().size();
    EXPECT_FALSE(browsers::isInstalled(3, false));
    const std::string added = readLog().substr(before);
    EXPECT_NE(std::string::npos, added.find("Exception with message '"));
    EXPECT_NE(std::string::npos, added.find("unexpected browserId' caught"));
}

// Files named tds<number>.html in the temporary folder.
std::vector<std::string> probeFiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((SysInfo::getTempDir() + "\\tds*.html").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

// No ".html" mapping for the length of a test, or one to a class of the
// test's own whose open command is the given program; what the prefix had
// is put back afterwards (a fresh prefix maps no ".html" at all).
class HtmlAssociation : public ::testing::Test {
protected:
    void SetUp() override {
        html_.clear();
        class_.clear();
    }
    void associate(const std::string& program) {
        const std::string cls = "TdsTestHtml";
        testutil::setRawValue(HKEY_LOCAL_MACHINE, kHtmlKey, "", REG_SZ, cls.c_str(),
                              static_cast<DWORD>(cls.size() + 1));
        const std::string command = "\"" + program + "\" \"%1\"";
        testutil::setRawValue(HKEY_LOCAL_MACHINE, std::string(kClassKey) + "\\shell\\open\\command", "",
                              REG_SZ, command.c_str(), static_cast<DWORD>(command.size() + 1));
    }
    static constexpr const char* kHtmlKey = "Software\\Classes\\.html";
    static constexpr const char* kClassKey = "Software\\Classes\\TdsTestHtml";
    testutil::ScopedRegBackup html_{HKEY_LOCAL_MACHINE, kHtmlKey};
    testutil::ScopedRegBackup class_{HKEY_LOCAL_MACHINE, kClassKey};
};

TEST_F(HtmlAssociation, GetDefaultBrowserPath_NamesTheAssociatedProgramAndRemovesItsProbe) {
    const std::string program = testutil::selfPath();
    associate(program);
    const auto before = probeFiles();
    EXPECT_EQ(tstrings::toLower(program), tstrings::toLower(browsers::getDefaultBrowserPath()));
    EXPECT_EQ(before, probeFiles());
}

// A virus scanner opens the new probe file before it can be deleted: the
// deletion really fails, and the browser is found all the same.
TEST_F(HtmlAssociation, GetDefaultBrowserPath_ProbeThatCannotBeDeletedStillNamesTheProgram) {
    const std::string program = testutil::selfPath();
    associate(program);
    std::string probe;
    HANDLE held = INVALID_HANDLE_VALUE;
    fileutils_internal::setDeleteFileHookForTesting([&](const std::string& path) {
        probe = path;
        held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        return DeleteFileA(path.c_str()) != FALSE;
    });
    const size_t logBefore = readLog().size();
    std::string found;
    EXPECT_NO_THROW(found = browsers::getDefaultBrowserPath());
    fileutils_internal::setDeleteFileHookForTesting(nullptr);
    EXPECT_EQ(tstrings::toLower(program), tstrings::toLower(found));
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << probe;
    EXPECT_TRUE(testutil::fileExists(probe)) << "the deletion did not fail";
    EXPECT_NE(std::string::npos, readLog().substr(logBefore).find("DeleteFile(" + probe + ") failed with"));
    CloseHandle(held);
    DeleteFileA(probe.c_str());
}

TEST_F(HtmlAssociation, GetDefaultBrowserPath_NoAssociationThrowsAndLogs) {
    const auto before = probeFiles();
    const size_t logBefore = readLog().size();
    try {
        browsers::getDefaultBrowserPath();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("cannot find default browser", e.what());
    }
    EXPECT_NE(std::string::npos, readLog().substr(logBefore).find("FindExecutable failed with system error"));
    EXPECT_EQ(before, probeFiles());
}

TEST_F(HtmlAssociation, LaunchDefault_StartsTheBrowserWithTheAddress) {
    const std::string out = SysInfo::getTempDir() + "\\browser_probe.out";
    DeleteFileA(out.c_str());
    associate(testutil::besideExe("browser_probe.exe"));
    EXPECT_TRUE(browsers::launchDefault("https://www.tolva.example/verify"));
    EXPECT_TRUE(testutil::waitFor(
        [&] { return testutil::readFileText(out).find("https://www.tolva.example/verify") != std::string::npos; },
        20000))
        << "the default browser did not get the address: \"" << testutil::readFileText(out) << "\"";
    DeleteFileA(out.c_str());
}

TEST_F(HtmlAssociation, LaunchDefault_NoBrowserAnswersFalseAndLogs) {
    const size_t logBefore = readLog().size();
    EXPECT_FALSE(browsers::launchDefault("https://www.tolva.example/verify"));
    EXPECT_NE(std::string::npos, readLog().substr(logBefore).find("cannot find default browser"));
}

// --- runtime home -----------------------------------------------------------

const char kVendor[] = "SOFTWARE\\TolvaSoft";
const char kRuntimeKey[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
const char kKitKey[] = "SOFTWARE\\TolvaSoft\\Tolva Development Kit";
const char kVersion[] = "97.0.1_5";

// Seeds a home value under a version of our own and removes what it made:
// the whole vendor key when it was not there before, else the version keys.
class RuntimeHome : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        vendorExisted_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendor, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        key = nullptr;
        runtimeExisted_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
    }
    void TearDown() override {
        if (!vendorExisted_) {
            testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVendor);
            return;
        }
        if (!runtimeExisted_)
            testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kRuntimeKey);
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, std::string(kRuntimeKey) + "\\" + kVersion);
        testutil::deleteRegTree(HKEY_LOCAL_MACHINE, std::string(kKitKey) + "\\" + kVersion);
    }
    static void seed(const char* productKey, DWORD type, const std::string& bytes) {
        testutil::setRawValue(HKEY_LOCAL_MACHINE, std::string(productKey) + "\\" + kVersion,
                              "TolvaHome", type, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    static std::string stored(const char* productKey) {
        char data[512] = {};
        DWORD size = sizeof data - 1;
        const std::string path = std::string(productKey) + "\\" + kVersion;
        RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), "TolvaHome", RRF_RT_ANY | RRF_NOEXPAND,
                     nullptr, data, &size);
        return data;
    }
    bool vendorExisted_ = false;
    bool runtimeExisted_ = false;
};

TEST_F(RuntimeHome, FindTolvaHome_ReadsTheHomeAndItsSize) {
    seed(kRuntimeKey, REG_SZ, std::string("C:\\Tolva\\kessa97", 17));
    char buffer[260];
    DWORD size = sizeof buffer;
    ASSERT_EQ(1, FindTolvaHome(kVersion, buffer, &size, false));
    EXPECT_STREQ("C:\\Tolva\\kessa97", buffer);
    EXPECT_EQ(17u, size);
    // The kit's key is a different one.
    EXPECT_EQ(0, FindTolvaHome(kVersion, buffer, sizeof buffer, true));
}

TEST_F(RuntimeHome, FindTolvaHome_KitAndExpandableValueNotExpanded) {
    seed(kKitKey, REG_EXPAND_SZ, std::string("%ProgramFiles%\\Vindel", 22));
    char buffer[260];
    ASSERT_EQ(1, FindTolvaHome(kVersion, buffer, sizeof buffer, true));
    EXPECT_STREQ("%ProgramFiles%\\Vindel", buffer);
}

TEST_F(RuntimeHome, FindTolvaHome_TrailingBackslashRemovedStoredValueKept) {
    seed(kRuntimeKey, REG_SZ, std::string("C:\\Tolva\\\0", 10));
    char buffer[260];
    DWORD size = sizeof buffer;
    ASSERT_EQ(1, FindTolvaHome(kVersion, buffer, &size, false));
    EXPECT_STREQ("C:\\Tolva", buffer);
    EXPECT_EQ(9u, size);
    // The key was opened for reading: the trimmed text is not written back.
    EXPECT_EQ("C:\\Tolva\\", stored(kRuntimeKey));
    const std::string log = testutil::readFileText(Logger::getInstance().path());
    EXPECT_NE(std::string::npos, log.find("ERROR: FindTolvaHome SetStringValue(TolvaHome) failed."));
}

struct BadHome {
    const char* name;
    DWORD type;
    std::string bytes;
    DWORD bufferSize;
    const char* logged;
};

class RuntimeHomeFailures : public RuntimeHome, public ::testing::WithParamInterface<BadHome> {};

TEST_P(RuntimeHomeFailures, FindTolvaHome_RefusesAndLogs) {
    const BadHome& c = GetParam();
    if (c.type != REG_NONE) {
        seed(kRuntimeKey, c.type, c.bytes);
    } else {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    std::vector<char> buffer(c.bufferSize, 'x');
    DWORD size = c.bufferSize;
    const size_t before = testutil::readFileText(Logger::getInstance().path()).size();
    EXPECT_EQ(0, FindTolvaHome(kVersion, buffer.data(), &size, false));
    const std::string added = testutil::readFileText(Logger::getInstance().path()).substr(before);
    EXPECT_NE(std::string::npos, added.find(c.logged)) << added;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuntimeHomeFailures,
    ::testing::Values(
        BadHome{"MissingVersion", REG_NONE, "", 64, "ERROR: FindTolvaHome Open(version) failed."},
        BadHome{"Dword", REG_DWORD, std::string("\1\0\0\0", 4), 64,
                "ERROR: FindTolvaHome QueryStringValue(TolvaHome) failed."},
        BadHome{"TooLong", REG_SZ, std::string("C:\\a-long-home-folder\0", 22), 8,
                "ERROR: FindTolvaHome QueryStringValue(TolvaHome) failed."}),
    [](const ::testing::TestParamInfo<BadHome>& info) { return std::string(info.param.name); });

TEST_F(RuntimeHome, FindTolvaHome_MissingProductKeyLogged) {
    // No product key, whatever a runtime installed in the prefix left; put
    // back at the end of the test.
    testutil::ScopedRegBackup runtime(HKEY_LOCAL_MACHINE, kRuntimeKey);
    runtime.clear();
    char buffer[64];
    EXPECT_EQ(0, FindTolvaHome(kVersion, buffer, sizeof buffer, false));
    const std::string log = testutil::readFileText(Logger::getInstance().path());
    EXPECT_NE(std::string::npos, log.find("ERROR: FindTolvaHome Open(KESSAMAINKEY) failed."));
}

TEST_F(RuntimeHome, FindTolvaHome_EmptyValueGivesEmptyText) {
    seed(kRuntimeKey, REG_SZ, std::string("\0", 1));
    char buffer[16] = "junk";
    ASSERT_EQ(1, FindTolvaHome(kVersion, buffer, sizeof buffer, false));
    EXPECT_STREQ("", buffer);
    seed(kRuntimeKey, REG_SZ, std::string());
    strcpy(buffer, "junk");
    ASSERT_EQ(1, FindTolvaHome(kVersion, buffer, sizeof buffer, false));
    EXPECT_STREQ("", buffer);
}

}  // namespace
