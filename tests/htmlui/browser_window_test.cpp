// The browser window: its resource base URL, attributes, close box, WM_CLOSE,
// destroy and a control that cannot be created. None of these needs a page
// to finish loading, so they hold with any registered browser control.

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "common/text_conversion.h"
#include "common/window_finder.h"
#include "htmlui/browser_control.h"
#include "htmlui/browser_window.h"
#include "htmlui/ui_context.h"
#include "htmlui/engine_test_support.h"
#include "htmlui/standin_environment.h"

namespace {

using enginetest::onUIThread;
using enginetest::pageUrl;
using enginetest::RecordingHandler;

const CLSID kClsidWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

// A broken class object for the browser's class id: it answers success but
// hands out no object.
class EmptyFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID, void** object) override {
        *object = nullptr;
        return S_OK;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

std::vector<HWND> browserWindowsOfUIThread() {
    std::vector<HWND> found;
    onUIThread([&] {
        testutil::WindowQuery browsers;
        browsers.threadId = GetCurrentThreadId();
        browsers.className = testutil::toAnsi(ui::BrowserWindow::kClassName);
        browsers.visibleOnly = false;
        found = testutil::findWindows(browsers);
    });
    return found;
}

TEST(BrowserWindow, MakeResourceBaseUrl_EscapesBackslashesAndBlanksOnly) {
    const struct {
        const char* path;
        const char* url;
    } cases[] = {
        {"C:\\Temp dir\\setup.exe", "res://C:%5CTemp%20dir%5Csetup.exe/"},
        {"C:\\a#b%c\\x y z.exe", "res://C:%5Ca#b%c%5Cx%20y%20z.exe/"},
        {"setup.exe", "res://setup.exe/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::makeResourceBaseUrl(c.path), c.url);
}

TEST(BrowserWindow, MakePageUrl_PageBaseTakesTheResourceBaseUrlsPlace) {
    ui::UiContext context{"de", ""};
    EXPECT_EQ(ui::makePageUrl(context, "tolvascrub.html"), ui::resourceBaseUrl() + "tolvascrub.html");
    context.pageBase = "res://elsewhere.dll/";
    EXPECT_EQ(ui::makePageUrl(context, "tolvascrub.html"), "res://elsewhere.dll/tolvascrub.html");
    EXPECT_EQ(ui::resourceBaseUrl(), ui::makeResourceBaseUrl(testutil::selfPath()));
}

TEST(BrowserWindow, Load_CreatesAHiddenWindowOfDefaultSizeAt100x100) {
    ui::BrowserWindow window;
    RecordingHandler handler;
    window.load(pageUrl("BASIC.HTML"), &handler);
    const HWND hwnd = window.getHandle();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0);
    EXPECT_EQ(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW), WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW);
    RECT rect = {}, client = {};
    GetWindowRect(hwnd, &rect);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 100);
    const LONG units = GetDialogBaseUnits();
    const SIZE clientSize = ui::BrowserWindow::defaultClientSize();
    EXPECT_EQ(clientSize.cx, MulDiv(250, LOWORD(units), 4));
    EXPECT_EQ(clientSize.cy, MulDiv(177, HIWORD(units), 8));
    EXPECT_EQ(client.right, clientSize.cx);
    EXPECT_EQ(client.bottom, clientSize.cy);
    const SIZE outer = ui::BrowserWindow::clientSize2windowSize(clientSize, ui::BrowserWindow::kStyle,
                                                                ui::BrowserWindow::kExStyle);
    EXPECT_EQ(rect.right - rect.left, outer.cx);
    EXPECT_EQ(rect.bottom - rect.top, outer.cy);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    EXPECT_STREQ(className, L"BraskZitDialog");
    // The control fills the client area.
    HWND controlWindow = nullptr;
    onUIThread([&] { controlWindow = window.getControl()->getObjectWnd(); });
    if (controlWindow != nullptr) {
        RECT inner = {};
        GetWindowRect(controlWindow, &inner);
        EXPECT_EQ(inner.right - inner.left, clientSize.cx);
        EXPECT_EQ(inner.bottom - inner.top, clientSize.cy);
    }
}

TEST(BrowserWindow, EnableCloseButton_GreysAndEnablesTheSystemMenuClose) {
    ui::BrowserWindow window;
    window.enableCloseButton(false);  // no window yet: nothing happens
    window.load(pageUrl("BASIC.HTML"), nullptr);
    const HWND hwnd = window.getHandle();
    ASSERT_NE(hwnd, nullptr);
    const auto greyed = [&] { return (GetMenuState(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    EXPECT_FALSE(greyed());
    window.enableCloseButton(false);
    EXPECT_TRUE(greyed());
    window.enableCloseButton(true);
    EXPECT_FALSE(greyed());
}

TEST(BrowserWindow, Close_GoesToTheHandlerAndNeverDestroysTheWindow) {
    ui::BrowserWindow window;
    window.load(pageUrl("BASIC.HTML"), nullptr);
    ASSERT_NE(window.getHandle(), nullptr);
    window.close();  // no handler: nothing at all
    EXPECT_TRUE(IsWindow(window.getHandle()));
    RecordingHandler handler;
    window.load(pageUrl("BASIC.HTML"), &handler);
    window.close();
    PostMessageW(window.getHandle(), WM_CLOSE, 0, 0);
    const auto closes = [&] {
        int n = 0;
        for (const std::string& call : handler.calls())
            n += call == "close";
        return n;
    };
    EXPECT_TRUE(testutil::waitFor([&] { return closes() >= 2; }, 5000));
    EXPECT_EQ(closes(), 2);
    EXPECT_TRUE(IsWindow(window.getHandle()));
}

TEST(BrowserWindow, SetSizeCenterAndSetTitle_ChangeTheWindow) {
    ui::BrowserWindow window;
    window.load(pageUrl("BASIC.HTML"), nullptr);
    const HWND hwnd = window.getHandle();
    window.setSize(420, 300);
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.right - rect.left, 420);
    EXPECT_EQ(rect.bottom - rect.top, 300);
    window.center();
    RECT desktop = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, desktop.left + ((desktop.right - desktop.left) - 420) / 2);
    EXPECT_EQ(rect.top, desktop.top + ((desktop.bottom - desktop.top) - 300) / 2);
    window.setTitle("Entfernen \xC3\xA4lterer Versionen");
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    EXPECT_STREQ(title, L"Entfernen \u00e4lterer Versionen");
}

TEST(BrowserWindow, Destroy_SecondCallDoesNothing) {
    ui::BrowserWindow window;
    {
        testutil::LogCapture log;
        window.destroy();  // never created
        const std::string text = log.text();
        EXPECT_NE(text.find(">>BrowserWindow::destroy"), std::string::npos);
        EXPECT_NE(text.find("<<BrowserWindow::destroy"), std::string::npos);
        EXPECT_EQ(text.find("hWnd != NULL"), std::string::npos);
    }
    window.load(pageUrl("BASIC.HTML"), nullptr);
    const HWND hwnd = window.getHandle();
    ASSERT_NE(hwnd, nullptr);
    {
        testutil::LogCapture log;
        window.destroy();
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(window.getHandle(), nullptr);
        const std::string text = log.text();
        EXPECT_NE(text.find(">>BrowserControl::destroy"), std::string::npos) << text;
        EXPECT_NE(text.find("  == BrowserWindow::destroyControl: >>BrowserControl::destroy"), std::string::npos)
            << text;
    }
    {
        testutil::LogCapture log;
        window.destroy();
        const std::string text = log.text();
        EXPECT_EQ(text.find("hWnd != NULL"), std::string::npos) << text;
        EXPECT_EQ(text.find("destroyControl"), std::string::npos) << text;
    }
    EXPECT_TRUE(browserWindowsOfUIThread().empty());
    // A later load makes a new window.
    window.load(pageUrl("BASIC.HTML"), nullptr);
    EXPECT_NE(window.getHandle(), nullptr);
    EXPECT_TRUE(IsWindow(window.getHandle()));
}

TEST(BrowserWindow, Load_ControlThatCannotBeCreatedLeavesNoWindowAndTheNextLoadWorks) {
    ui::BrowserWindow window;
    StandinSetFailCreate(1);
    {
        testutil::LogCapture log;
        try {
            window.load(pageUrl("BASIC.HTML"), nullptr);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "action failed");
        }
        StandinSetFailCreate(0);
        EXPECT_EQ(window.getHandle(), nullptr);
        EXPECT_TRUE(browserWindowsOfUIThread().empty());
        const std::string text = log.text();
        EXPECT_NE(text.find("CreateInstance failed with"), std::string::npos) << text;
        EXPECT_NE(text.find("CreateWindow failed with"), std::string::npos) << text;
    }
    // Once the control can be made again, the same window object loads.
    window.load(pageUrl("BASIC.HTML"), nullptr);
    EXPECT_NE(window.getHandle(), nullptr);
    EXPECT_EQ(browserWindowsOfUIThread().size(), 1u);
}

TEST(BrowserWindow, Load_ClassObjectThatGivesNoObjectIsAFailedCreation) {
    ui::UIThread thread;
    EmptyFactory factory;
    DWORD cookie = 0;
    onUIThread([&] {
        EXPECT_EQ(CoRegisterClassObject(kClsidWebBrowser, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
                  S_OK);
    });
    ui::BrowserWindow window;
    EXPECT_THROW(window.load(pageUrl("BASIC.HTML"), nullptr), std::runtime_error);
    EXPECT_EQ(window.getHandle(), nullptr);
    onUIThread([&] { CoRevokeClassObject(cookie); });
    window.load(pageUrl("BASIC.HTML"), nullptr);
    EXPECT_NE(window.getHandle(), nullptr);
}

// The UI thread ends under a loaded window, and Windows takes the window
// with it; the control's objects lived in that thread's apartment. Neither
// is called again: a script fails, and the next load makes a new window on
// the new UI thread and shows the page there.
TEST(BrowserWindow, Load_AfterTheUIThreadEndedMakesANewWindowAndNeverCallsTheOldControl) {
    ui::BrowserWindow window;
    RecordingHandler handler;
    window.load(pageUrl("BASIC.HTML"), &handler);
    ASSERT_TRUE(handler.waitFor("loaded"));
    const HWND first = window.getHandle();
    ASSERT_NE(first, nullptr);
    {
        ui::UIThread thread;
        enginetest::Action die([] { ExitThread(5); });
        EXPECT_THROW(thread.runAction(&die), std::runtime_error);
    }
    ASSERT_TRUE(testutil::waitFor([&] { return !IsWindow(first); }, 5000));

    testutil::LogCapture log;
    try {
        window.execJScript("1+2");
        ADD_FAILURE() << "the script ran in a control whose thread has ended";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "action failed");
    }
    // Not one call reached the old page's document.
    EXPECT_EQ(log.text().find("script->"), std::string::npos) << log.text();
    EXPECT_EQ(log.text().find("getDocument"), std::string::npos) << log.text();
    handler.clear();
    window.load(pageUrl("BASIC.HTML"), &handler);
    const HWND second = window.getHandle();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(IsWindow(second));
    DWORD uiThread = 0;
    onUIThread([&] { uiThread = GetCurrentThreadId(); });
    EXPECT_EQ(GetWindowThreadProcessId(second, nullptr), uiThread);
    EXPECT_EQ(browserWindowsOfUIThread(), std::vector<HWND>{second});
    EXPECT_TRUE(handler.waitFor("loaded")) << log.text();
    const _variant_t sum = window.execJScript("1+2");
    EXPECT_EQ(sum.vt, VT_I4);
    EXPECT_EQ(sum.lVal, 3);
    EXPECT_NE(log.text().find("the window has gone with its UI thread"), std::string::npos) << log.text();
}

TEST(BrowserWindow, ExecJScript_WithoutControlIsALogicError) {
    ui::BrowserWindow window;
    try {
        window.execJScript("1+2");
        ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "browser control does not exist");
    }
}

}  // namespace
