// The progress window under Xvfb, driven by its real writers: the scriptable
// msiexec sets the start event and writes the shared operation record while
// this thread waits for it and pumps the window's messages, as the main flow
// does. The record and the event have fixed names (RESOURCE_LOCK
// operation-record).
#include "launcher/ui/setup_progress_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/test_util.h"
#include "common/text_conversion.h"
#include "foundation/executor.h"
#include "launcher/ui_test_driver.h"
#include "support/fake_msiexec_control.h"

namespace {

constexpr char kTitle[] = "Tolva Setup - Progress";

// Dispatches this thread's messages until pred holds or timeoutMs passed.
template <class Pred>
[[nodiscard]] bool pumpUntil(Pred pred, DWORD timeoutMs) {
    return testutil::waitFor([&] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return pred();
    }, timeoutMs);
}

// Runs the scripted msiexec as the main flow's install does: the executor's
// wait that dispatches the calling thread's messages (RunMsiInstall without
// its registry clean-up).
DWORD runFakeInstall() {
    const std::string path = testutil::toUtf8(tds_test::FakeMsiexec::exePath());
    return Executor::ExecProcessWithAtlMessageLoop(path, testutil::quote(path) + " /i sample.msi /qn", 0, nullptr);
}

// Samples the bar from another thread while the test thread pumps.
class BarWatcher {
public:
    explicit BarWatcher(HWND dialog) : dialog_(dialog), thread_(&BarWatcher::watch, this) {}
    ~BarWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::vector<int> positions() {
        std::lock_guard<std::mutex> guard(mutex_);
        return positions_;
    }
    bool everVisible() const { return visible_.load(); }
    bool screenshotTaken() const { return screenshot_.load(); }

private:
    void watch() {
        while (!stop_.load()) {
            if (IsWindowVisible(dialog_)) {
                visible_ = true;
                DWORD_PTR pos = 0;
                if (SendMessageTimeoutA(GetDlgItem(dialog_, CSetupProgressDialog::kBarControl), PBM_GETPOS, 0, 0,
                                        SMTO_ABORTIFHUNG, 1000, &pos)) {
                    std::lock_guard<std::mutex> guard(mutex_);
                    positions_.push_back(static_cast<int>(pos));
                    if (pos > 300 && !screenshot_.load())
                        takeScreenshot();
                }
            }
            Sleep(50);  // the sampling interval
        }
    }
    // With TDS_SCREENSHOT naming a Unix path, the screen as a user sees it.
    void takeScreenshot() {
        char target[1024] = {};
        screenshot_ = true;
        if (GetEnvironmentVariableA("TDS_SCREENSHOT", target, sizeof target) == 0)
            return;
        testutil::runProcess(std::string("/usr/local/bin/import -window root ") + target, 20000);
    }

    HWND dialog_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> visible_{false};
    std::atomic<bool> screenshot_{false};
    std::mutex mutex_;
    std::vector<int> positions_;
    std::thread thread_;
};

TEST(SetupProgressDialogTest, Install_ShowsAdvancingBarThenHidesAndDestroys) {
    tds_test::FakeMsiexec fake(
        "record 1 1\n"
        "setevent KessaSetupMsiStarted\n"
        "sleep 700\n"
        "record 1 2\n"
        "sleep 300\n"
        "record 3 1\n"
        "sleep 1200\n"
        "record 7 2\n"
        "sleep 400\n"
        "exit 0\n");
    CSetupProgressDialog dialog(0);
    ASSERT_NE(dialog.Create(GetDesktopWindow()), nullptr);
    const HWND window = dialog.hwnd();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(dialog.ShowWindow(SW_SHOW), 0) << "no show before the installer has started";
    EXPECT_FALSE(IsWindowVisible(window));
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ(caption, kTitle);
    EXPECT_EQ(uitest::itemText(window, CSetupProgressDialog::kStatusControl), "Status:    Installing Tolva");
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_MAXIMIZEBOX, 0);
    EXPECT_TRUE(GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);

    std::vector<int> positions;
    {
        BarWatcher watcher(window);
        EXPECT_EQ(runFakeInstall(), 0u);
        // The worker hides the page once the last operation is reported.
        EXPECT_TRUE(pumpUntil([&] { return !IsWindowVisible(window) && watcher.everVisible(); }, 10000));
        positions = watcher.positions();
    }
    ASSERT_FALSE(positions.empty()) << "the page was never shown";
    EXPECT_GT(*std::max_element(positions.begin(), positions.end()), 300);
    // It moved in several steps, never backwards.
    EXPECT_GE(std::set<int>(positions.begin(), positions.end()).size(), 3u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(SendMessageA(GetDlgItem(window, CSetupProgressDialog::kBarControl), PBM_GETPOS, 0, 0), 966);

    dialog.ShowWindow(SW_HIDE);
    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(dialog.hasWorker());
    EXPECT_EQ(createOperationRecord()->read().getState(), 0u) << "the record is cleared for the next run";
}

TEST(SetupProgressDialogTest, Destroy_BeforeInstallerStartsEndsAtOnceUnseen) {
    CSetupProgressDialog dialog(0);
    ASSERT_NE(dialog.Create(GetDesktopWindow()), nullptr);
    const HWND window = dialog.hwnd();
    // Dispatching for a while, as the launcher's loop does, so that the
    // worker is most often in its wait for the start event when the page goes.
    (void)pumpUntil([] { return false; }, 200);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_FALSE(dialog.hasWorker());
    EXPECT_FALSE(IsWindow(window));
}

TEST(SetupProgressDialogTest, Destroy_WhileInstallerStillReportsDoesNotHang) {
    // The installer is still running its operation when the page goes (the
    // main flow's error path): the worker is stopped and joined while it is
    // showing and moving the page from its own thread.
    tds_test::FakeMsiexec fake("record 2 1\nsetevent KessaSetupMsiStarted\nsleep 3000\nexit 0\n");
    CSetupProgressDialog dialog(0);
    ASSERT_NE(dialog.Create(GetDesktopWindow()), nullptr);
    const HWND window = dialog.hwnd();
    testutil::ChildProcess installer;
    const std::string path = testutil::toUtf8(tds_test::FakeMsiexec::exePath());
    ASSERT_TRUE(installer.start(testutil::quote(path)));
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(window) != FALSE; }, 10000));
    EXPECT_TRUE(dialog.DestroyWindow());  // no pumping here: the worker must not need it
    EXPECT_FALSE(dialog.hasWorker());
    installer.wait(10000);
}

TEST(SetupProgressDialogTest, DoModal_ShowsAndEndsOnEscape) {
    CSetupProgressDialog dialog(0);
    INT_PTR result = 0;
    uitest::Driver driver([] {
        HWND shown = uitest::waitForDialog(kTitle);
        if (shown != nullptr)
            PostMessageA(shown, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    });
    result = dialog.DoModal(GetActiveWindow());
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dialog.hasWorker());
}

}  // namespace
