// Every page of kessa-setup, opened for real under Xvfb: the keyboard
// focus and Enter, the frame size, and each link, from its item data to the
// default browser (a stand-in browser registered for ".html") that a click
// starts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "common/window_finder.h"
#include "common/window_paint.h"
#include "launcher/security_prompts.h"
#include "launcher/ui/change_folder.h"
#include "launcher/ui/post_install_panes.h"
#include "launcher/ui/setup_complete_error.h"
#include "launcher/ui/setup_progress_dialog.h"
#include "launcher/ui/welcome_dialog.h"
#include "launcher/ui_test_driver.h"

namespace {

// Shows page name with sample data on this thread, as the launcher does;
// returns what the page ended with.
INT_PTR showPage(const std::string& name) {
    if (name == "welcome") {
        ui::CWelcomeDialog page;
        return page.DoModal(nullptr);
    }
    if (name == "folder") {
        ui::CChangeFolder page;
        return page.DoModal(nullptr);
    }
    if (name == "error") {
        ui::CSetupCompleteError page;
        page.errorCode = 1603;
        return page.DoModal(nullptr);
    }
    if (name == "plugin") {
        CTolvaPluginDialog page;
        return page.ShowModal();
    }
    if (name == "restore") {
        RestoreSecurityChoice choice;
        choice.restoreShowBack = true;
        CRestoreSecurityDialog page(&choice);
        return page.ShowModal();
    }
    if (name == "complete") {
        SetupCompleteData record;
        record.showBack = true;
        record.showSecurityLevelText = true;
        CSetupComplete page(&record);
        return page.ShowModal();
    }
    if (name == "progress") {
        CSetupProgressDialog page(0);
        return page.DoModal(nullptr);
    }
    ADD_FAILURE() << "no page " << name;
    return -1;
}

HWND focusOf(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// The control that has the page's keyboard focus. Other tests' windows
// share the display and may take the activation, and an inactive thread has
// no focus window; activated again, a dialog gives the focus back to the
// control that had it.
HWND pageFocus(HWND dialog) {
    HWND focused = focusOf(dialog);
    if (focused == nullptr && !testutil::waitFor([&] {
            SetForegroundWindow(dialog);
            return (focused = focusOf(dialog)) != nullptr;
        }, 2500))
        return nullptr;
    return focused;
}

// Ends a page that a check left open, so the test goes on.
void endPage(HWND dialog, int button) {
    if (!IsWindow(dialog))
        return;
    uitest::pressButton(dialog, button);
    uitest::waitGone(dialog, 5000);
}

// --- focus, Enter and the frame ------------------------------------------------

struct FocusCase {
    const char* page;
    const char* title;
    int defaultButton;
};

class PageFocus : public ::testing::TestWithParam<FocusCase> {};

// Each page opens with the focus on its default button, in the wizard's
// 333 x 218 frame, and Enter presses that button.
TEST_P(PageFocus, ShowPage_DefaultButtonFocusedEnterPressesIt) {
    const FocusCase& c = GetParam();
    HWND focused = nullptr, expected = nullptr;
    WORD defaultId = 0;
    SIZE client = {}, frame = {};
    bool endedByEnter = false;
    INT_PTR result = 0;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog(c.title);
            if (!dialog)
                return;
            // Up for the user: shown, activated and drawn.
            EXPECT_TRUE(testutil::waitFor([&] { return testutil::nothingLeftToPaint(dialog); }))
                << c.page << " did not paint itself";
            expected = GetDlgItem(dialog, c.defaultButton);
            focused = pageFocus(dialog);
            defaultId = LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0));
            RECT area = {};
            GetClientRect(dialog, &area);
            client = {area.right, area.bottom};
            RECT units = {0, 0, 333, 218};
            MapDialogRect(dialog, &units);
            frame = {units.right, units.bottom};
            // Enter as the keyboard sends it, to whatever has the focus.
            HWND target = focused ? focused : dialog;
            PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
            endedByEnter = uitest::waitGone(dialog, 3000);
            endPage(dialog, c.defaultButton);
        });
        result = showPage(c.page);
    }
    EXPECT_NE(expected, nullptr);
    EXPECT_EQ(focused, expected) << "the focus is not on the default button";
    EXPECT_EQ(defaultId, c.defaultButton);
    EXPECT_EQ(client.cx, frame.cx);
    EXPECT_EQ(client.cy, frame.cy);
    EXPECT_TRUE(endedByEnter) << "Enter did not end the page";
    EXPECT_EQ(result, c.defaultButton);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageFocus,
    ::testing::Values(FocusCase{"welcome", "Tolva Setup - Welcome", IDOK},
                      FocusCase{"folder", "Tolva Setup - Destination Folder", IDOK},
                      FocusCase{"error", "Tolva Setup - Incomplete", IDCANCEL},
                      FocusCase{"plugin", "Tolva Setup - Browser Plug-in Disabled", IDOK},
                      FocusCase{"restore", "Tolva Setup - Restore Security Prompts", IDOK},
                      FocusCase{"complete", "Tolva Setup - Complete", IDCANCEL}),
    [](const ::testing::TestParamInfo<FocusCase>& info) { return std::string(info.param.page); });

// --- links ---------------------------------------------------------------------

const char kHtmlKey[] = "Software\\Classes\\.html";
const char kHtmlClassKey[] = "Software\\Classes\\TdsPageLinksHtml";

std::string browserLog() { return testutil::besideExe("fake-browsers\\chrome\\browser.log"); }

// Lines of the stand-in browser's log that hold address.
int launchesOf(const std::string& address) {
    const std::string text = testutil::readFileText(browserLog());
    int count = 0;
    for (size_t at = text.find(address); at != std::string::npos; at = text.find(address, at + 1))
        ++count;
    return count;
}

void closeStandInBrowsers() {
    testutil::WindowQuery browsers;
    browsers.title = "Stand-in browser";
    browsers.visibleOnly = false;
    for (HWND window : testutil::findWindows(browsers))
        PostMessageA(window, WM_CLOSE, 0, 0);
}

// Closes every stand-in browser started so far and waits until each has
// said so in the log. A browser logs its start before its window exists, so
// the windows are asked again until the last one has come and gone.
bool closeStartedBrowsers(DWORD timeoutMs) {
    return testutil::waitFor([] {
        closeStandInBrowsers();
        int launched = 0, closed = 0;
        for (const std::string& line : testutil::readFileLines(browserLog())) {
            if (line == "closed")
                ++closed;
            else if (!line.empty())
                ++launched;
        }
        return closed >= launched;
    }, timeoutMs);
}

struct LinkCase {
    const char* name;
    const char* page;
    const char* title;
    int control;
    bool linkControl;     // a SysLink; else a static text that reports clicks
    const char* visible;  // what a SysLink shows
    const char* before;   // its text before the link item
    const char* address;
    int endButton;
};

// ".html" opens with the stand-in browser while a test runs; the browser's
// log and windows are cleared before and after.
class PageLinks : public ::testing::TestWithParam<LinkCase> {
protected:
    void SetUp() override {
        const std::string command = "\"" + testutil::besideExe("fake-browsers\\chrome\\chrome.exe") + "\" \"%1\"";
        const std::string cls = "TdsPageLinksHtml";
        testutil::setRawValue(HKEY_LOCAL_MACHINE, kHtmlKey, "", REG_SZ, cls.c_str(),
                              static_cast<DWORD>(cls.size() + 1));
        testutil::setRawValue(HKEY_LOCAL_MACHINE, std::string(kHtmlClassKey) + "\\shell\\open\\command", "", REG_SZ,
                              command.c_str(), static_cast<DWORD>(command.size() + 1));
        DeleteFileA(browserLog().c_str());
    }
    void TearDown() override {
        // Every browser started must be gone before the log goes: one whose
        // window appears only after a single sweep would outlive the test
        // program and keep CTest waiting on its output.
        EXPECT_TRUE(closeStartedBrowsers(10000))
            << "a stand-in browser the page started did not close: " << testutil::readFileText(browserLog());
        DeleteFileA(browserLog().c_str());
    }
    testutil::ScopedRegBackup html_{HKEY_LOCAL_MACHINE, kHtmlKey};
    testutil::ScopedRegBackup htmlClass_{HKEY_LOCAL_MACHINE, kHtmlClassKey};
};

SIZE textExtent(HWND control, const std::string& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return extent;
}

// A click on each link of each page starts the default browser with the
// link's address; a SysLink holds that address as its one item, shows its
// text without markup, and answers Enter as a click.
TEST_P(PageLinks, ClickLink_OpensItsAddressInTheDefaultBrowser) {
    const LinkCase& c = GetParam();
    std::string itemAddress, className;
    int items = 0;
    SIZE ideal = {}, visible = {}, shown = {};
    bool opened = false, browserClosed = false, linkFocused = false, openedByEnter = false;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog(c.title);
            if (!dialog)
                return;
            HWND link = GetDlgItem(dialog, c.control);
            char cls[64] = {};
            GetClassNameA(link, cls, sizeof cls);
            className = cls;
            RECT area = {};
            GetClientRect(link, &area);
            shown = {area.right, area.bottom};
            POINT at = {4, area.bottom / 2};
            if (c.linkControl) {
                itemAddress = uitest::linkAddress(dialog, c.control, 0);
                for (int i = 0; i < 4 && !uitest::linkAddress(dialog, c.control, i).empty(); ++i)
                    ++items;
                // The width the control needs for what it shows: the text
                // without tags when the markup was understood.
                SendMessageW(link, LM_GETIDEALHEIGHT, 2000, reinterpret_cast<LPARAM>(&ideal));
                visible = textExtent(link, c.visible);
                at.x = textExtent(link, c.before).cx + 4;
            }
            PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
            PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            opened = testutil::waitFor([&] { return launchesOf(c.address) >= 1; }, 20000);
            if (c.linkControl) {
                // The browser the click started takes the activation, and
                // with it the link's focus, when its window shows, which
                // may be after the focus is set: it is closed first, and
                // Enter goes out once the link holds the focus.
                browserClosed = closeStartedBrowsers(10000);
                linkFocused = testutil::waitFor([&] {
                    SetForegroundWindow(dialog);
                    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(link), TRUE);
                    return focusOf(dialog) == link;
                }, 5000);
                PostMessageA(link, WM_KEYDOWN, VK_RETURN, 0x001C0001);
                openedByEnter = testutil::waitFor([&] { return launchesOf(c.address) >= 2; }, 20000);
            }
            endPage(dialog, c.endButton);
        });
        showPage(c.page);
    }
    EXPECT_TRUE(opened) << "no browser started with " << c.address << "; log: "
                        << testutil::readFileText(browserLog());
    if (!c.linkControl) {
        EXPECT_EQ(className, "Static");
        return;
    }
    EXPECT_EQ(className, "SysLink");
    EXPECT_EQ(itemAddress, c.address);
    EXPECT_EQ(items, 1);
    EXPECT_NEAR(ideal.cx, visible.cx, 2) << "the link shows more than \"" << c.visible << "\"";
    EXPECT_EQ(shown.cx, visible.cx) << "the control is not sized to its visible text";
    EXPECT_TRUE(browserClosed) << "the browser the click started did not close: "
                               << testutil::readFileText(browserLog());
    EXPECT_TRUE(linkFocused) << "the link did not take the focus";
    EXPECT_TRUE(openedByEnter) << "Enter on the link opened nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Links, PageLinks,
    ::testing::Values(
        LinkCase{"WelcomeData", "welcome", "Tolva Setup - Welcome", 487001, true,
                 "Click here for more information on what we do collect.", "", "https://www.tolva.example/data/",
                 IDOK},
        LinkCase{"WelcomeLicense", "welcome", "Tolva Setup - Welcome", 487002, true,
                 "Click Install to accept the license agreement and install Tolva now.",
                 "Click Install to accept the ", "https://www.tolva.example/license/", IDOK},
        LinkCase{"RestoreMoreInformation", "restore", "Tolva Setup - Restore Security Prompts", 6005, true,
                 "More information", "", "http://www.tolva.example/restoresecurityprompts/", IDOK},
        LinkCase{"ErrorHelpCenter", "error", "Tolva Setup - Incomplete", 3069, false, "", "",
                 "https://www.tolva.example/help/", IDCANCEL},
        LinkCase{"CompleteUpdateSettings", "complete", "Tolva Setup - Complete", 3041, false, "", "",
                 "http://www.tolva.example/autoupdate", IDCANCEL},
        LinkCase{"CompleteSecurityLevel", "complete", "Tolva Setup - Complete", 3046, false, "", "",
                 "http://www.tolva.example/securityminvalue/", IDCANCEL}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// --- what the pages draw -------------------------------------------------------

TEST(PageLook, ProgressBar_DrawsInTheBarColour) {
    COLORREF filled = 0, empty = 0;
    SIZE client = {}, frame = {};
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog("Tolva Setup - Progress");
            if (!dialog)
                return;
            HWND bar = GetDlgItem(dialog, CSetupProgressDialog::kBarControl);
            SendMessageA(bar, PBM_SETPOS, 500, 0);
            RECT area = {};
            GetClientRect(bar, &area);
            filled = uitest::printedPixel(bar, area.right / 4, area.bottom / 2);
            empty = uitest::printedPixel(bar, area.right * 3 / 4, area.bottom / 2);
            GetClientRect(dialog, &area);
            client = {area.right, area.bottom};
            RECT units = {0, 0, 333, 218};
            MapDialogRect(dialog, &units);
            frame = {units.right, units.bottom};
            endPage(dialog, IDCANCEL);
        });
        showPage("progress");
    }
    EXPECT_EQ(filled, RGB(50, 205, 50));
    EXPECT_EQ(empty, RGB(255, 255, 255));
    EXPECT_EQ(client.cx, frame.cx);
    EXPECT_EQ(client.cy, frame.cy);
}

TEST(PageLook, RestartBox_OnTheBandsWhite) {
    SetupCompleteData record;
    record.restartBrowser = true;
    record.ieRestart = true;
    CSetupComplete page(&record);
    COLORREF box = 0, note = 0;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog("Tolva Setup - Complete");
            if (!dialog)
                return;
            RECT area = {};
            GetClientRect(GetDlgItem(dialog, 3044), &area);
            box = uitest::printedPixel(GetDlgItem(dialog, 3044), area.right - 3, area.bottom / 2);
            GetClientRect(GetDlgItem(dialog, 3043), &area);
            note = uitest::printedPixel(GetDlgItem(dialog, 3043), area.right - 3, area.bottom / 2);
            endPage(dialog, IDCANCEL);
        });
        page.ShowModal();
    }
    EXPECT_EQ(box, RGB(255, 255, 255));
    EXPECT_EQ(note, RGB(255, 255, 255));
}

}  // namespace
