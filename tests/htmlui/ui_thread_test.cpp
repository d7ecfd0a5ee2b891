// The HTML engine's UI thread: one thread for every action, nested actions,
// failing actions, the end of the thread with its last handle (also when that
// handle goes on the UI thread itself) and the accelerator walk.

#include <windows.h>

#include <comdef.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "common/log_capture.h"
#include "common/test_util.h"
#include "foundation/ipc/errors.h"
#include "foundation/tds_error.h"
#include "htmlui/ui_thread.h"
#include "htmlui/ui_thread_internal.h"

namespace {

static_assert(!std::is_copy_constructible<ui::UIThread>::value, "UIThread handles are counted, not copied");
static_assert(!std::is_copy_assignable<ui::UIThread>::value, "UIThread handles are counted, not copied");

class Action : public ipc::Runnable {
public:
    explicit Action(std::function<void()> body) : body_(std::move(body)) {}
    void run() override { body_(); }

private:
    std::function<void()> body_;
};

DWORD runOnUIThread(ui::UIThread& thread) {
    DWORD id = 0;
    Action action([&] { id = GetCurrentThreadId(); });
    thread.runAction(&action);
    return id;
}

// A handle of the calling thread that stays valid after it ends.
HANDLE currentThreadHandle() {
    HANDLE handle = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle, SYNCHRONIZE, FALSE, 0);
    return handle;
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

TEST(UIThread, RunAction_FirstStartsThreadLaterOnesReuseIt) {
    ui::UIThread thread;
    const DWORD first = runOnUIThread(thread);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, GetCurrentThreadId());
    EXPECT_EQ(ui::internal::currentUIThreadId(), first);
    const HWND window = ui::internal::currentControlWindow();
    ASSERT_NE(window, nullptr);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ(className, "ControlWindow");
    EXPECT_FALSE(IsWindowVisible(window));
    {
        ui::UIThread second;  // another handle shares the same thread
        EXPECT_EQ(runOnUIThread(second), first);
    }
    // Two handles, one released: thread and window stay.
    EXPECT_EQ(runOnUIThread(thread), first);
    EXPECT_EQ(ui::internal::currentControlWindow(), window);
    EXPECT_TRUE(IsWindow(window));
}

TEST(UIThread, RunAction_NestedOnUIThreadRunsAtOnce) {
    ui::UIThread thread;
    std::vector<std::string> order;
    DWORD outerId = 0, innerId = 0;
    Action inner([&] {
        innerId = GetCurrentThreadId();
        order.push_back("inner");
    });
    Action outer([&] {
        outerId = GetCurrentThreadId();
        order.push_back("outer begins");
        EXPECT_TRUE(thread.isUIThread());
        thread.runAction(&inner);
        order.push_back("outer ends");
    });
    thread.runAction(&outer);
    EXPECT_EQ(order, (std::vector<std::string>{"outer begins", "inner", "outer ends"}));
    EXPECT_EQ(innerId, outerId);
    EXPECT_FALSE(thread.isUIThread());
}

TEST(UIThread, RunAction_NullActionIsALogicError) {
    ui::UIThread thread;
    EXPECT_THROW(thread.runAction(nullptr), std::logic_error);
}

TEST(UIThread, RunAction_ThrowingActionFailsAndTheThreadServesOn) {
    struct Case {
        const char* what;
        std::function<void()> thrower;
        const char* logged;
    };
    const Case cases[] = {
        {"standard exception", [] { throw std::runtime_error("page is gone"); }, "page is gone"},
        {"COM error", [] { _com_issue_error(E_POINTER); }, "COM error 0x80004003"},
        {"anything else", [] { throw 42; }, "unknown exception"},
    };
    ui::UIThread thread;
    const DWORD uiThreadId = runOnUIThread(thread);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::LogCapture log;
        Action action(c.thrower);
        try {
            thread.runAction(&action);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "action failed");
        }
        const std::string text = log.text();
        EXPECT_EQ(count(text, "Action thrown an exception"), 1u) << text;
        EXPECT_EQ(count(text, "WARNING: Action thrown an exception: " + std::string(c.logged)), 1u) << text;
        EXPECT_EQ(runOnUIThread(thread), uiThreadId);
    }
}

TEST(UIThread, Release_LastHandleClosesWindowAndJoinsThenANewHandleStartsAnew) {
    HANDLE ended = nullptr;
    HWND window = nullptr;
    DWORD firstId = 0;
    {
        ui::UIThread thread;
        Action action([&] { ended = currentThreadHandle(); });
        thread.runAction(&action);
        window = ui::internal::currentControlWindow();
        firstId = ui::internal::currentUIThreadId();
    }
    ASSERT_NE(ended, nullptr);
    // The release returned only after the thread had ended.
    EXPECT_EQ(WaitForSingleObject(ended, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ui::internal::currentControlWindow(), nullptr);

    ui::UIThread again;
    EXPECT_EQ(ui::internal::currentControlWindow(), nullptr);  // started by the first action only
    HANDLE second = nullptr;
    Action action([&] { second = currentThreadHandle(); });
    again.runAction(&action);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(WaitForSingleObject(second, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_NE(ui::internal::currentControlWindow(), nullptr);
    EXPECT_NE(ui::internal::currentControlWindow(), window);
    (void)firstId;
    CloseHandle(ended);
    CloseHandle(second);
}

// The last handle may go on the UI thread itself (a browser object's last
// Release there): the thread must end on its own, not wait for itself.
ui::UIThread* g_lastHandle = nullptr;
void CALLBACK releaseLastHandle(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    delete g_lastHandle;
    g_lastHandle = nullptr;
}

TEST(UIThread, Release_OnTheUIThreadItselfEndsTheThreadWithoutJoiningItself) {
    HANDLE uiThread = nullptr;
    HWND window = nullptr;
    g_lastHandle = new ui::UIThread();
    Action action([&] {
        uiThread = currentThreadHandle();
        window = ui::internal::currentControlWindow();
        SetTimer(nullptr, 0, 20, &releaseLastHandle);
    });
    g_lastHandle->runAction(&action);
    ASSERT_NE(uiThread, nullptr);
    EXPECT_EQ(WaitForSingleObject(uiThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(g_lastHandle, nullptr);
    EXPECT_FALSE(IsWindow(window));
    CloseHandle(uiThread);

    ui::UIThread fresh;
    EXPECT_NE(runOnUIThread(fresh), 0u);
}

TEST(UIThread, RunAction_ThreadThatDiesGivesActionFailedAndTheNextActionStartsANewOne) {
    ui::UIThread thread;
    HANDLE first = nullptr;
    Action remember([&] { first = currentThreadHandle(); });
    thread.runAction(&remember);
    Action die([] { ExitThread(7); });
    const DWORD start = GetTickCount();
    try {
        thread.runAction(&die);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "action failed");
    }
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(WaitForSingleObject(first, 5000), WAIT_OBJECT_0);
    CloseHandle(first);
    HANDLE second = nullptr;
    Action again([&] { second = currentThreadHandle(); });
    thread.runAction(&again);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(WaitForSingleObject(second, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(second);
}

// The system refuses the thread (no memory for another stack, say), the way
// ipc::Thread::start reports it.
ipc::Thread refuseToStart(ipc::Runnable*, bool) {
    throw TdsError<ipc::PlatformError>(ipc::PlatformError(), TDS_HERE("ipc::Thread::start"));
}

TEST(UIThread, RunAction_ThreadThatCannotStartGivesUIThreadFailireAndTheNextActionStartsIt) {
    struct StarterReset {
        ~StarterReset() { ui::internal::setThreadStarterForTesting(nullptr); }
    } reset;
    ui::UIThread thread;
    ui::internal::setThreadStarterForTesting(&refuseToStart);
    bool ran = false;
    Action action([&] { ran = true; });
    try {
        thread.runAction(&action);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "UI thread failire");
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not the UI thread's failure: " << e.what();
    }
    EXPECT_FALSE(ran);
    EXPECT_EQ(ui::internal::currentControlWindow(), nullptr);
    ui::internal::setThreadStarterForTesting(nullptr);
    thread.runAction(&action);
    EXPECT_TRUE(ran);
    EXPECT_NE(ui::internal::currentControlWindow(), nullptr);
}

TEST(UIThread, IsOfferedMessage_KeyboardAndMouseRangesOnly) {
    const struct {
        UINT message;
        bool offered;
    } cases[] = {
        {0x0FF, false}, {WM_KEYDOWN, true}, {WM_CHAR, true}, {0x109, true}, {0x10A, false},
        {0x1FF, false}, {WM_MOUSEMOVE, true}, {WM_MOUSEWHEEL, true}, {0x20D, true}, {0x20E, false},
        {ui::kAcceleratorQueryMessage, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::internal::isOfferedMessage(c.message), c.offered) << std::hex << c.message;
}

// A top-level window with a child and a grandchild; each records the
// accelerator queries and key messages it gets.
struct WalkWindows {
    HWND top = nullptr, child = nullptr, grandchild = nullptr;
};
std::vector<std::string> g_walkLog;
bool g_topConsumes = false;

LRESULT CALLBACK walkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const char* name = reinterpret_cast<const char*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_CREATE) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        return 0;
    }
    if (name != nullptr && message == ui::kAcceleratorQueryMessage) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == WM_KEYDOWN) {
            g_walkLog.push_back(std::string("query ") + name);
            return (g_topConsumes && std::string(name) == "top") ? 1 : 0;
        }
        return 0;
    }
    if (name != nullptr && message == WM_KEYDOWN) {
        g_walkLog.push_back(std::string("keydown ") + name);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

WalkWindows makeWalkWindows() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = walkProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HtmluiWalkTest";
    RegisterClassA(&wc);
    WalkWindows w;
    w.top = CreateWindowExA(0, "HtmluiWalkTest", "walk", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 150, nullptr,
                            nullptr, wc.hInstance, const_cast<char*>("top"));
    w.child = CreateWindowExA(0, "HtmluiWalkTest", "", WS_CHILD | WS_VISIBLE, 0, 0, 150, 100, w.top, nullptr,
                              wc.hInstance, const_cast<char*>("child"));
    w.grandchild = CreateWindowExA(0, "HtmluiWalkTest", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, w.child, nullptr,
                                   wc.hInstance, const_cast<char*>("grandchild"));
    return w;
}

TEST(UIThread, AcceleratorTargets_FromFocusUpToTheTopLevelWindowOnly) {
    const WalkWindows w = makeWalkWindows();
    EXPECT_EQ(ui::internal::acceleratorTargets(w.grandchild), (std::vector<HWND>{w.grandchild, w.child, w.top}));
    EXPECT_EQ(ui::internal::acceleratorTargets(w.top), std::vector<HWND>{w.top});
    EXPECT_TRUE(ui::internal::acceleratorTargets(nullptr).empty());
    DestroyWindow(w.top);
}

TEST(UIThread, MessageLoop_OffersKeysUpTheFocusChainBeforeDispatching) {
    ui::UIThread thread;
    for (bool consume : {false, true}) {
        SCOPED_TRACE(consume ? "top window consumes" : "nobody consumes");
        WalkWindows w;
        Action setUp([&] {
            g_walkLog.clear();
            g_topConsumes = consume;
            w = makeWalkWindows();
            SetFocus(w.grandchild);
            PostMessageA(w.grandchild, WM_KEYDOWN, 'A', 0);
        });
        thread.runAction(&setUp);
        std::vector<std::string> seen;
        Action read([&] { seen = g_walkLog; });
        const size_t expected = consume ? 3 : 4;
        EXPECT_TRUE(testutil::waitFor([&] {
            thread.runAction(&read);
            return seen.size() >= expected;
        }, 5000));
        std::vector<std::string> want = {"query grandchild", "query child", "query top"};
        if (!consume)
            want.push_back("keydown grandchild");
        EXPECT_EQ(seen, want);
        Action tearDown([&] { DestroyWindow(w.top); });
        thread.runAction(&tearDown);
    }
}

}  // namespace
