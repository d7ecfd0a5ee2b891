#include "launcher/browser_launch.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <memory>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "common/window_finder.h"
#include "foundation/registry_view_internal.h"
#include "foundation/tstrings.h"
#include "launcher/browser_launch_internal.h"

namespace {

const char kVendor[] = "SOFTWARE\\TolvaSoft";
const char kChromeAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe";
const char kIeAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
const std::string kVerify = "http://www.tolva.example/verify9/?src=install";

std::string browserDir(const std::string& name) { return testutil::besideExe("fake-browsers\\" + name); }
std::string browserExe(const std::string& name) { return browserDir(name) + "\\" + name + ".exe"; }
std::string browserLogPath(const std::string& name) { return browserDir(name) + "\\browser.log"; }

std::vector<std::string> browserLog(const std::string& name) { return testutil::readFileLines(browserLogPath(name)); }

// The stand-ins' folder, in lower case.
std::string standInFolder() { return tstrings::toLower(testutil::besideExe("fake-browsers\\")); }

// Whether the process runs a program from folder (lower case).
bool isStandIn(HANDLE process, const std::string& folder) {
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    return QueryFullProcessImageNameA(process, 0, path, &size) && tstrings::toLower(path).rfind(folder, 0) == 0;
}

// Ids of the running stand-in browsers (by their folder, so no other
// program of the same name is ever touched).
std::vector<DWORD> standInProcesses() {
    std::vector<DWORD> ids;
    const std::string folder = standInFolder();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        if (isStandIn(process, folder))
            ids.push_back(entry.th32ProcessID);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ids;
}

// Ends the stand-ins the tests started (directly or through the shell).
// Each is checked again through the handle that ends it: a stand-in that
// ended meanwhile may have given its id to another test's program.
void endStandIns() {
    const std::string folder = standInFolder();
    for (DWORD id : standInProcesses()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
        if (!process)
            continue;
        if (isStandIn(process, folder)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

bool hasWindow(DWORD processId) {
    testutil::WindowQuery shown;
    shown.processId = processId;
    return testutil::findWindow(shown) != nullptr;
}

void setText(const std::string& key, const char* name, const std::string& text, DWORD type = REG_SZ) {
    testutil::setRawValue(HKEY_LOCAL_MACHINE, key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool vendorValueExists(const char* name, REGSAM view = 0) {
    return testutil::registryValueExists(HKEY_LOCAL_MACHINE, kVendor, name, view);
}

// The browser registrations and vendor values start empty and are put back
// as they were; stand-in browsers and their logs are gone before and after.
class BrowserLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* key : {kVendor, kChromeAppPath, kIeAppPath, "SOFTWARE\\Mozilla", "SOFTWARE\\mozilla.org",
                                "SOFTWARE\\Netscape"}) {
            backups_.push_back(std::make_unique<testutil::ScopedRegBackup>(HKEY_LOCAL_MACHINE, key));
            backups_.back()->clear();
        }
        endStandIns();
        for (const char* name : {"chrome", "firefox", "iexplore"})
            DeleteFileA(browserLogPath(name).c_str());
    }
    void TearDown() override {
        registry_view_internal::setRunning32BitForTesting(-1);
        browser_launch_internal::setSessionLookupForTesting(nullptr);
        endStandIns();
        for (const char* name : {"chrome", "firefox", "iexplore"})
            DeleteFileA(browserLogPath(name).c_str());
        backups_.clear();
    }
    static void registerFirefox(const std::string& product = "Mozilla Firefox",
                                const std::string& version = "115.0.2 (x64 en-US)") {
        const std::string key = "SOFTWARE\\Mozilla\\" + product;
        setText(key, "CurrentVersion", version);
        setText(key + "\\" + version + "\\Main", "Install Directory", browserDir("firefox"));
    }
    static void registerIE() { setText(kIeAppPath, "", browserExe("iexplore")); }
    // Starts a stand-in directly and waits for its window.
    std::unique_ptr<testutil::ChildProcess> startBrowser(const std::string& name) {
        auto child = std::make_unique<testutil::ChildProcess>();
        EXPECT_TRUE(child->start(testutil::quote(browserExe(name))));
        EXPECT_TRUE(testutil::waitFor([&] { return hasWindow(child->pid()); }, 20000));
        return child;
    }
    static bool waitForLines(const std::string& name, size_t count) {
        return testutil::waitFor([&] { return browserLog(name).size() >= count; }, 20000);
    }

    std::vector<std::unique_ptr<testutil::ScopedRegBackup>> backups_;
    testutil::LogCapture log_;
};

// --- install folders -----------------------------------------------------------

struct InstallCase {
    const char* name;
    int browser;
    const char* vendor;
    const char* product;
    const char* version;
    DWORD versionType;
    bool withMain;
    const char* folder;
    bool found;
};

class InstallDirs : public BrowserLaunch, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallDirs, GetBrowserInstallDir_FollowsVendorProductAndVersion) {
    const InstallCase& c = GetParam();
    const std::string key = std::string("SOFTWARE\\") + c.vendor + "\\" + c.product;
    setText(key, "CurrentVersion", c.version, c.versionType);
    if (c.withMain)
        setText(key + "\\" + c.version + "\\Main", "Install Directory", c.folder);
    char buffer[MAX_PATH] = "untouched";
    EXPECT_EQ(c.found, GetBrowserInstallDir(buffer, c.browser));
    EXPECT_STREQ(c.found ? c.folder : "untouched", buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallDirs,
    ::testing::Values(
        InstallCase{"Firefox", 2, "Mozilla", "Mozilla Firefox", "115.0.2 (x64 en-US)", REG_SZ, true,
                    "C:\\Program Files\\Mozilla Firefox", true},
        InstallCase{"FirefoxExpandableVersion", 2, "Mozilla", "Mozilla Firefox", "3.6", REG_EXPAND_SZ, true,
                    "C:\\Firefox", true},
        InstallCase{"MinefieldWhenNoFirefox", 2, "Mozilla", "Minefield", "3.7a1pre", REG_SZ, true, "C:\\Minefield",
                    true},
        InstallCase{"FirefoxBelowOne", 2, "Mozilla", "Mozilla Firefox", "0.9", REG_SZ, true, "C:\\Firefox", false},
        InstallCase{"FirefoxWithoutMain", 2, "Mozilla", "Mozilla Firefox", "20.0", REG_SZ, false, "", false},
        InstallCase{"FirefoxEmptyFolder", 2, "Mozilla", "Mozilla Firefox", "20.0", REG_SZ, true, "", false},
        InstallCase{"FirefoxVersionNotText", 2, "Mozilla", "Mozilla Firefox", "20.0", REG_BINARY, true,
                    "C:\\Firefox", false},
        InstallCase{"MozillaSuite", 1, "mozilla.org", "Mozilla", "1.7.13 (en)", REG_SZ, true, "C:\\Mozilla", true},
        InstallCase{"MozillaSuiteBelowOnePointOne", 1, "mozilla.org", "Mozilla", "1.0", REG_SZ, true,
                    "C:\\Mozilla", false},
        InstallCase{"NetscapeAnyVersion", 0, "Netscape", "Netscape 6", "0.1", REG_SZ, true, "C:\\Netscape", true},
        InstallCase{"UnknownBrowser", 3, "Mozilla", "Mozilla Firefox", "20.0", REG_SZ, true, "C:\\Firefox",
                    false}),
    [](const ::testing::TestParamInfo<InstallCase>& info) { return std::string(info.param.name); });

// --- opening the verify page ---------------------------------------------------

TEST_F(BrowserLaunch, LaunchChrome_OpensTheVerifyPageInANewWindow) {
    setText(kChromeAppPath, "path", browserDir("chrome"));
    LaunchChrome();
    ASSERT_TRUE(waitForLines("chrome", 1));
    EXPECT_EQ("\"" + browserExe("chrome") + "\" -new-window \"" + kVerify + "\"", browserLog("chrome")[0]);
}

TEST_F(BrowserLaunch, LaunchChrome_NotRegisteredOnlyLogs) {
    LaunchChrome();
    EXPECT_TRUE(log_.contains("LaunchChrome(): Failed to find Chrome.exe path: "));
    setText(kChromeAppPath, "path", "");
    LaunchChrome();
    // Time for a wrongly started browser to show up; none may.
    Sleep(300);
    EXPECT_TRUE(standInProcesses().empty());
}

TEST_F(BrowserLaunch, LaunchFirefox_OpensTheVerifyPageAsTheDesktopUser) {
    registerFirefox();
    LaunchFirefox();
    ASSERT_TRUE(waitForLines("firefox", 1));
    const std::string line = browserLog("firefox")[0];
    EXPECT_NE(std::string::npos, tstrings::toLower(line).find(tstrings::toLower(browserExe("firefox")))) << line;
    EXPECT_NE(std::string::npos, line.find("-new-window " + kVerify)) << line;
}

TEST_F(BrowserLaunch, LaunchIE_OpensTheVerifyPageInTheRegisteredProgram) {
    registerIE();
    LaunchIE();
    EXPECT_TRUE(log_.contains("Restart IE"));
    ASSERT_TRUE(waitForLines("iexplore", 1));
    EXPECT_NE(std::string::npos, browserLog("iexplore")[0].find(kVerify)) << browserLog("iexplore")[0];
}

TEST_F(BrowserLaunch, LaunchIE_MissingOrWrongRegistrationOnlyLogs) {
    LaunchIE();
    EXPECT_TRUE(log_.contains("LaunchIE ---- failed to open version IExplore key ---- "));
    const DWORD notText = 1;
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kIeAppPath, "", REG_DWORD, &notText, sizeof notText);
    LaunchIE();
    EXPECT_TRUE(log_.contains("LaunchIE ---- failed to get value of the IExplore.exe string ---- "));
    // Time for a browser started through the shell to show up; none may.
    Sleep(300);
    EXPECT_TRUE(standInProcesses().empty());
}

// --- closing and restarting -------------------------------------------------------

TEST_F(BrowserLaunch, CloseProcessesByName_ClosesEveryWindowOfThatProgramOnly) {
    auto first = startBrowser("firefox");
    auto second = startBrowser("firefox");
    auto other = startBrowser("iexplore");
    EXPECT_EQ(0, CloseProcessesByName("FIREFOX.EXE", true));
    // Exit code 7 is the stand-in's own answer to WM_CLOSE, not a termination.
    ASSERT_TRUE(first->wait(10000));
    ASSERT_TRUE(second->wait(10000));
    EXPECT_EQ(7u, first->exitCode());
    EXPECT_EQ(7u, second->exitCode());
    EXPECT_FALSE(other->wait(0));
    EXPECT_EQ(0, CloseProcessesByName("iexplore.exe", false));
    ASSERT_TRUE(other->wait(10000));
    EXPECT_EQ(7u, other->exitCode());
}

// A browser of another logon session is never asked, nor terminated after
// the wait: its user would lose the work. Two sessions cannot be had under
// Wine, so the seam places one stand-in in another session.
TEST_F(BrowserLaunch, CloseProcessesByName_LeavesOtherSessionsAlone) {
    auto own = startBrowser("firefox");
    auto foreign = startBrowser("firefox");
    const DWORD foreignPid = foreign->pid();
    DWORD ownSession = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &ownSession));
    browser_launch_internal::setSessionLookupForTesting([&](DWORD pid, DWORD* session) {
        *session = pid == foreignPid ? ownSession + 1 : ownSession;
        return true;
    });
    EXPECT_EQ(0, CloseProcessesByName("firefox.exe", true));
    ASSERT_TRUE(own->wait(10000));
    EXPECT_EQ(7u, own->exitCode());
    // Longer than the 5 s after which an asked process is terminated.
    EXPECT_FALSE(foreign->wait(6000));
    EXPECT_TRUE(hasWindow(foreignPid));
    EXPECT_TRUE(log_.contains("is not in this session: left running"));

    // A process whose session cannot be told is left alone as well.
    browser_launch_internal::setSessionLookupForTesting([&](DWORD pid, DWORD* session) {
        *session = ownSession;
        return pid != foreignPid;
    });
    EXPECT_EQ(0, CloseProcessesByName("firefox.exe", true));
    EXPECT_FALSE(foreign->wait(6000));
    browser_launch_internal::setSessionLookupForTesting(nullptr);
    EXPECT_EQ(0, CloseProcessesByName("firefox.exe", true));
    ASSERT_TRUE(foreign->wait(10000));
    EXPECT_EQ(7u, foreign->exitCode());
}

class Restart : public BrowserLaunch, public ::testing::WithParamInterface<bool> {};

TEST_P(Restart, BrowserRestart_ClosesBothAndRestartsOnlyOn32Bit) {
    const bool system32 = GetParam();
    registry_view_internal::setRunning32BitForTesting(system32 ? 1 : 0);
    registerFirefox();
    registerIE();
    setText(kVendor, "IERESTART", "1");
    setText(kVendor, "FIREFOXRESTART", "1");
    auto ie = startBrowser("iexplore");
    auto firefox = startBrowser("firefox");

    BrowserRestart();
    ASSERT_TRUE(ie->wait(10000));
    ASSERT_TRUE(firefox->wait(10000));
    EXPECT_EQ(7u, ie->exitCode());
    EXPECT_EQ(7u, firefox->exitCode());
    EXPECT_FALSE(vendorValueExists("IERESTART"));
    EXPECT_FALSE(vendorValueExists("FIREFOXRESTART"));
    const std::string text = log_.text();
    EXPECT_NE(std::string::npos, text.find("The IE browser will be closed"));
    EXPECT_NE(std::string::npos, text.find("The Firefox browser will be closed"));

    if (system32) {
        // Start line, "closed", then the restart with the verify page.
        ASSERT_TRUE(waitForLines("firefox", 3));
        ASSERT_TRUE(waitForLines("iexplore", 3));
        EXPECT_NE(std::string::npos, browserLog("firefox")[2].find("-new-window " + kVerify));
        EXPECT_NE(std::string::npos, browserLog("iexplore")[2].find(kVerify));
        const size_t firefoxRestart = text.find("The Firefox browser will be restarted");
        const size_t ieRestart = text.find("The IE browser will be restarted");
        ASSERT_NE(std::string::npos, firefoxRestart);
        ASSERT_NE(std::string::npos, ieRestart);
        EXPECT_LT(firefoxRestart, ieRestart);
    } else {
        // Time for a restarted browser to write its line; none may.
        Sleep(1000);
        EXPECT_EQ(2u, browserLog("firefox").size());
        EXPECT_EQ(2u, browserLog("iexplore").size());
        EXPECT_EQ(std::string::npos, text.find("will be restarted"));
        EXPECT_TRUE(standInProcesses().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Systems, Restart, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "System32Bit" : "System64Bit");
                         });

// Flags read from the 32-bit view (no 64-bit vendor key) go from that view,
// or every later install would close the browsers again.
TEST_F(BrowserLaunch, BrowserRestart_FlagsFoundInThe32BitViewAreDeletedThere) {
    testutil::ScopedRegBackup vendor32(HKEY_LOCAL_MACHINE, kVendor, KEY_WOW64_32KEY);
    vendor32.clear();
    registry_view_internal::setRunning32BitForTesting(0);
    registerFirefox();
    for (const char* name : {"IERESTART", "FIREFOXRESTART"})
        testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendor, name, REG_SZ, "1", 2, KEY_WOW64_32KEY);
    auto firefox = startBrowser("firefox");

    BrowserRestart();
    ASSERT_TRUE(firefox->wait(10000));
    EXPECT_TRUE(log_.contains("The IE browser will be closed"));
    EXPECT_FALSE(vendorValueExists("IERESTART", KEY_WOW64_32KEY));
    EXPECT_FALSE(vendorValueExists("FIREFOXRESTART", KEY_WOW64_32KEY));

    auto again = startBrowser("firefox");
    BrowserRestart();
    const std::string text = log_.text();
    const std::string closed = "The Firefox browser will be closed";
    EXPECT_EQ(text.find(closed), text.rfind(closed)) << "a later run closed the browser again";
    EXPECT_FALSE(again->wait(0));
}

TEST_F(BrowserLaunch, BrowserRestart_WithoutTheValuesLeavesBrowsersRunning) {
    registerFirefox();
    auto firefox = startBrowser("firefox");
    // A restart request of another type than text is not a request.
    const DWORD one = 1;
    testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendor, "FIREFOXRESTART", REG_DWORD, &one, sizeof one);
    BrowserRestart();
    EXPECT_FALSE(firefox->wait(500));
    EXPECT_FALSE(log_.contains("will be closed"));
    EXPECT_TRUE(vendorValueExists("FIREFOXRESTART"));
}

}  // namespace
