// The installation lock file in the user's data folder, held by this process
// and by helper processes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/child_process.h"
#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "foundation/logger.h"
#include "launcher/installation_lock.h"
#include "launcher/installation_lock_internal.h"

namespace {

std::string flagPath() {
    char path[MAX_PATH] = {};
    EXPECT_EQ(GetInstallationFlagPath(path, sizeof(path)), 1);
    return path;
}

class Event {
public:
    explicit Event(const std::string& name) : name_(name), handle_(CreateEventA(nullptr, TRUE, FALSE, name.c_str())) {}
    ~Event() { CloseHandle(handle_); }
    void set() { SetEvent(handle_); }
    bool wait(DWORD ms) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    HANDLE handle_;
};

std::string unique(const char* tag) { return std::string("TdsLockTest") + tag + std::to_string(GetCurrentProcessId()); }

class InstallationLockTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileA(flagPath().c_str()); }
    void TearDown() override {
        CloseInstallationFlag();
        DeleteFileA(flagPath().c_str());
    }
};

TEST_F(InstallationLockTest, GetInstallationFlagPath_BuildsPathAndFolders) {
    const std::string path = flagPath();
    const std::string tail = "\\Brask\\Tolva\\TOLVA_INSTALL_FLAG";
    ASSERT_GT(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
    const std::string folder = path.substr(0, path.size() - std::string("TOLVA_INSTALL_FLAG").size() - 1);
    EXPECT_NE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    char small[259];
    EXPECT_EQ(GetInstallationFlagPath(small, sizeof(small)), 0);
}

bool missingFolder(char* buffer) {
    strcpy(buffer, "C:\\TdsNoSuchFolder\\deeper");
    return true;
}
bool noFolder(char*) { return false; }

TEST_F(InstallationLockTest, GetInstallationFlagPath_FolderFailuresAnswerZero) {
    installation_lock_internal::setUserDataFolderForTesting(missingFolder);
    char path[MAX_PATH];
    EXPECT_EQ(GetInstallationFlagPath(path, sizeof(path)), 0);
    // Nothing to test against: no other installation, and no lock either.
    EXPECT_FALSE(IsAnotherInstallationInProgress());
    EXPECT_EQ(SetInstallationFlag(), 0);
    installation_lock_internal::setUserDataFolderForTesting(noFolder);
    EXPECT_EQ(GetInstallationFlagPath(path, sizeof(path)), 0);
    installation_lock_internal::setUserDataFolderForTesting(nullptr);
    const std::string log = testutil::readFileText(Logger::getInstance().path());
    EXPECT_NE(log.find("Fail to create directory C:\\TdsNoSuchFolder\\deeper\\Brask\\, ErrorCode is 3"),
              std::string::npos);
}

TEST_F(InstallationLockTest, SetInstallationFlag_HoldsFileUntilClosed) {
    const std::string path = flagPath();
    EXPECT_FALSE(IsAnotherInstallationInProgress());
    ASSERT_EQ(SetInstallationFlag(), 1);
    EXPECT_TRUE(testutil::fileExists(path));
    EXPECT_TRUE(IsAnotherInstallationInProgress());
    EXPECT_TRUE(testutil::fileExists(path));
    EXPECT_EQ(SetInstallationFlag(), 1);  // held already
    CloseInstallationFlag();
    EXPECT_FALSE(testutil::fileExists(path));
    EXPECT_FALSE(IsAnotherInstallationInProgress());
}

TEST_F(InstallationLockTest, IsAnotherInstallationInProgress_RemovesLeftOverFile) {
    const std::string path = flagPath();
    testutil::writeFileBytes(path, "");
    EXPECT_FALSE(IsAnotherInstallationInProgress());
    EXPECT_FALSE(testutil::fileExists(path));
}

TEST_F(InstallationLockTest, HelperHoldingLock_BlocksUntilItEnds) {
    Event ready(unique("Ready")), release(unique("Release"));
    testutil::ChildProcess holder;
    ASSERT_TRUE(holder.start(testutil::quote(testutil::besideExe("launcher_lock_helper.exe")) + " hold " +
                             ready.name() + " " + release.name()));
    ASSERT_TRUE(ready.wait(20000));
    EXPECT_TRUE(IsAnotherInstallationInProgress());
    EXPECT_EQ(SetInstallationFlag(), 0);
    // The system releases the lock of a process that ends without closing it.
    holder.terminate();
    ASSERT_TRUE(holder.wait(10000));
    EXPECT_TRUE(testutil::waitFor([] { return !IsAnotherInstallationInProgress(); }, 5000));
    EXPECT_EQ(SetInstallationFlag(), 1);
}

TEST_F(InstallationLockTest, TwoLaunchersTogether_ExactlyOneTakesLock) {
    for (int round = 0; round < 3; ++round) {
        Event go(unique("Go") + std::to_string(round)), release(unique("Rel") + std::to_string(round));
        const std::string readyName = unique("Ready") + std::to_string(round);
        HANDLE ready = CreateSemaphoreA(nullptr, 0, 2, readyName.c_str());
        ASSERT_NE(ready, nullptr);
        testutil::ChildProcess a, b;
        const std::string command = testutil::quote(testutil::besideExe("launcher_lock_helper.exe")) + " contend " +
                                    go.name() + " " + release.name() + " " + readyName;
        ASSERT_TRUE(a.start(command));
        ASSERT_TRUE(b.start(command));
        // Both wait for go before either tries the lock.
        const bool bothReady =
            WaitForSingleObject(ready, 20000) == WAIT_OBJECT_0 && WaitForSingleObject(ready, 20000) == WAIT_OBJECT_0;
        CloseHandle(ready);
        ASSERT_TRUE(bothReady) << "the two helpers did not both get ready";
        go.set();
        // The loser ends at once; the winner holds until released.
        ASSERT_TRUE(testutil::waitFor([&] { return WaitForSingleObject(a.handle(), 0) == WAIT_OBJECT_0 ||
                                                   WaitForSingleObject(b.handle(), 0) == WAIT_OBJECT_0; },
                                      20000))
            << "neither helper ended: both took the lock, or neither tried";
        release.set();
        ASSERT_TRUE(a.wait(20000));
        ASSERT_TRUE(b.wait(20000));
        const DWORD codes[] = {a.exitCode(), b.exitCode()};
        EXPECT_EQ((codes[0] == 10) + (codes[1] == 10), 1) << codes[0] << " " << codes[1];
        EXPECT_TRUE(codes[0] == 20 || codes[0] == 30 || codes[1] == 20 || codes[1] == 30)
            << codes[0] << " " << codes[1];
        EXPECT_FALSE(IsAnotherInstallationInProgress());
    }
}

}  // namespace
