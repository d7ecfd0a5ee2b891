// Whole pages through the engine, with the stand-in control serving this
// program's RT_HTML pages and running their scripts: navigation, script
// calls from both threads, the bridge driven from page script, a control
// that outlives its window, and HTML dialogs shown modally and modelessly.
// With "--child-show <page> <file>" the program instead shows one dialog,
// writes its base URL and result to file and exits with the result.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/child_process.h"
#include "common/files.h"
#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/test_process.h"
#include "common/test_util.h"
#include "common/window_paint.h"
#include "foundation/locale_internal.h"
#include "htmlui/browser_control.h"
#include "htmlui/browser_window.h"
#include "htmlui/dialog.h"
#include "htmlui/engine_test_support.h"
#include "htmlui/standin_environment.h"
#include "htmlui/ui_context.h"

namespace {

using enginetest::onUIThread;
using enginetest::pageUrl;
using enginetest::RecordingHandler;

std::string text(const _variant_t& value) {
    if (value.vt != VT_BSTR || value.bstrVal == nullptr)
        return std::string();
    const std::wstring wide(value.bstrVal, SysStringLen(value.bstrVal));
    return std::string(wide.begin(), wide.end());
}

HWND controlWindowOf(ui::BrowserWindow& window) {
    HWND hwnd = nullptr;
    onUIThread([&] {
        if (window.getControl())
            hwnd = window.getControl()->getObjectWnd();
    });
    return hwnd;
}

bool closeGreyed(HWND hwnd) {
    return (GetMenuState(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

// showModal on a thread of its own, so the test thread can act as the user.
class ModalRun {
public:
    explicit ModalRun(ui::Dialog& dialog) : dialog_(dialog), start_(GetTickCount()) {
        thread_ = std::thread([this] {
            try {
                result_ = dialog_.showModal();
            } catch (const std::exception& e) {
                error_ = e.what();
            }
            elapsed_ = GetTickCount() - start_;
            done_ = true;
        });
    }
    ~ModalRun() {
        // A test that failed half-way must not leave the waiter behind.
        if (!done_)
            dialog_.setResult(ui::Dialog::Closed);
        // A loop that ignores its result would hang the join, and the program
        // with it until its CTest time-out: the run fails at once instead.
        if (!testutil::waitFor([&] { return done_.load(); }, 20000)) {
            ADD_FAILURE() << "showModal did not return after its result was set";
            fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        thread_.join();
    }
    bool waitDone(DWORD ms = 15000) { return testutil::waitFor([&] { return done_.load(); }, ms); }
    bool done() const { return done_; }
    uint32_t result() const { return result_; }
    const std::string& error() const { return error_; }
    DWORD elapsed() const { return elapsed_; }
    bool waitVisible(DWORD ms = 10000) {
        return testutil::waitFor([&] {
            const HWND hwnd = dialog_.getWindow().getHandle();
            return hwnd != nullptr && IsWindowVisible(hwnd);
        }, ms);
    }

private:
    ui::Dialog& dialog_;
    DWORD start_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    uint32_t result_ = 0;
    DWORD elapsed_ = 0;
    std::string error_;
};

// ---- The control host with real pages ----

TEST(PageLoad, Navigate_UrlEndingInHashIsCancelledTheSameUrlWithoutItLoads) {
    ui::BrowserWindow window;
    RecordingHandler handler;
    testutil::LogCapture log;
    window.load(pageUrl("BASIC.HTML") + "#", &handler);
    // Nothing must come of it; the control loads a navigation it was let go
    // on from a posted message, so one that was not cancelled would have
    // loaded within this time.
    Sleep(1000);
    EXPECT_TRUE(handler.calls().empty());
    EXPECT_NE(log.text().find("OnBeforeNavigate: " + pageUrl("BASIC.HTML") + "#"), std::string::npos);
    window.load(pageUrl("BASIC.HTML"), &handler);
    EXPECT_TRUE(handler.waitFor("loaded"));
}

TEST(PageLoad, Navigate_MissingPageGivesTheErrorLineAndTheHandlersNavigateError) {
    ui::BrowserWindow window;
    RecordingHandler handler;
    testutil::LogCapture log;
    window.load(pageUrl("MISSING.HTML"), &handler);
    EXPECT_TRUE(handler.waitForPrefix("navigate error"));
    // Time for a second handler call, which must not come.
    Sleep(300);
    EXPECT_EQ(handler.calls(), std::vector<std::string>{"navigate error 0x800C0005"});
    EXPECT_NE(log.text().find("ERROR: DISPID_NAVIGATEERROR: "), std::string::npos) << log.text();
    // No document: a script cannot run, and says so.
    std::string error;
    onUIThread([&] {
        try {
            window.getControl()->execJScript("1+2");
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
    });
    EXPECT_EQ(error, "JScript execution error");
}

TEST(PageLoad, ExecJScript_SameValueFromTheMainThreadAndTheUIThread) {
    ui::BrowserWindow window;
    RecordingHandler handler;
    window.load(pageUrl("BASIC.HTML"), &handler);
    ASSERT_TRUE(handler.waitFor("loaded"));
    const _variant_t fromMain = window.execJScript("1+2");
    EXPECT_EQ(fromMain.vt, VT_I4);
    EXPECT_EQ(fromMain.lVal, 3);
    _variant_t fromUI;
    onUIThread([&] { fromUI = window.getControl()->execJScript("1+2"); });
    EXPECT_EQ(fromUI.vt, VT_I4);
    EXPECT_EQ(fromUI.lVal, 3);
    EXPECT_EQ(text(window.execJScript("document.getElementById('heading').innerText")), "Engine test page");
    EXPECT_EQ(window.execJScript("var unused = 1;").vt, VT_EMPTY);
}

TEST(PageLoad, ExecJScript_ThrowingScriptIsAnExecutionError) {
    ui::BrowserWindow window;
    RecordingHandler handler;
    window.load(pageUrl("BASIC.HTML"), &handler);
    ASSERT_TRUE(handler.waitFor("loaded"));
    std::string onUI;
    onUIThread([&] {
        try {
            window.execJScript("throw new Error('broken page')");
        } catch (const std::runtime_error& e) {
            onUI = e.what();
        }
    });
    EXPECT_EQ(onUI, "JScript execution error");
    try {
        window.execJScript("throw new Error('broken page')");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "action failed");
    }
    EXPECT_EQ(window.execJScript("2*3").lVal, 6);  // the page runs on
}

TEST(PageLoad, Destroy_WhileTheControlStillHoldsTheSiteDeletesOnTheLastRelease) {
    StandinSetHoldClientSite(1);
    {
        ui::BrowserWindow window;
        RecordingHandler handler;
        window.load(pageUrl("BASIC.HTML"), &handler);
        ASSERT_TRUE(handler.waitFor("loaded"));
        testutil::LogCapture log;
        window.destroy();
        const std::string destroyed = log.text();
        EXPECT_NE(destroyed.find("<<BrowserControl::destroy, ref="), std::string::npos) << destroyed;
        EXPECT_EQ(destroyed.find("~BrowserControl"), std::string::npos) << destroyed;
        StandinSetHoldClientSite(0);
        onUIThread([] { StandinReleaseHeldSites(); });
        const std::string released = log.text();
        EXPECT_NE(released.find("~BrowserControl, ref=0"), std::string::npos) << released;
    }
    StandinSetHoldClientSite(0);
    EXPECT_TRUE(testutil::waitFor([] { return StandinLiveObjects() == 0; }, 5000));
}

// ---- The bridge, driven from the page's own script ----

TEST(PageBridge, External_EdgeCasesFromPageScript) {
    ui::BrowserWindow window;
    RecordingHandler handler("de");
    window.load(pageUrl("BASIC.HTML"), &handler);
    ASSERT_TRUE(handler.waitFor("loaded"));
    const struct Case {
        const char* script;
        const char* handlerCall;  // null: none
        const char* logged;       // null: nothing particular
        const char* value;        // null: not checked
    } cases[] = {
        {"external.notify('next')", "event next", nullptr, nullptr},
        {"external.notify('checkbox_clicked', '0110')", "event checkbox_clicked|0110", nullptr, nullptr},
        {"external.notify('a', 5, true)", "event a|5|True", nullptr, nullptr},
        {"external.setWindowProp('closeButton', 0)", "prop closeButton|0", nullptr, nullptr},
        {"external.notify('\\u00e4lter \\u20ac')", "event \xC3\xA4lter \xE2\x82\xAC", nullptr, nullptr},
        {"external.log('a', 'b', 1)", nullptr, "INFO: ab1", nullptr},
        {"external.notify()", nullptr, "external.notify: no parameters specified", nullptr},
        {"external.getLocale('extra')", nullptr, nullptr, "de"},
        {"('notify' in external) ? 'yes' : 'no'", nullptr, nullptr, "yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        handler.clear();
        testutil::LogCapture log;
        _variant_t value;
        EXPECT_NO_THROW(value = window.execJScript(c.script));
        if (c.handlerCall) {
            EXPECT_EQ(handler.calls(), std::vector<std::string>{c.handlerCall});
        } else {
            EXPECT_TRUE(handler.calls().empty());
        }
        if (c.logged) {
            EXPECT_NE(log.text().find(c.logged), std::string::npos) << log.text();
        }
        if (c.value) {
            EXPECT_EQ(text(value), c.value);
        }
    }
    // A click on a page button goes the same way.
    handler.clear();
    EXPECT_EQ(StandinClickElement(controlWindowOf(window), L"btnNext"), S_OK);
    EXPECT_EQ(handler.calls(), std::vector<std::string>{"event next"});
}

TEST(PageBridge, GetLocale_WithoutHandlerIsEn) {
    ui::BrowserWindow window;
    window.load(pageUrl("BASIC.HTML"), nullptr);
    std::string locale;
    EXPECT_TRUE(testutil::waitFor([&] {
        try {
            locale = text(window.execJScript("external.getLocale()"));
            return true;
        } catch (const std::exception&) {
            return false;  // not loaded yet
        }
    }, 10000));
    EXPECT_EQ(locale, "en");
    testutil::LogCapture log;
    window.execJScript("external.notify()");
    EXPECT_EQ(log.text().find("no parameters specified"), std::string::npos);
}

// ---- HTML dialogs ----

TEST(HtmlDialog, ShowModal_PageThatAnswersWhileItLoadsReturnsNext) {
    {
        ui::Dialog dialog("NEXT_ON_LOAD.HTML", ui::getUiContext());
        ModalRun run(dialog);
        ASSERT_TRUE(run.waitDone()) << "showModal did not return";
        EXPECT_EQ(run.error(), "");
        EXPECT_EQ(run.result(), ui::Dialog::Next);
        EXPECT_FALSE(IsWindowVisible(dialog.getWindow().getHandle()));
    }
    EXPECT_TRUE(testutil::waitFor([] { return StandinLiveObjects() == 0; }, 5000));
}

TEST(HtmlDialog, ShowModal_MissingPageReturnsClosedWithinSecondsAndShowsNothing) {
    ui::Dialog dialog("MISSING.HTML", ui::getUiContext());
    std::atomic<bool> everVisible{false};
    ModalRun run(dialog);
    const bool done = testutil::waitFor([&] {
        const HWND hwnd = dialog.getWindow().getHandle();
        if (hwnd && IsWindowVisible(hwnd))
            everVisible = true;
        return run.done();
    }, 10000);
    ASSERT_TRUE(done) << "showModal waits for a page that never loads";
    EXPECT_EQ(run.error(), "");
    EXPECT_EQ(run.result(), ui::Dialog::Closed);
    EXPECT_LT(run.elapsed(), 5000u);
    EXPECT_FALSE(everVisible.load());
}

TEST(HtmlDialog, ShowModal_CloseBoxGivesClosedUnlessThePageGreyedIt) {
    {
        ui::Dialog dialog("BASIC.HTML", ui::getUiContext());
        ModalRun run(dialog);
        ASSERT_TRUE(run.waitVisible());
        const HWND hwnd = dialog.getWindow().getHandle();
        EXPECT_FALSE(closeGreyed(hwnd));
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);  // what the close box sends
        ASSERT_TRUE(run.waitDone());
        EXPECT_EQ(run.result(), ui::Dialog::Closed);
        EXPECT_FALSE(IsWindowVisible(hwnd));
    }
    {
        ui::Dialog dialog("GREY_CLOSE.HTML", ui::getUiContext());
        ModalRun run(dialog);
        ASSERT_TRUE(run.waitVisible());
        const HWND hwnd = dialog.getWindow().getHandle();
        EXPECT_TRUE(closeGreyed(hwnd));
        EXPECT_FALSE(run.done());
        EXPECT_EQ(StandinClickElement(controlWindowOf(dialog.getWindow()), L"btnNext"), S_OK);
        ASSERT_TRUE(run.waitDone());
        EXPECT_EQ(run.result(), ui::Dialog::Next);
    }
}

TEST(HtmlDialog, SetWindowProp_CloseButtonTakesTrueFalseAndNumbers) {
    ui::Dialog dialog("BASIC.HTML", ui::getUiContext());
    ModalRun run(dialog);
    ASSERT_TRUE(run.waitVisible());
    const HWND hwnd = dialog.getWindow().getHandle();
    const struct {
        const char* value;
        bool greyed;
    } cases[] = {{"false", true}, {"true", false}, {"0", true}, {"1", false}, {"'False'", true}, {"'True'", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        dialog.getWindow().execJScript(std::string("external.setWindowProp('closeButton', ") + c.value + ")");
        EXPECT_EQ(closeGreyed(hwnd), c.greyed);
    }
    testutil::LogCapture log;
    dialog.getWindow().execJScript("external.setWindowProp('closeButton', 1, 2)");
    dialog.getWindow().execJScript("external.setWindowProp('size', 500)");
    dialog.getWindow().execJScript("external.setWindowProp('colour', 'red')");
    EXPECT_NE(log.text().find("setWindowProp(closeButton): requires 1 params"), std::string::npos);
    EXPECT_NE(log.text().find("setWindowProp(Size): requires 2 params"), std::string::npos);
    EXPECT_NE(log.text().find("setWindowProp: unexpected prop: 'colour'"), std::string::npos);
    dialog.getWindow().execJScript("external.setWindowProp('Size', 480, 360)");
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.right - rect.left, 480);
    EXPECT_EQ(rect.bottom - rect.top, 360);
    dialog.setResult(ui::Dialog::Back);
    ASSERT_TRUE(run.waitDone());
    EXPECT_EQ(run.result(), ui::Dialog::Back);
}

TEST(HtmlDialog, ShowModal_TitlePropertyIgnoresCaseEventNamesDoNot) {
    ui::UiContext german{"de", ""};
    ui::Dialog dialog("TITLE.HTML", german);
    ModalRun run(dialog);
    ASSERT_TRUE(run.waitVisible());
    const HWND hwnd = dialog.getWindow().getHandle();
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    EXPECT_STREQ(title, L"Removal of older versions");
    EXPECT_EQ(text(dialog.getWindow().execJScript("locale")), "de");
    dialog.getWindow().execJScript("external.notify('Next')");
    // Time for the modal wait to end, which it must not.
    Sleep(300);
    EXPECT_FALSE(run.done());
    EXPECT_EQ(dialog.getResult(), ui::Dialog::None);
    EXPECT_EQ(StandinClickElement(controlWindowOf(dialog.getWindow()), L"btnBack"), S_OK);
    ASSERT_TRUE(run.waitDone());
    EXPECT_EQ(run.result(), ui::Dialog::Back);
}

// The UI thread ends while a dialog waits for its page's answer: the
// waiter learns of it within moments instead of waiting for ever.
TEST(HtmlDialog, ShowModal_UIThreadThatEndsFailsTheWaitInsteadOfHanging) {
    ui::Dialog dialog("BASIC.HTML", ui::getUiContext());
    ModalRun run(dialog);
    ASSERT_TRUE(run.waitVisible());
    ui::UIThread thread;
    enginetest::Action die([] { ExitThread(3); });
    EXPECT_THROW(thread.runAction(&die), std::runtime_error);
    ASSERT_TRUE(run.waitDone(5000)) << "showModal still waits";
    EXPECT_EQ(run.error(), "action failed");
    // The engine serves on with a new UI thread.
    ui::Dialog next("NEXT_ON_LOAD.HTML", ui::getUiContext());
    EXPECT_EQ(next.showModal(), ui::Dialog::Next);
}

// Keys reach the page through the UI thread's loop: Tab moves between the
// page's buttons and Return presses the focused one.
TEST(HtmlDialog, ShowModal_KeysGoToThePageThroughTheAcceleratorQuery) {
    ui::Dialog dialog("TITLE.HTML", ui::getUiContext());
    ModalRun run(dialog);
    ASSERT_TRUE(run.waitVisible());
    const HWND page = controlWindowOf(dialog.getWindow());
    ASSERT_NE(page, nullptr);
    const auto focusedId = [&] {
        BSTR value = nullptr;
        std::string id;
        if (SUCCEEDED(StandinEval(page, L"document.activeElement ? document.activeElement.id : ''", &value)) && value)
            id = text(_variant_t(value));
        SysFreeString(value);
        return id;
    };
    PostMessageW(page, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(testutil::waitFor([&] { return focusedId() == "btnNext"; }, 5000)) << focusedId();
    PostMessageW(page, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(testutil::waitFor([&] { return focusedId() == "btnBack"; }, 5000)) << focusedId();
    PostMessageW(page, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(run.waitDone());
    EXPECT_EQ(run.result(), ui::Dialog::Back);
}

TEST(HtmlDialog, ShowModal_TwiceReloadsThePage) {
    ui::Dialog dialog("BASIC.HTML", ui::getUiContext());
    {
        ModalRun run(dialog);
        ASSERT_TRUE(run.waitVisible());
        dialog.getWindow().execJScript("window.marker = 7;");
        EXPECT_EQ(dialog.getWindow().execJScript("window.marker").lVal, 7);
        EXPECT_EQ(StandinClickElement(controlWindowOf(dialog.getWindow()), L"btnNext"), S_OK);
        ASSERT_TRUE(run.waitDone());
        EXPECT_EQ(run.result(), ui::Dialog::Next);
        EXPECT_FALSE(IsWindowVisible(dialog.getWindow().getHandle()));
    }
    {
        ModalRun run(dialog);
        ASSERT_TRUE(run.waitVisible());
        // The result of the first showing is gone and the page is a fresh one.
        EXPECT_FALSE(run.done());
        EXPECT_TRUE(testutil::waitFor([&] {
            try {
                return text(dialog.getWindow().execJScript("typeof window.marker")) == "undefined";
            } catch (const std::exception&) {
                return false;
            }
        }, 5000));
        PostMessageW(dialog.getWindow().getHandle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(run.waitDone());
        EXPECT_EQ(run.result(), ui::Dialog::Closed);
    }
}

TEST(HtmlDialog, Show_ModelessReturnsWithThePageLoadedAndShown) {
    ui::Dialog dialog("BASIC.HTML", ui::getUiContext());
    dialog.show();
    EXPECT_EQ(dialog.getPageState(), ui::Dialog::Loaded);
    const HWND hwnd = dialog.getWindow().getHandle();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(text(dialog.getWindow().execJScript("document.getElementById('text').innerText")),
              "A page of the engine's tests.");
    // Centred on the desktop once loaded.
    RECT desktop = {}, rect = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, desktop.left + ((desktop.right - desktop.left) - (rect.right - rect.left)) / 2);
    dialog.hide();
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

// One real dialog as a user sees it, in a copy of this program for which
// Wine draws the window frame itself (there is no window manager under Xvfb
// to draw it). With TDS_SCREENSHOT naming a Unix path, the screen is saved
// there while the page is up.
TEST(HtmlDialog, ShowModal_RealWindowWithItsFrameCancelClosesIt) {
    testutil::ScratchDir dir("engine shot");
    const std::string name = "htmlui_frame_shot.exe";
    const std::string copy = dir.file(name);
    ASSERT_TRUE(CopyFileA(testutil::selfPath().c_str(), copy.c_str(), FALSE));
    const std::string key = "Software\\Wine\\AppDefaults\\" + name;
    testutil::ScopedRegTree cleanup(HKEY_CURRENT_USER, key);
    HKEY x11 = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\X11 Driver").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &x11, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(x11, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(x11);
    const std::string report = dir.file("report.txt");
    const testutil::ProcessResult result =
        testutil::runProcess(testutil::quote(copy) + " --child-frame TITLE.HTML " + testutil::quote(report), 60000);
    ASSERT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, static_cast<DWORD>(ui::Dialog::Closed)) << testutil::readFileText(report);
    EXPECT_EQ(testutil::readFileText(report), "title=Removal of older versions greyed=1 visible=1");
}

// The program copied to a folder whose name has blanks: its own res:// base
// URL still finds its pages.
TEST(HtmlDialog, ShowModal_FromAProgramInAFolderWithBlanks) {
    testutil::ScratchDir dir("engine pages");
    const std::string copy = dir.file("html engine test.exe");
    ASSERT_TRUE(CopyFileA(testutil::selfPath().c_str(), copy.c_str(), FALSE));
    const std::string report = dir.file("report.txt");
    const testutil::ProcessResult result = testutil::runProcess(
        testutil::quote(copy) + " --child-show NEXT_ON_LOAD.HTML " + testutil::quote(report), 30000);
    ASSERT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, static_cast<DWORD>(ui::Dialog::Next));
    const std::string url = testutil::readFileText(report);
    EXPECT_EQ(url, ui::makeResourceBaseUrl(copy));
    EXPECT_NE(url.find("%20engine%20test.exe/"), std::string::npos) << url;
}

// The pages take their language from the user's preferred list, looked up
// once per process; a look-up that fails (the system cannot list the
// languages) starts them in English instead of ending the program. Each case
// is a fresh run of this program with the system's look-up replaced.
TEST(HtmlDialog, Show_PreferredLanguageLookUpThatFailsStartsThePagesInEnglish) {
    const struct {
        const char* lookUp;
        const char* report;
    } cases[] = {
        {"german", "context=de page=de"},
        {"failing", "context=en page=en"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lookUp);
        testutil::ScratchDir dir("engine locale");
        const std::string report = dir.file("report.txt");
        const testutil::ProcessResult result = testutil::runProcess(
            testutil::quote(testutil::selfPath()) + " --child-locale " + c.lookUp + " " + testutil::quote(report),
            30000);
        ASSERT_TRUE(result.started);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_EQ(testutil::readFileText(report), c.report);
    }
}

int childShow(const char* page, const char* reportPath) {
    const std::string url = ui::resourceBaseUrl();
    FILE* report = fopen(reportPath, "wb");
    if (report) {
        fwrite(url.data(), 1, url.size(), report);
        fclose(report);
    }
    try {
        ui::Dialog dialog(page, ui::getUiContext());
        return static_cast<int>(dialog.showModal());
    } catch (const std::exception&) {
        return 100;
    }
}

// Shows page modally, reads what a user would see, takes the screenshot
// and presses the page's Cancel button.
int childFrame(const char* page, const char* reportPath) {
    ui::Dialog dialog(page, ui::getUiContext());
    std::string report;
    uint32_t result = 100;
    {
        ModalRun run(dialog);
        const bool visible = run.waitVisible();
        const HWND hwnd = dialog.getWindow().getHandle();
        char title[128] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        report = std::string("title=") + title + " greyed=" + (closeGreyed(hwnd) ? "1" : "0") +
                 " visible=" + (visible ? "1" : "0");
        char target[1024] = {};
        if (visible && GetEnvironmentVariableA("TDS_SCREENSHOT", target, sizeof target) > 0) {
            if (!testutil::waitFor([&] { return testutil::nothingLeftToPaint(hwnd); }, 10000))
                report += " unpainted=1";
            testutil::runProcess(std::string("/usr/bin/import -window root ") + target, 20000);
        }
        StandinClickElement(controlWindowOf(dialog.getWindow()), L"btnCancel");
        if (run.waitDone())
            result = run.result();
    }
    testutil::writeFileBytes(reportPath, report);
    return static_cast<int>(result);
}

// Stand-ins for the system's GetThreadPreferredUILanguages: German (as the
// system lists it, regional id first, then the language's own), and a
// system that cannot list the languages.
BOOL WINAPI germanOnly(DWORD, PULONG count, PZZWSTR buffer, PULONG size) {
    static const wchar_t kList[] = L"0407\0" L"0007\0";  // and the list's closing NUL
    const ULONG length = sizeof kList / sizeof kList[0];
    if (buffer != nullptr) {
        if (*size < length) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memcpy(buffer, kList, sizeof kList);
    }
    *count = 2;
    *size = length;
    return TRUE;
}

BOOL WINAPI cannotList(DWORD, PULONG, PZZWSTR, PULONG) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

// Shows BASIC.HTML modelessly with the preferred-language look-up given by
// name, before anything in this process has asked for the language, and
// writes which locale the context and the page have.
int childLocale(const std::string& lookUp, const char* reportPath) {
    locale_internal::setPreferredLanguagesFunctionForTesting(lookUp == "german" ? &germanOnly : &cannotList);
    std::string report;
    int code = 0;
    try {
        ui::Dialog dialog("BASIC.HTML", ui::getUiContext());
        dialog.show();
        report = "context=" + ui::getUiContext().localeName +
                 " page=" + text(dialog.getWindow().execJScript("external.getLocale()"));
    } catch (const std::exception& e) {
        report = std::string("error: ") + e.what();
        code = 100;
    }
    testutil::writeFileBytes(reportPath, report);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child-show")
        return childShow(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "--child-frame")
        return childFrame(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "--child-locale")
        return childLocale(argv[2], argv[3]);
    testutil::isolateTestProcess();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    testutil::finishTestProcess(result == 0);
    return result;
}
