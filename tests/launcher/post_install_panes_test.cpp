#include "launcher/ui/post_install_panes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "launcher/post_install_pane_rules.h"
#include "ui_test_driver.h"

namespace {

// --- the completion page's rules ---------------------------------------------

SetupCompleteData sponsored(const char* code) {
    SetupCompleteData record;
    record.hasSponsor = *code != '\0';
    record.sponsorCode = code;
    return record;
}

struct LayoutCase {
    const char* code;  // "" for no sponsor
    bool plain, first, second;
    UINT title3037, title3050, title3049;
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, ChooseSetupCompleteLayout_BySponsor) {
    const LayoutCase& c = GetParam();
    const SetupCompleteData record = sponsored(c.code);
    const SetupCompleteLayout layout = ChooseSetupCompleteLayout(record);
    EXPECT_EQ(layout.plainTitle, c.plain);
    EXPECT_EQ(layout.firstSponsor, c.first);
    EXPECT_EQ(layout.secondSponsor, c.second);
    EXPECT_EQ(SetupCompleteTitleString(3037, record), c.title3037);
    EXPECT_EQ(SetupCompleteTitleString(3050, record), c.title3050);
    EXPECT_EQ(SetupCompleteTitleString(3049, record), c.title3049);
}

INSTANTIATE_TEST_SUITE_P(Codes, LayoutTest,
                         ::testing::Values(LayoutCase{"", true, false, false, 2056, 2056, 0},
                                           LayoutCase{"SP1", false, true, false, 2056, 2060, 0},
                                           LayoutCase{"sp4", false, true, false, 2056, 2058, 0},
                                           LayoutCase{"SP8", false, true, false, 2056, 2057, 0},
                                           LayoutCase{"SP9", false, true, false, 2056, 2057, 0},
                                           LayoutCase{"SP10", false, false, true, 2056, 0, 2059},
                                           LayoutCase{"Sp11", false, false, true, 2056, 0, 2064},
                                           LayoutCase{"SP12", false, false, true, 2056, 0, 2065},
                                           LayoutCase{"SP13", false, true, false, 2056, 0, 2065},
                                           LayoutCase{"SP14", false, false, true, 2056, 0, 2065},
                                           LayoutCase{"SP2", false, true, false, 2056, 0, 0}));

TEST(SetupCompleteLayoutTest, ChooseSetupCompleteLayout_FollowsRecord) {
    SetupCompleteData record;
    record.showBack = true;
    record.showVerifyText = true;
    record.showSecurityLevelText = false;
    SetupCompleteLayout layout = ChooseSetupCompleteLayout(record);
    EXPECT_TRUE(layout.back);
    EXPECT_TRUE(layout.verifyText);
    EXPECT_FALSE(layout.securityLevel);
    EXPECT_FALSE(layout.restartBox);

    record.restartBrowser = true;
    record.restartNow = false;
    layout = ChooseSetupCompleteLayout(record);
    EXPECT_TRUE(layout.restartBox);
    EXPECT_FALSE(layout.restartChecked);
}

int g_confirmCalls = 0;
bool g_confirmAnswer = false;
bool scriptedConfirm(HWND) {
    ++g_confirmCalls;
    return g_confirmAnswer;
}

struct CloseCase {
    bool restartBrowser, restartNow, boxChecked, confirmAnswer;
    bool expected;
    int confirmCalls;
};

class CloseRuleTest : public ::testing::TestWithParam<CloseCase> {};

TEST_P(CloseRuleTest, RestartNowAfterClose_Rule) {
    const CloseCase& c = GetParam();
    SetupCompleteData record;
    record.restartBrowser = c.restartBrowser;
    record.restartNow = c.restartNow;
    g_confirmCalls = 0;
    g_confirmAnswer = c.confirmAnswer;
    EXPECT_EQ(RestartNowAfterClose(record, c.boxChecked, &scriptedConfirm, nullptr), c.expected);
    EXPECT_EQ(g_confirmCalls, c.confirmCalls);
}

INSTANTIATE_TEST_SUITE_P(Cases, CloseRuleTest,
                         ::testing::Values(CloseCase{false, true, false, false, true, 0},
                                           CloseCase{false, false, true, true, false, 0},
                                           CloseCase{true, false, true, false, true, 0},
                                           CloseCase{true, true, false, true, true, 1},
                                           CloseCase{true, true, false, false, false, 1}));

TEST(BackRuleTest, RestartNowAfterBack_KeepsBoxOnlyWithRestart) {
    SetupCompleteData record;
    record.restartNow = true;
    EXPECT_TRUE(RestartNowAfterBack(record, false));
    record.restartBrowser = true;
    EXPECT_FALSE(RestartNowAfterBack(record, false));
    EXPECT_TRUE(RestartNowAfterBack(record, true));
}

// --- the real pages under Xvfb -----------------------------------------------

// TDS_PANE_HOLD_MS keeps every page up that long before the driver acts, so
// a screenshot can be taken.
DWORD holdMs() {
    const char* text = std::getenv("TDS_PANE_HOLD_MS");
    return text ? static_cast<DWORD>(std::strtoul(text, nullptr, 10)) : 0;
}

bool visibleItem(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item && (GetWindowLongPtrA(item, GWL_STYLE) & WS_VISIBLE);
}

bool closeGreyed(HWND dialog) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    return menu && (GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
}

bool itemChecked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void setChecked(HWND dialog, int id, bool on) {
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

TEST(PluginPageTest, ShowModal_EscapeIgnoredNextEnds) {
    CTolvaPluginDialog page;
    std::atomic<bool> checked{false};
    uitest::Driver driver([&] {
        HWND dialog = uitest::waitForDialog("Tolva Setup - Browser Plug-in Disabled");
        if (!dialog)
            return;
        Sleep(holdMs());
        EXPECT_EQ(uitest::itemText(dialog, 5001), "Tolva content is disabled in web browsers");
        EXPECT_TRUE(closeGreyed(dialog));
        EXPECT_FALSE(GetWindowLongPtrA(dialog, GWL_STYLE) & WS_MAXIMIZEBOX);
        // Escape as the dialog manager delivers it: sent, so it has been
        // handled when the call returns (an ended page is hidden at once).
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)), SMTO_NORMAL, 10000,
                                      &answer),
                  0)
            << "Escape was not handled";
        EXPECT_TRUE(IsWindowVisible(dialog)) << "Escape ended the page";
        checked = true;
        uitest::pressButton(dialog, IDOK);
    });
    EXPECT_EQ(page.ShowModal(), IDOK);
    EXPECT_TRUE(checked.load());
}

TEST(RestorePageTest, ShowModal_BackStoresClearedBoxAndShowsItAgain) {
    RestoreSecurityChoice choice;
    choice.restoreChecked = true;
    choice.restoreShowBack = true;
    CRestoreSecurityDialog page(&choice);
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog("Tolva Setup - Restore Security Prompts");
            if (!dialog)
                return;
            Sleep(holdMs());
            EXPECT_TRUE(visibleItem(dialog, 1029));
            EXPECT_TRUE(itemChecked(dialog, 6001));
            char cls[64] = {};
            GetClassNameA(GetDlgItem(dialog, 6005), cls, sizeof cls);
            EXPECT_STREQ(cls, "SysLink");
            EXPECT_EQ(uitest::linkAddress(dialog, 6005), "http://www.tolva.example/restoresecurityprompts/");
            setChecked(dialog, 6001, false);
            uitest::pressButton(dialog, 1029);
        });
        EXPECT_EQ(page.ShowModal(), 1029);
    }
    EXPECT_FALSE(choice.restoreChecked);

    choice.restoreShowBack = false;
    CRestoreSecurityDialog again(&choice);
    uitest::Driver driver([&] {
        HWND dialog = uitest::waitForDialog("Tolva Setup - Restore Security Prompts");
        if (!dialog)
            return;
        EXPECT_FALSE(visibleItem(dialog, 1029));
        EXPECT_FALSE(itemChecked(dialog, 6001));
        setChecked(dialog, 6001, true);
        uitest::pressButton(dialog, IDOK);
    });
    EXPECT_EQ(again.ShowModal(), IDOK);
    EXPECT_TRUE(choice.restoreChecked);
}

TEST(SetupCompletePageTest, ShowModal_CloseWithoutRestartEndsAtOnce) {
    SetupCompleteData record;
    record.showBack = true;
    record.showVerifyText = true;
    record.showSecurityLevelText = true;
    record.restartNow = false;
    CSetupComplete page(&record);
    uitest::Driver driver([&] {
        HWND dialog = uitest::waitForDialog("Tolva Setup - Complete");
        if (!dialog)
            return;
        Sleep(holdMs());
        EXPECT_EQ(uitest::itemText(dialog, 3037), "You have successfully installed Tolva");
        EXPECT_TRUE(visibleItem(dialog, 3037));
        EXPECT_FALSE(visibleItem(dialog, 3050));
        EXPECT_FALSE(visibleItem(dialog, 3049));
        EXPECT_TRUE(visibleItem(dialog, 3039));
        EXPECT_TRUE(visibleItem(dialog, 3046));
        EXPECT_FALSE(visibleItem(dialog, 3044));
        EXPECT_TRUE(visibleItem(dialog, 1029));
        EXPECT_FALSE(closeGreyed(dialog));
        uitest::pressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(page.ShowModal(), IDCANCEL);
    EXPECT_FALSE(record.restartNow);
}

struct RestartCase {
    const char* name;
    int boxAnswer;  // IDOK or IDCANCEL in the confirmation box
    bool restartNow;
};

class RestartPromptTest : public ::testing::TestWithParam<RestartCase> {};

TEST_P(RestartPromptTest, ShowModal_UncheckedRestartAsksFirst) {
    SetupCompleteData record;
    record.restartBrowser = true;
    record.ieRestart = true;
    record.hasSponsor = true;
    record.sponsorCode = "SP10";
    CSetupComplete page(&record);
    std::atomic<bool> asked{false};
    uitest::Driver driver([&] {
        HWND dialog = uitest::waitForDialog("Tolva Setup - Complete");
        if (!dialog)
            return;
        Sleep(holdMs());
        EXPECT_TRUE(itemChecked(dialog, 3044));
        EXPECT_TRUE(visibleItem(dialog, 3043));
        EXPECT_FALSE(visibleItem(dialog, 3039));
        EXPECT_TRUE(visibleItem(dialog, 3049));
        EXPECT_FALSE(visibleItem(dialog, 3037));
        EXPECT_FALSE(visibleItem(dialog, 1029));
        setChecked(dialog, 3044, false);
        uitest::pressButton(dialog, IDCANCEL);
        HWND box = uitest::waitForDialog("Tolva Setup - Restart Browser");
        if (!box)
            return;
        asked = true;
        Sleep(holdMs());
        uitest::pressButton(box, GetParam().boxAnswer);
    });
    EXPECT_EQ(page.ShowModal(), IDCANCEL);
    EXPECT_TRUE(asked.load());
    EXPECT_EQ(record.restartNow, GetParam().restartNow);
}

INSTANTIATE_TEST_SUITE_P(Answers, RestartPromptTest,
                         ::testing::Values(RestartCase{"Ok", IDOK, true}, RestartCase{"Cancel", IDCANCEL, false}),
                         [](const ::testing::TestParamInfo<RestartCase>& info) {
                             return std::string(info.param.name);
                         });

// The page stays on screen beneath the restart box and repaints there (the
// box moves, another window passes): its own brush and fonts must still be
// there while the box is up.
COLORREF g_titleBrushColor = 0;
bool g_titleBrushValid = false;
bool confirmAfterRepaint(HWND owner) {
    RedrawWindow(owner, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HWND title = GetDlgItem(owner, 3037);
    HDC dc = GetDC(title);
    const HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageA(owner, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(title)));
    ReleaseDC(title, dc);
    LOGBRUSH info = {};
    g_titleBrushValid = brush != nullptr && GetObjectA(brush, sizeof info, &info) == sizeof info;
    g_titleBrushColor = info.lbColor;
    return false;
}

TEST(SetupCompletePageTest, ShowModal_RestartBoxOverAPageThatKeepsItsLook) {
    SetupCompleteData record;
    record.restartBrowser = true;
    record.ieRestart = true;
    CSetupComplete page(&record, &confirmAfterRepaint);
    g_titleBrushValid = false;
    uitest::Driver driver([&] {
        HWND dialog = uitest::waitForDialog("Tolva Setup - Complete");
        if (!dialog)
            return;
        setChecked(dialog, 3044, false);
        uitest::pressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(page.ShowModal(), IDCANCEL);
    EXPECT_FALSE(record.restartNow);
    ASSERT_TRUE(g_titleBrushValid) << "the page painted without its brush under the restart box";
    EXPECT_EQ(g_titleBrushColor, RGB(231, 229, 213));
}

TEST(SetupCompletePageTest, ShowModal_BackKeepsRestartBox) {
    SetupCompleteData record;
    record.showBack = true;
    record.restartBrowser = true;
    CSetupComplete page(&record);
    uitest::Driver driver([&] {
        HWND dialog = uitest::waitForDialog("Tolva Setup - Complete");
        if (!dialog)
            return;
        setChecked(dialog, 3044, false);
        uitest::pressButton(dialog, 1029);
    });
    EXPECT_EQ(page.ShowModal(), 1029);
    EXPECT_FALSE(record.restartNow);
}

}  // namespace
