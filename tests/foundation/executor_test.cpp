// The executor against real child processes: a helper that records its
// command line and ends as told, and a stand-in shell that reads the
// temporary shortcut.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <thread>

#include "common/files.h"
#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/test_util.h"
#include "foundation/executor.h"
#include "foundation/executor_internal.h"
#include "foundation/handle_release.h"

namespace {

using testutil::besideExe;

std::string helper() { return besideExe("tds_cmdlog_helper.exe"); }

class ExecutorTest : public ::testing::Test {
protected:
    void TearDown() override { executor_internal::setDesktopUserHooksForTesting({}); }
    std::string childLog() const {
        return testutil::fileExists(logFile_) ? testutil::readFileText(logFile_) : std::string();
    }

    testutil::ScratchDir dir_{"exec"};
    std::string logFile_ = dir_.file("cmd.log");
    testutil::ScopedEnvironment env_{"TDS_CMDLOG_FILE", logFile_};
};

bool childOfUsRunning(const char* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiA(entry.szExeFile, exeName) == 0)
            found = true;
    CloseHandle(snapshot);
    return found;
}

struct CommandLineCase {
    const char* path;
    const char* args;
    const char* commandLine;
};

class SetArgumentsTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(SetArgumentsTest, BuildsCommandLine) {
    Executor executor(GetParam().path);
    executor.setArguments(GetParam().args);
    EXPECT_EQ(executor.commandLine(), GetParam().commandLine);
}

INSTANTIATE_TEST_SUITE_P(
    Quoting, SetArgumentsTest,
    ::testing::Values(
        CommandLineCase{" \t\"C:\\Program Files\\a.exe\" ", "/s", "\"C:\\Program Files\\a.exe\" /s"},
        CommandLineCase{"C:\\a.exe", "\"C:\\a.exe\" /i x.msi", "\"C:\\a.exe\" /i x.msi"},
        CommandLineCase{"C:\\a.exe", "C:\\a.exe /i x.msi", "\"C:\\a.exe\" /i x.msi"},
        CommandLineCase{"C:\\a.exe", " \t ", "\"C:\\a.exe\""},
        CommandLineCase{"C:\\a.exe", "/p C:\\a.exe", "\"C:\\a.exe\" /p C:\\a.exe"},
        CommandLineCase{"C:\\a.exe", "  /q  ", "\"C:\\a.exe\" /q"}));

TEST(Executor_EmptyPath, ThrowsAndEveryEntryAnswers1627) {
    testutil::LogCapture log;
    EXPECT_THROW(Executor(" \t "), Executor::ExecutorError);
    EXPECT_THROW(Executor("\"\""), Executor::ExecutorError);
    bool started = true;
    EXPECT_EQ(Executor::ExecProcess("  ", "/x", 0, &started), 1627u);
    EXPECT_TRUE(started);  // not written: nothing was tried
    EXPECT_EQ(Executor::ExecProcessWaitForFinish("\t", "", 0, 1000, nullptr), 1627u);
    EXPECT_EQ(Executor::ExecProcessWithAtlMessageLoop("", "", 0, nullptr), 1627u);
    EXPECT_EQ(Executor::ExecProcessAsDesktopUser(" ", "", nullptr), 1627u);
    EXPECT_TRUE(log.contains("ERROR: Executor: applicationPath is empty"));
    EXPECT_TRUE(log.contains("ERROR: ExecutorError in Executor::ExecProcess applicationPath is empty"));
    EXPECT_TRUE(log.contains("ERROR: ExecutorError in Executor::ExecProcessWaitForFinish applicationPath is empty"));
    EXPECT_TRUE(log.contains("ERROR: ExecutorError in Executor::ExecProcessWithAtlMessageLoop applicationPath is empty"));
    EXPECT_TRUE(log.contains("ERROR: ExecProcessAsDesktopUser: appPath is empty"));
}

TEST_F(ExecutorTest, ExecProcess_ReturnsAtOnceWhileChildRuns) {
    bool started = false;
    const DWORD begin = GetTickCount();
    EXPECT_EQ(Executor::ExecProcess(helper(), "sleep=1500", 0, &started), 0u);
    EXPECT_LT(GetTickCount() - begin, 1000u);
    EXPECT_TRUE(started);
    ASSERT_TRUE(testutil::waitFor([&] { return !childLog().empty(); }));
    EXPECT_EQ(childLog().find("ended"), std::string::npos);
    EXPECT_TRUE(testutil::waitFor([&] { return childLog().find("ended") != std::string::npos; }));
}

TEST_F(ExecutorTest, ExecProcessWaitForFinish_ChildSeesCommandLine) {
    testutil::LogCapture log;
    bool started = false;
    const std::string path = helper();
    EXPECT_EQ(Executor::ExecProcessWaitForFinish("  \"" + path + "\" ", "exit=1618 \"two words\"", 1, 30000, &started),
              1618u);
    EXPECT_TRUE(started);
    const std::string expected = "\"" + path + "\" exit=1618 \"two words\"";
    EXPECT_EQ(childLog(), expected + "\nended\n");
    EXPECT_TRUE(log.contains("INFO: Executor.exec(): " + expected + "\r\n"));
    EXPECT_TRUE(log.contains("INFO: Executor.finishExecution(): WaitForSingleObject exited with code 0\r\n"));
    EXPECT_TRUE(log.contains("INFO: Executor.finishExecution(): ExitCode = 1618\r\n"));
    EXPECT_TRUE(log.contains("ERROR: Executor.finishExecution(): Process execution  failed with system error "));
}

class ExitCodeTest : public ExecutorTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(ExitCodeTest, FullExitCodeComesBack) {
    const std::string args = "exit=" + std::to_string(GetParam());
    EXPECT_EQ(Executor::ExecProcessWaitForFinish(helper(), args, 1, 30000, nullptr), GetParam());
    EXPECT_EQ(Executor::ExecProcessWithAtlMessageLoop(helper(), args, 1, nullptr), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Codes, ExitCodeTest, ::testing::Values(0u, 1u, 1602u, 3010u, 0xC0000409u));

TEST_F(ExecutorTest, ExecProcessWaitForFinish_TimeoutTerminates) {
    testutil::LogCapture log;
    const DWORD begin = GetTickCount();
    EXPECT_EQ(Executor::ExecProcessWaitForFinish(helper(), "sleep=20000", 1, 1000, nullptr), 258u);
    EXPECT_LT(GetTickCount() - begin, 10000u);
    EXPECT_TRUE(log.contains("INFO: Executor.finishExecution(): WaitForSingleObject exited with code 258\r\n"));
    EXPECT_TRUE(log.contains("INFO: Executor.finishExecution(): The timeout is elapsed. Terminating Process.\r\n"));
    EXPECT_TRUE(testutil::waitFor([] { return !childOfUsRunning("tds_cmdlog_helper.exe"); }, 5000));
    EXPECT_EQ(childLog().find("ended"), std::string::npos);
}

TEST_F(ExecutorTest, MissingProgram_AnswersStartError) {
    testutil::LogCapture log;
    bool started = true;
    EXPECT_EQ(Executor::ExecProcessWaitForFinish(besideExe("no-such-program.exe"), "/x", 0, 1000, &started), 2u);
    EXPECT_FALSE(started);
    EXPECT_TRUE(log.contains("ERROR: Executor.exec(): CreateProcess failed with system error 2 ("));
}

// Records the messages that reach it, by window kind.
int unicodeMessages = 0;
int ansiMessages = 0;
LRESULT CALLBACK countingProcW(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP + 5)
        ++unicodeMessages;
    return DefWindowProcW(w, m, wp, lp);
}
LRESULT CALLBACK countingProcA(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP + 5)
        ++ansiMessages;
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(ExecutorTest, ExecProcessWithAtlMessageLoop_DispatchesWhileWaiting) {
    WNDCLASSW wcw = {};
    wcw.lpfnWndProc = countingProcW;
    wcw.lpszClassName = L"TdsCountW";
    RegisterClassW(&wcw);
    WNDCLASSA wca = {};
    wca.lpfnWndProc = countingProcA;
    wca.lpszClassName = "TdsCountA";
    RegisterClassA(&wca);
    HWND wide = CreateWindowW(L"TdsCountW", L"w", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND narrow = CreateWindowA("TdsCountA", "a", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(wide && narrow);
    unicodeMessages = ansiMessages = 0;
    PostMessageW(wide, WM_APP + 5, 0, 0);
    PostMessageA(narrow, WM_APP + 5, 0, 0);
    PostQuitMessage(0);
    // A timer posted from another thread while the child runs.
    std::thread later([wide] {
        Sleep(300);
        PostMessageW(wide, WM_APP + 5, 0, 0);
    });
    bool started = false;
    EXPECT_EQ(Executor::ExecProcessWithAtlMessageLoop(helper(), "sleep=1200 exit=5", 0, &started), 5u);
    later.join();
    EXPECT_TRUE(started);
    EXPECT_EQ(unicodeMessages, 2);
    EXPECT_EQ(ansiMessages, 1);
    // The quit message was taken and dropped, and the child ran to its end.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_NE(childLog().find("ended"), std::string::npos);
    DestroyWindow(wide);
    DestroyWindow(narrow);
}

class DesktopUserTest : public ExecutorTest {
protected:
    void SetUp() override {
        executor_internal::DesktopUserHooks hooks;
        const std::string data = dataDir_;
        hooks.shellProgram = [] { return besideExe("tds_link_shell_helper.exe"); };
        hooks.commonAppDataDir = [data] { return data; };
        CreateDirectoryA(dataDir_.c_str(), nullptr);
        executor_internal::setDesktopUserHooksForTesting(hooks);
    }
    std::string dataDir_ = dir_.file("All Users Data");
    std::string linkPath_ = dataDir_ + "\\Quorvane\\tmpinstall\\tolvatmp.lnk";
};

TEST_F(DesktopUserTest, StartsThroughQuotedShortcutAndCleansUp) {
    bool started = false;
    // The shell's link object refuses (S_FALSE) a target that does not exist.
    EXPECT_EQ(Executor::ExecProcessAsDesktopUser(" " + helper() + "\t", "/x \"y z\"", &started), 0u);
    EXPECT_TRUE(started);
    const std::string shell = besideExe("tds_link_shell_helper.exe");
    EXPECT_EQ(childLog(), "\"" + shell + "\" \"" + linkPath_ + "\"\n" + helper() + "\n/x \"y z\"\n");
    EXPECT_FALSE(testutil::fileExists(linkPath_));
    EXPECT_FALSE(testutil::fileExists(dataDir_ + "\\Quorvane\\tmpinstall"));
    EXPECT_TRUE(testutil::fileExists(dataDir_ + "\\Quorvane"));
}

TEST_F(DesktopUserTest, ShortcutFailureWithoutErrorAnswers1627) {
    executor_internal::DesktopUserHooks hooks;
    hooks.shellProgram = [] { return besideExe("tds_link_shell_helper.exe"); };
    const std::string data = dataDir_;
    hooks.commonAppDataDir = [data] { return data; };
    hooks.createShellLink = [](IShellLinkA** out) {
        *out = nullptr;
        SetLastError(0);
        return E_FAIL;
    };
    executor_internal::setDesktopUserHooksForTesting(hooks);
    testutil::LogCapture log;
    bool started = true;
    EXPECT_EQ(Executor::ExecProcessAsDesktopUser("C:\\Apps\\tool.exe", "", &started), 1627u);
    EXPECT_TRUE(started);  // not written
    EXPECT_EQ(childLog(), "");
    EXPECT_TRUE(log.contains("ERROR: CreateShortCutItem() - pTolvaShortCutItem.CoCreateInstance call failed"));
    EXPECT_TRUE(log.contains("ERROR: ExecProcessAsDesktopUser failed to create temporary shortcut failed with system error 1627 ("));
}

TEST_F(DesktopUserTest, FoldersNotFoundFailsWithoutStarting) {
    executor_internal::DesktopUserHooks hooks;
    hooks.commonAppDataDir = []() -> std::string { throw std::runtime_error("SHGetFolderPath(CSIDL_COMMON_APPDATA) failed"); };
    hooks.shellProgram = [] { return besideExe("tds_link_shell_helper.exe"); };
    executor_internal::setDesktopUserHooksForTesting(hooks);
    testutil::LogCapture log;
    bool started = true;
    EXPECT_EQ(Executor::ExecProcessAsDesktopUser("C:\\Apps\\tool.exe", "", &started), 3u);
    EXPECT_EQ(childLog(), "");
    EXPECT_TRUE(log.contains("ERROR: ExecProcessAsDesktopUser: SHGetFolderPath(CSIDL_COMMON_APPDATA) failed"));
}

TEST_F(DesktopUserTest, KeepsTheCallersComApartment) {
    DWORD result = 0;
    HRESULT again = E_FAIL;
    std::thread worker([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        result = Executor::ExecProcessAsDesktopUser(helper(), "", nullptr);
        // Still in the multithreaded apartment: initialising again answers S_FALSE.
        again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(again))
            CoUninitialize();
        CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(again, S_FALSE);
}

TEST(ScopedHolder, ReleasesOnceUnlessPassedOn) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD flags = 0;
    { ScopedWin32Handle holder(event); }
    EXPECT_FALSE(GetHandleInformation(event, &flags));
    HANDLE kept = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        ScopedWin32Handle holder(kept);
        ScopedWin32Handle moved(std::move(holder));
        EXPECT_EQ(holder.get(), nullptr);
        EXPECT_EQ(moved.release(), kept);
    }
    EXPECT_TRUE(GetHandleInformation(kept, &flags));
    CloseHandle(kept);
    closeWin32Handle(INVALID_HANDLE_VALUE);  // neither invalid value is closed
    closeWin32Handle(nullptr);
    closeRegKey(nullptr);
    closeInternetHandle(nullptr);
}

}  // namespace
