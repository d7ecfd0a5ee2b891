// kessa-setup.exe under the faults an administrator meets: the launcher
// killed while the Windows Installer runs, a package folder that cannot be
// written, a full disk, a runtime settings file held open by another
// program, and network peers that accept a connection and never answer.
// Each case is a declared state after a real launcher run: its exit code,
// the windows it showed, and the files and registry values it left.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <string>

#include "common/child_process.h"
#include "common/dialog_closer.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_servers.h"
#include "common/test_util.h"
#include "foundation/shell_utils.h"
#include "launcher/installation_lock.h"
#include "launcher/product_version.h"
#include "launcher_run.h"
#include "support/fake_msiexec_control.h"

namespace {

using e2e::keyExists;
using e2e::kRuntimeSettings;
using e2e::kVendorKey;
using e2e::lockPath;
using e2e::valueExists;

std::string launcher() { return testutil::besideExe("kessa-setup.exe"); }

std::string packageName() { return std::string("kessa") + kRuntimeVersion + ".msi"; }

// The versioned package folder under a user data folder.
std::string packageFolderUnder(const std::string& userData) {
    return userData + "\\Brask\\Tolva\\kessa" + kRuntimeVersion + "_x64";
}

std::string userDataFolder() {
    char base[MAX_PATH] = {};
    return GetAppDataLowDir(base) ? base : "";
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct RunOutcome {
    bool finished = false;
    int exitCode = 0;
    std::string windows;  // titles of the windows it showed
    std::string log;
    DWORD elapsedMs = 0;
};

// Runs the launcher with its own temporary folder (so the log is this run's)
// and watches its windows; a run that outlives timeoutMs is ended.
RunOutcome runLauncher(const std::string& arguments, DWORD timeoutMs = 300000) {
    testutil::ScratchDir temp("fault");
    testutil::ChildProcess child;
    RunOutcome run;
    const DWORD start = GetTickCount();
    if (!child.start(testutil::quote(launcher()) + " " + arguments, {{"TMP", temp.path()}, {"TEMP", temp.path()}}))
        return run;
    // Every window it shows is noted and answered with OK, so that a box in
    // a run that must show none ends the run instead of hanging it.
    testutil::DialogCloser::Options everyWindow;
    everyWindow.button = IDOK;
    everyWindow.everyWindow = true;
    everyWindow.periodMs = 200;
    testutil::DialogCloser watcher(child.pid(), everyWindow);
    run.finished = child.wait(timeoutMs);
    if (!run.finished) {
        child.terminate();
        child.wait(10000);
    }
    run.windows = watcher.stop();
    run.elapsedMs = GetTickCount() - start;
    run.exitCode = static_cast<int>(child.exitCode());
    run.log = testutil::readFileText(temp.file("tusched.log"));
    return run;
}

// Makes folder and each missing folder above it.
void makeFolders(const std::string& folder) {
    for (size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1))
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
}

// The user data folder of every program in the prefix moved to another
// folder for the length of a scope (the shell reads it from the user's shell
// folders); the key is put back as it was.
class UserDataFolderMoved {
public:
    explicit UserDataFolderMoved(const std::string& folder) {
        makeFolders(folder);
        testutil::setRawValue(HKEY_CURRENT_USER, kShellFolders, kLocalAppDataLow, REG_EXPAND_SZ, folder.c_str(),
                              static_cast<DWORD>(folder.size() + 1));
    }

private:
    static constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    static constexpr const char* kLocalAppDataLow = "{A520A1A4-1780-4FF6-BD18-167343C5AF16}";
    testutil::ScopedRegBackup backup_{HKEY_CURRENT_USER, kShellFolders};
};

// A TCP peer on 127.0.0.1 that takes every connection (the system completes
// them for the listening socket) and never reads or answers.
class StalledPeer {
public:
    StalledPeer() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (socket_ != INVALID_SOCKET && bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(socket_, SOMAXCONN) == 0) {
            int size = sizeof address;
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
            port_ = ntohs(address.sin_port);
        }
    }
    ~StalledPeer() {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        WSACleanup();
    }
    StalledPeer(const StalledPeer&) = delete;
    StalledPeer& operator=(const StalledPeer&) = delete;
    bool ready() const { return port_ != 0; }
    std::string httpsUrl(const std::string& path) const {
        return "https://localhost:" + std::to_string(port_) + path;
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
    unsigned port_ = 0;
};

class KessaSetupUnderFaults : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::clearVendorState();
        removePackage();
    }
    void TearDown() override {
        e2e::clearVendorState();
        removePackage();
    }
    static void removePackage() {
        const std::string folder = packageFolderUnder(userDataFolder());
        DeleteFileA((folder + "\\" + packageName()).c_str());
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA(folder.c_str());
    }

    tds_test::InstallerLocationOverride location_{tds_test::FakeMsiexec::folder()};
};

TEST_F(KessaSetupUnderFaults, KilledWhileMsiexecRuns_LockIsReleasedAndTheNextLauncherInstalls) {
    // The test holds the events, so none of them goes away with the double.
    HANDLE running = CreateEventA(nullptr, TRUE, FALSE, "TdsFaultMsiexecRunning");
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "TdsFaultMsiexecRelease");
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, "TdsFaultMsiexecDone");
    tds_test::FakeMsiexec fake(
        "[run 1]\nsetevent TdsFaultMsiexecRunning\nwaitevent TdsFaultMsiexecRelease|120000\n"
        "setevent TdsFaultMsiexecDone\nexit 0\n");
    testutil::ScratchDir temp("killed");
    testutil::ChildProcess first;
    ASSERT_TRUE(first.start(testutil::quote(launcher()) + " /s", {{"TMP", temp.path()}, {"TEMP", temp.path()}}));
    ASSERT_EQ(WaitForSingleObject(running, 60000), WAIT_OBJECT_0) << testutil::readFileText(temp.file("tusched.log"));
    EXPECT_TRUE(IsAnotherInstallationInProgress());

    first.terminate();
    ASSERT_TRUE(first.wait(20000));
    // Released by the system although the launcher's msiexec still runs: the
    // child does not inherit the lock.
    EXPECT_TRUE(testutil::waitFor([] { return !testutil::fileExists(lockPath()); }, 10000));
    EXPECT_FALSE(IsAnotherInstallationInProgress());
    EXPECT_EQ(WaitForSingleObject(done, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the orphaned msiexec ended early";
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(done, 30000), WAIT_OBJECT_0);

    const RunOutcome next = runLauncher("/s");
    ASSERT_TRUE(next.finished);
    EXPECT_EQ(next.exitCode, 0) << next.log;
    EXPECT_EQ(next.windows, "");
    const auto lines = fake.commandLines();
    ASSERT_EQ(lines.size(), 3u) << next.log;
    EXPECT_TRUE(contains(lines[1], packageName())) << lines[1];
    EXPECT_TRUE(contains(lines[2], "\\AU\\au.msi")) << lines[2];
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, std::string(kVendorKey) + "\\SilentInstall"));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kVendorKey, "InstallStatus"));
    CloseHandle(running);
    CloseHandle(release);
    CloseHandle(done);
}

TEST_F(KessaSetupUnderFaults, PackageFolderIsAFile_EndsWithThePathErrorAndWritesNothing) {
    const std::string folder = packageFolderUnder(userDataFolder());
    makeFolders(folder.substr(0, folder.rfind('\\')));
    RemoveDirectoryA(folder.c_str());
    testutil::writeFileBytes(folder, "in the way");
    tds_test::FakeMsiexec fake("exit 0\n");

    const RunOutcome run = runLauncher("/s");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, ERROR_PATH_NOT_FOUND) << run.log;
    EXPECT_TRUE(contains(run.log, "Installer : Wrapper.CreateFile  failed with error 3")) << run.log;
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_EQ(testutil::readFileText(folder), "in the way");
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    DeleteFileA(folder.c_str());
    EXPECT_EQ(run.windows, "") << "a silent run showed a window";
}

TEST_F(KessaSetupUnderFaults, FullDisk_EndsWithDiskFullAndLeavesNoCutPackage) {
    // A size-limited file system (64 KiB, smaller than the package) that the
    // test run mounts beside the test programs when it may.
    const std::string disk = testutil::besideExe("small-disk");
    ULARGE_INTEGER total = {};
    if (!GetDiskFreeSpaceExA((disk + "\\").c_str(), nullptr, &total, nullptr) || total.QuadPart > 1024 * 1024)
        GTEST_SKIP() << "no size-limited file system at " << disk << " (mounting one needs root)";
    const std::string userData = disk + "\\LocalLow";
    RunOutcome run;
    {
        UserDataFolderMoved moved(userData);
        tds_test::FakeMsiexec fake("exit 0\n");
        run = runLauncher("/s");
        EXPECT_TRUE(fake.commandLines().empty());
    }
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, ERROR_DISK_FULL) << run.log;
    EXPECT_TRUE(contains(run.log, "Installer : Wrapper.WriteFile (In small chunks)  failed with error 112")) << run.log;
    EXPECT_FALSE(testutil::fileExists(packageFolderUnder(userData) + "\\" + packageName()))
        << "a cut package stayed behind";
    EXPECT_FALSE(testutil::fileExists(userData + "\\Brask\\Tolva\\TOLVA_INSTALL_FLAG"));
    RemoveDirectoryA(packageFolderUnder(userData).c_str());
    RemoveDirectoryA((userData + "\\Brask\\Tolva").c_str());
    RemoveDirectoryA((userData + "\\Brask").c_str());
    RemoveDirectoryA(userData.c_str());
    EXPECT_EQ(run.windows, "") << "a silent run showed a window";
}

TEST_F(KessaSetupUnderFaults, RuntimeSettingsHeldOpen_EndsWithConfigurationErrorAndLeavesTheFile) {
    CreateDirectoryA("C:\\ProgramData\\Quorvane", nullptr);
    CreateDirectoryA(e2e::kRuntimeSettingsFolder, nullptr);
    const std::string before = "AUTO_UPDATE=Enable\r\nWEB_ANALYTICS=Disable\r\n";
    testutil::writeFileBytes(kRuntimeSettings, before);
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "TdsFaultSettingsHeld");
    testutil::ChildProcess holder;
    ASSERT_TRUE(holder.start(testutil::quote(testutil::besideExe("file_holder.exe")) +
                             " --share none --access rw --disposition existing --ready-event TdsFaultSettingsHeld " +
                             testutil::quote(kRuntimeSettings)));
    ASSERT_EQ(WaitForSingleObject(held, 20000), WAIT_OBJECT_0);
    tds_test::FakeMsiexec fake("exit 0\n");

    const RunOutcome run = runLauncher("/s AUTO_UPDATE=Disable");
    holder.terminate();
    holder.wait(10000);
    CloseHandle(held);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, -80) << run.log;
    EXPECT_EQ(run.windows, "");
    EXPECT_TRUE(contains(run.log, "Runtime configuration file import failed with 304")) << run.log;
    EXPECT_TRUE(contains(run.log, "Error occurred while loading configuration settings. Exiting installer."));
    EXPECT_TRUE(fake.commandLines().empty());
    EXPECT_FALSE(testutil::fileExists(lockPath()));
    EXPECT_EQ(testutil::readFileText(kRuntimeSettings), before);
}

TEST_F(KessaSetupUnderFaults, StalledNetworkPeers_SilentInstallStillEndsWithZero) {
    StalledPeer peer;
    ASSERT_TRUE(peer.ready());
    const testutil::TestServers& servers = testutil::TestServers::get();
    ASSERT_TRUE(servers.ready());
    // A document that sends the status ping, the country lookup and the
    // image download to the stalled peer.
    const std::string served = "stalled-peers-" + testutil::uniqueTag() + ".xml";
    testutil::writeFileBytes(servers.filesDir() + "\\" + served,
                             "<tolva-update><information version=\"1.0\" xml:lang=\"en\">"
                             "<post-status>" + peer.httpsUrl("/ping") + "</post-status>"
                             "<cntry-lookup>" + peer.httpsUrl("/country") + "</cntry-lookup>"
                             "<msi-url>" + peer.httpsUrl("/image") + "</msi-url>"
                             "</information></tolva-update>");
    // A stalled request is given up after its 30 s time-out and a margin
    // (35 s): the document alone, or the country lookup, the image and the
    // ping one after the other.
    const struct {
        const char* stalled;
        std::string documentUrl;
        DWORD mostMs;
    } cases[] = {
        {"the options document", peer.httpsUrl("/options.xml"), 50000},
        {"status ping, country lookup and image", servers.httpsUrl("/files/" + served), 3 * 35000 + 15000},
    };
    for (const auto& c : cases) {
        e2e::clearVendorState();
        testutil::setRawValue(HKEY_LOCAL_MACHINE, kVendorKey, "InstallerXmlURL", REG_SZ, c.documentUrl.c_str(),
                              static_cast<DWORD>(c.documentUrl.size() + 1), KEY_WOW64_64KEY);
        tds_test::FakeMsiexec fake("exit 0\n");
        const RunOutcome run = runLauncher("/s", 600000);
        ASSERT_TRUE(run.finished) << c.stalled;
        EXPECT_EQ(run.exitCode, 0) << c.stalled << run.log;
        EXPECT_EQ(run.windows, "") << c.stalled;
        EXPECT_EQ(fake.commandLines().size(), 2u) << c.stalled;
        EXPECT_LT(run.elapsedMs, c.mostMs) << c.stalled;
        EXPECT_FALSE(testutil::fileExists(lockPath())) << c.stalled;
        std::printf("[ stalled %s: %lu ms ]\n", c.stalled, static_cast<unsigned long>(run.elapsedMs));
    }
    DeleteFileA((servers.filesDir() + "\\" + served).c_str());
}

}  // namespace
