// The real welcome, destination-folder and error pages under Xvfb: each is
// opened, read and closed by a driver thread, the way a user would.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "config/install_config_data.h"
#include "launcher/product_version.h"
#include "launcher/ui/change_folder.h"
#include "launcher/ui/page_look.h"
#include "launcher/ui/setup_complete_error.h"
#include "launcher/ui/setup_pages.h"
#include "launcher/ui/welcome_dialog.h"
#include "launcher/ui_test_driver.h"
#include "launcher/vendor_registry.h"

namespace {

constexpr char kWelcomeTitle[] = "Tolva Setup - Welcome";
constexpr char kFolderTitle[] = "Tolva Setup - Destination Folder";
constexpr char kErrorTitle[] = "Tolva Setup - Incomplete";
constexpr char kConfirmTitle[] = "Tolva Setup";

// Records the addresses the pages open instead of starting a browser.
class LinkRecorder {
public:
    LinkRecorder() {
        ui::setLinkOpenerForTesting([this](const std::string& address) {
            std::lock_guard<std::mutex> lock(mutex_);
            opened_.push_back(address);
            return true;
        });
    }
    ~LinkRecorder() { ui::setLinkOpenerForTesting(nullptr); }
    std::vector<std::string> opened() {
        std::lock_guard<std::mutex> lock(mutex_);
        return opened_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> opened_;
};

COLORREF screenPixel(POINT at) {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// A screen point inside control id of dialog, offset from its top-left.
POINT pointIn(HWND dialog, int id, int dx, int dy) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    return POINT{rect.left + dx, rect.top + dy};
}

// A point of the dialog's client area, in screen coordinates.
POINT clientPoint(HWND dialog, int x, int y) {
    POINT point = {x, y};
    ClientToScreen(dialog, &point);
    return point;
}

bool waitForColour(POINT at, COLORREF expected) {
    return testutil::waitFor([&] { return screenPixel(at) == expected; }, 5000);
}

// The page's look: beige page, white body band, a banner that is neither.
void expectPageLook(HWND dialog) {
    // TDS_UI_HOLD_MS keeps the page up that long, to take a screenshot of it.
    char hold[16] = "";
    if (GetEnvironmentVariableA("TDS_UI_HOLD_MS", hold, sizeof hold) > 0)
        Sleep(static_cast<DWORD>(atoi(hold)));
    RECT client = {};
    GetClientRect(dialog, &client);
    EXPECT_TRUE(waitForColour(clientPoint(dialog, 4, client.bottom - 4), ui::kPageColor)) << "page background";
    RECT band = {};
    GetClientRect(GetDlgItem(dialog, ui::kBodyBandId), &band);
    EXPECT_TRUE(waitForColour(pointIn(dialog, ui::kBodyBandId, band.right - 6, band.bottom - 4), RGB(255, 255, 255)))
        << "body band";
    const COLORREF banner = screenPixel(pointIn(dialog, ui::kBannerControlId, 4, 4));
    EXPECT_NE(banner, ui::kPageColor);
    EXPECT_NE(banner, RGB(255, 255, 255));
}

void answerConfirmation(int button) {
    HWND box = uitest::waitForDialog(kConfirmTitle);
    ASSERT_NE(box, nullptr) << "no confirmation box";
    uitest::pressButton(box, button);
    EXPECT_TRUE(uitest::waitGone(box));
}

class VendorKeyTest : public ::testing::Test {
protected:
    testutil::ScopedRegBackup backup_{HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft"};
    std::string installStatus() {
        char status[64] = "";
        return GetTolvaSoftRegValue("InstallStatus", status, sizeof status) ? status : "";
    }
};

TEST_F(VendorKeyTest, Welcome_InstallReturnsNextWithBoxState) {
    LinkRecorder links;
    ui::CWelcomeDialog page;
    std::string title, body, licenseLink;
    bool boxVisible = false;
    INT_PTR result = 0;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog(kWelcomeTitle);
            if (!dialog)
                return;
            title = uitest::itemText(dialog, 1016);
            body = uitest::itemText(dialog, 1017);
            licenseLink = uitest::linkAddress(dialog, 487002);
            boxVisible = IsWindowVisible(GetDlgItem(dialog, 1025)) != FALSE;
            expectPageLook(dialog);
            // A click on the licence link opens its address.
            LITEM item = {};
            item.mask = LIF_ITEMINDEX | LIF_URL;
            item.iLink = 0;
            SendDlgItemMessageA(dialog, 487002, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item));
            NMLINK click = {};
            click.hdr.hwndFrom = GetDlgItem(dialog, 487002);
            click.hdr.idFrom = 487002;
            click.hdr.code = NM_CLICK;
            click.item = item;
            SendMessageA(dialog, WM_NOTIFY, 487002, reinterpret_cast<LPARAM>(&click));
            SendDlgItemMessageA(dialog, 1025, BM_SETCHECK, BST_CHECKED, 0);
            uitest::pressButton(dialog, IDOK);
        });
        result = page.DoModal(nullptr);
    }
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(page.changeFolder);
    EXPECT_EQ(title, "Welcome to Tolva");
    EXPECT_EQ(body.rfind("Tolva provides safe and secure access", 0), 0u) << body;
    EXPECT_EQ(licenseLink, "https://www.tolva.example/license/");
    EXPECT_TRUE(boxVisible);
    EXPECT_EQ(links.opened(), std::vector<std::string>{"https://www.tolva.example/license/"});
    EXPECT_EQ(installStatus(), "");
}

TEST_F(VendorKeyTest, Welcome_PresetBoxHiddenOption) {
    ui::CWelcomeDialog page;
    page.changeFolder = true;
    page.hideChangeFolderOption = true;
    bool checked = false, visible = true;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog(kWelcomeTitle);
            if (!dialog)
                return;
            checked = IsDlgButtonChecked(dialog, 1025) == BST_CHECKED;
            visible = IsWindowVisible(GetDlgItem(dialog, 1025)) != FALSE;
            uitest::pressButton(dialog, IDOK);
        });
        EXPECT_EQ(page.DoModal(nullptr), IDOK);
    }
    EXPECT_TRUE(checked);
    EXPECT_FALSE(visible);
}

TEST_F(VendorKeyTest, Welcome_CancelNoKeepsPageYesDeclines) {
    backup_.clear();
    ui::CWelcomeDialog page;
    std::string statusAfterNo = "unread";
    INT_PTR result = 0;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog(kWelcomeTitle);
            if (!dialog)
                return;
            uitest::pressButton(dialog, IDCANCEL);
            answerConfirmation(IDNO);
            // The page's thread answers a sent message only once it is back
            // in its message loop, with the Cancel press handled: a page that
            // ended is hidden by then.
            DWORD_PTR answer = 0;
            SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
            EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps the page";
            statusAfterNo = installStatus();
            // Escape (the close box too) asks again.
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            answerConfirmation(IDYES);
        });
        result = page.DoModal(nullptr);
    }
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(statusAfterNo, "");
    EXPECT_EQ(installStatus(), "decline");
}

// INSTALLDIR set in the installer configuration for the scope.
class ConfiguredInstallDir {
public:
    explicit ConfiguredInstallDir(const std::string& folder) {
        InstallConfigData& data = GetInstallConfigData();
        data.InitConfig();
        EXPECT_EQ(data.ImportArgsConfigSettings(GetModuleHandleA(nullptr), data.working(),
                                                {"kessa-setup.exe", "INSTALLDIR=" + folder}, true),
                  0);
    }
    ~ConfiguredInstallDir() { GetInstallConfigData().working().eraseKey("INSTALLDIR"); }
};

TEST(ChangeFolder, Construct_ConfiguredFolderFirst) {
    {
        ConfiguredInstallDir configured("C:\\Configured\\Tolva");
        ui::CChangeFolder page;
        EXPECT_STREQ(page.folder, "C:\\Configured\\Tolva");
    }
    ui::CChangeFolder page;
    EXPECT_EQ(std::string(page.folder), ui::SuggestedInstallFolder());
}

TEST(ChangeFolder, SuggestedInstallFolder_UnderProgramFiles) {
    char programFiles[MAX_PATH] = "";
    DWORD size = sizeof programFiles;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           RRF_RT_REG_SZ, nullptr, programFiles, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(ui::SuggestedInstallFolder(), std::string(programFiles) + "\\Tolva\\kessa" + kRuntimeVersion + "\\");
}

struct ShownFolderCase {
    const char* folder;
    const char* shown;
};

class DisplayedFolderTest : public ::testing::TestWithParam<ShownFolderCase> {};

// The page shows the folder with a path ellipsis, which keeps the text after
// the last backslash: a trailing one would leave nothing there to keep.
TEST_P(DisplayedFolderTest, DisplayedFolder_NoTrailingBackslash) {
    EXPECT_EQ(ui::DisplayedFolder(GetParam().folder), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Folders, DisplayedFolderTest,
                         ::testing::Values(ShownFolderCase{"C:\\Program Files\\Tolva\\kessa9.1.4_12\\",
                                                           "C:\\Program Files\\Tolva\\kessa9.1.4_12"},
                                           ShownFolderCase{"D:\\Chosen", "D:\\Chosen"},
                                           ShownFolderCase{"D:\\Chosen\\\\", "D:\\Chosen"},
                                           ShownFolderCase{"C:\\", "C:\\"}, ShownFolderCase{"", ""},
                                           ShownFolderCase{"\\\\server\\share\\", "\\\\server\\share"}));

// HKLM sent to a fresh key of our own for the scope (RegOverridePredefKey):
// the test may store any ProgramFilesDir without touching the machine's.
class RedirectedMachineHive {
public:
    RedirectedMachineHive() : path_("Software\\TdsRedirectedHklm-" + std::to_string(GetCurrentProcessId())) {
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                  nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_), ERROR_SUCCESS);
    }
    ~RedirectedMachineHive() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(key_);
        testutil::deleteRegTree(HKEY_CURRENT_USER, path_);
    }
    RedirectedMachineHive(const RedirectedMachineHive&) = delete;
    RedirectedMachineHive& operator=(const RedirectedMachineHive&) = delete;

private:
    std::string path_;
    HKEY key_ = nullptr;
};

// Only a value that names a folder gives a suggestion; an empty one would
// give the rooted "\Tolva\kessa...", the root of whatever drive is current.
TEST(ChangeFolder, SuggestedInstallFolder_ValueTable) {
    const std::string suffix = std::string("\\Tolva\\kessa") + kRuntimeVersion + "\\";
    const struct {
        const char* name;
        DWORD type;
        std::string data;
        std::string suggested;
    } cases[] = {
        {"text", REG_SZ, std::string("D:\\Apps\0", 8), "D:\\Apps" + suffix},
        {"expandable", REG_EXPAND_SZ, std::string("D:\\Apps\0", 8), "D:\\Apps" + suffix},
        {"no data", REG_SZ, std::string(), ""},
        {"only a NUL", REG_SZ, std::string(1, '\0'), ""},
        {"only NULs", REG_SZ, std::string(2, '\0'), ""},
        {"a number", REG_DWORD, std::string(4, '\1'), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RedirectedMachineHive hive;
        testutil::setRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                              c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(ui::SuggestedInstallFolder(), c.suggested);
    }
}

struct FolderCase {
    const char* name;
    int button;
    bool hideBack;
    INT_PTR result;
};

class ChangeFolderButtons : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ChangeFolderButtons, DoModal_EndingButton) {
    const FolderCase& c = GetParam();
    ConfiguredInstallDir configured("D:\\Chosen");
    ui::CChangeFolder page;
    page.hideBack = c.hideBack;
    std::string shownFolder;
    bool backVisible = false;
    INT_PTR result = 0;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog(kFolderTitle);
            if (!dialog)
                return;
            shownFolder = uitest::itemText(dialog, 1034);
            backVisible = IsWindowVisible(GetDlgItem(dialog, 1029)) != FALSE;
            if (c.button == IDOK)
                expectPageLook(dialog);
            uitest::pressButton(dialog, c.button);
            if (c.button == IDCANCEL)
                answerConfirmation(IDYES);
        });
        result = page.DoModal(nullptr);
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(shownFolder, "D:\\Chosen");
    EXPECT_STREQ(page.folder, "D:\\Chosen");
    EXPECT_EQ(backVisible, !c.hideBack);
}

INSTANTIATE_TEST_SUITE_P(Buttons, ChangeFolderButtons,
                         ::testing::Values(FolderCase{"Next", IDOK, false, 1}, FolderCase{"Back", 1029, false, 1029},
                                           FolderCase{"CancelYes", IDCANCEL, true, 2}),
                         [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

TEST(SetupCompleteError, DoModal_ShowsCodeOpensHelpAndCloses) {
    LinkRecorder links;
    for (int code : {1603, -5}) {
        ui::CSetupCompleteError page;
        page.errorCode = code;
        std::string shown;
        INT_PTR result = 0;
        {
            uitest::Driver driver([&] {
                HWND dialog = uitest::waitForDialog(kErrorTitle);
                if (!dialog)
                    return;
                shown = uitest::itemText(dialog, 3071);
                if (code == 1603) {
                    expectPageLook(dialog);
                    // The error icon is drawn inside its control, on the band's white
                    // (read from the control's own painting: other tests' windows
                    // may lie over it on the shared screen).
                    HWND icon = GetDlgItem(dialog, 3065);
                    EXPECT_EQ(uitest::printedPixel(icon, 16, 5), RGB(0xc0, 0x39, 0x2b));
                    EXPECT_EQ(uitest::printedPixel(icon, 1, 1), RGB(255, 255, 255));
                    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(3069, STN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, 3069)));
                    uitest::pressButton(dialog, IDCANCEL);
                } else {
                    PostMessageA(dialog, WM_CLOSE, 0, 0);  // the close box
                }
            });
            result = page.DoModal(nullptr);
        }
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(shown, "Error Code: " + std::to_string(code));
        if (code == 1603) {
            EXPECT_STREQ(page.helpUrl, "https://www.tolva.example/help/");
        }
    }
    EXPECT_EQ(links.opened(), std::vector<std::string>{"https://www.tolva.example/help/"});
}

// The cursor the dialog sets for WM_SETCURSOR with the pointer at point.
// The pointer is shared by every program on the display, so a reading
// counts only when the pointer stayed put around it.
HCURSOR cursorAt(HWND dialog, POINT point) {
    HCURSOR cursor = nullptr;
    const bool steady = testutil::waitFor([&] {
        SetCursorPos(point.x, point.y);
        POINT before = {}, after = {};
        GetCursorPos(&before);
        SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        cursor = GetCursor();
        GetCursorPos(&after);
        return before.x == point.x && before.y == point.y && after.x == point.x && after.y == point.y;
    }, 1000);
    if (!steady)
        ADD_FAILURE() << "the pointer did not stay at " << point.x << "," << point.y;
    return cursor;
}

TEST(SetupCompleteError, SetCursor_HandOverLinkOnly) {
    ui::CSetupCompleteError page;
    HCURSOR overLink = nullptr, elsewhere = nullptr;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog(kErrorTitle);
            if (!dialog)
                return;
            DWORD dialogThread = GetWindowThreadProcessId(dialog, nullptr);
            AttachThreadInput(GetCurrentThreadId(), dialogThread, TRUE);
            const POINT link = pointIn(dialog, 3069, 3, 3);
            overLink = cursorAt(dialog, link);
            elsewhere = cursorAt(dialog, pointIn(dialog, 3068, 3, 3));
            // The reading holds only for the link where it was measured.
            const POINT linkAfter = pointIn(dialog, 3069, 3, 3);
            EXPECT_TRUE(link.x == linkAfter.x && link.y == linkAfter.y)
                << "the link moved from " << link.x << "," << link.y << " to " << linkAfter.x << ","
                << linkAfter.y << " while the cursor was read";
            AttachThreadInput(GetCurrentThreadId(), dialogThread, FALSE);
            uitest::pressButton(dialog, IDCANCEL);
        });
        EXPECT_EQ(page.DoModal(nullptr), IDCANCEL);
    }
    const auto name = [](HCURSOR cursor) {
        return cursor == LoadCursor(nullptr, IDC_HAND)    ? "the hand"
               : cursor == LoadCursor(nullptr, IDC_ARROW) ? "the arrow"
                                                          : "another cursor";
    };
    EXPECT_EQ(overLink, LoadCursor(nullptr, IDC_HAND)) << "over the link: " << name(overLink);
    EXPECT_EQ(elsewhere, LoadCursor(nullptr, IDC_ARROW)) << "beside the link: " << name(elsewhere);
}

TEST(SetupPages, RealPages_MapButtonsToResults) {
    ui::SetupPages& pages = ui::GetSetupPages();
    bool changeFolder = true;
    {
        uitest::Driver driver([&] {
            if (HWND dialog = uitest::waitForDialog(kWelcomeTitle)) {
                SendDlgItemMessageA(dialog, 1025, BM_SETCHECK, BST_UNCHECKED, 0);
                uitest::pressButton(dialog, IDOK);
            }
        });
        EXPECT_EQ(pages.welcome(nullptr, changeFolder), ui::PageResult::Next);
    }
    EXPECT_FALSE(changeFolder);
    ConfiguredInstallDir configured("D:\\Picked");
    char folder[16] = "unchanged";
    {
        uitest::Driver driver([&] {
            if (HWND dialog = uitest::waitForDialog(kFolderTitle))
                uitest::pressButton(dialog, 1029);
        });
        EXPECT_EQ(pages.changeFolder(nullptr, false, folder, sizeof folder), ui::PageResult::Back);
    }
    EXPECT_STREQ(folder, "unchanged");
    {
        uitest::Driver driver([&] {
            if (HWND dialog = uitest::waitForDialog(kFolderTitle))
                uitest::pressButton(dialog, IDOK);
        });
        EXPECT_EQ(pages.changeFolder(nullptr, false, folder, sizeof folder), ui::PageResult::Next);
    }
    EXPECT_STREQ(folder, "D:\\Picked");
    {
        uitest::Driver driver([&] {
            if (HWND dialog = uitest::waitForDialog(kErrorTitle))
                uitest::pressButton(dialog, IDCANCEL);
        });
        EXPECT_EQ(pages.setupError(nullptr, 1603), ui::PageResult::Cancel);
    }
}

}  // namespace
