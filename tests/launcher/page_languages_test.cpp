// Every page of the runtime launcher, opened for real under Xvfb in each UI
// language: the page shows that language's texts, each visible text fits its
// control as wide as the control is on a Windows of that language (no cut
// words, no lines below the control's bottom), no two texts overlap, and a
// picture of the page is written to the build folder
// (page_shots/<language>_<page>.bmp) to be looked at.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "common/window_paint.h"
#include "foundation/locale.h"
#include "foundation/tstrings.h"
#include "foundation/ui_text.h"
#include "launcher/launcher_run.h"
#include "launcher/security_prompts.h"
#include "launcher/ui/change_folder.h"
#include "launcher/ui/post_install_panes.h"
#include "launcher/ui/setup_complete_error.h"
#include "launcher/ui/setup_progress_dialog.h"
#include "launcher/ui/welcome_dialog.h"
#include "launcher/ui_test_driver.h"

namespace {

std::vector<Locale> uiLocales() {
    struct Collect : Locale::LocaleObserver {
        std::vector<Locale> locales;
        bool operator()(const Locale& locale) override {
            locales.push_back(locale);
            return true;
        }
    } collect;
    Locale::enumerateSupported(collect);
    return collect.locales;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

// A link control's text without its "<a>" and "</a>" tags.
std::wstring visibleLinkText(std::wstring text) {
    for (const wchar_t* tag : {L"<a>", L"</a>", L"<A>", L"</A>"}) {
        for (size_t at; (at = text.find(tag)) != std::wstring::npos;)
            text.erase(at, wcslen(tag));
    }
    return text;
}

struct TextControl {
    HWND window;
    int id;
    std::wstring text;
    RECT rect;  // in the dialog's client coordinates
};

BOOL CALLBACK collectText(HWND child, LPARAM param) {
    if (!IsWindowVisible(child))
        return TRUE;
    const std::wstring text = windowText(child);
    if (text.empty())
        return TRUE;
    TextControl control = {child, GetDlgCtrlID(child), text, {}};
    GetWindowRect(child, &control.rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&control.rect), 2);
    reinterpret_cast<std::vector<TextControl>*>(param)->push_back(control);
    return TRUE;
}

// The width in pixels of four horizontal dialog units on a Windows of
// language at 96 dpi, which is the average width of the Latin letters of its
// dialog face: MS Sans Serif 8 for the European languages; for the others
// the UI face that Chinese, Japanese and Korean Windows give the templates'
// faces, the logical dialog face included.
int windowsDialogUnitX(LANGID language) {
    switch (PRIMARYLANGID(language)) {
    case LANG_KOREAN:
        return 7;  // Gulim 9
    default:
        return 6;  // the European, Japanese and both Chinese dialog faces
    }
}

// Width, in pixels of dialog as it is here, in pixels of the same dialog on
// a Windows of language. None of the CJK faces is in the test prefix, and
// the face that stands in for them has wider Latin letters: its dialog units
// come out a sixth wider than Windows', while a CJK character is one em wide
// in both, so a Japanese line that Windows cuts fits here. The stand-in's
// wider Latin letters in the texts themselves only err on the safe side.
int onWindows(HWND dialog, int width, LANGID language) {
    RECT units = {0, 0, 4, 8};
    if (!MapDialogRect(dialog, &units) || units.right <= 0)
        return width;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return MulDiv(width, MulDiv(windowsDialogUnitX(language), dpi, 96), units.right);
}

INT_PTR CALLBACK plainDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The client rectangles of dialog id's controls as its template in language
// makes them, before the page's code moves any, by control id; empty when
// the template is missing.
std::map<int, RECT> templateClients(int id, LANGID language) {
    std::map<int, RECT> clients;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id), language);
    if (!found)
        return clients;
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)));
    HWND dialog = CreateDialogIndirectParamW(module, dialogTemplate, nullptr, &plainDialog, 0);
    if (!dialog)
        return clients;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT client = {};
        GetClientRect(child, &client);
        clients[GetDlgCtrlID(child)] = client;
    }
    DestroyWindow(dialog);
    return clients;
}

// Where the text of control needs more room than the control gives it on a
// Windows of language, a message naming the control; empty when it fits.
// A link the page shrank to its one line here keeps its template's size on
// a Windows where that line is wider: the room is the larger of the two.
std::string fitProblem(const TextControl& control, LANGID language, const std::map<int, RECT>& templates) {
    RECT client = {};
    GetClientRect(control.window, &client);
    const auto original = templates.find(control.id);
    if (original != templates.end() && original->second.right > client.right)
        client = original->second;
    const std::wstring kind = className(control.window);
    const LONG_PTR style = GetWindowLongPtrW(control.window, GWL_STYLE);
    std::wstring text = control.text;
    UINT format = DT_CALCRECT;
    int room = onWindows(GetParent(control.window), client.right, language);
    if (kind == L"Button") {
        const LONG_PTR type = style & BS_TYPEMASK;
        format |= DT_SINGLELINE;
        room -= (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 6;
    } else if (kind == L"SysLink") {
        text = visibleLinkText(text);
        format |= DT_WORDBREAK | DT_NOPREFIX;
    } else if (kind == L"Static") {
        if (style & SS_PATHELLIPSIS)
            return std::string();  // a path is shortened on purpose
        format |= DT_WORDBREAK | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    } else {
        return std::string();
    }
    HDC dc = GetDC(control.window);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control.window, WM_GETFONT, 0, 0));
    HGDIOBJ previous = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    RECT needed = {0, 0, room, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format);
    SelectObject(dc, previous);
    ReleaseDC(control.window, dc);
    if (needed.right > room || needed.bottom > client.bottom) {
        return "control " + std::to_string(control.id) + " \"" + tstrings::toUtf8(control.text) + "\" needs " +
               std::to_string(needed.right) + "x" + std::to_string(needed.bottom) + ", has " +
               std::to_string(room) + "x" + std::to_string(client.bottom);
    }
    return std::string();
}

bool overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The dialog's window as it is on the screen, as a 24-bit BMP file. Other
// tests' windows share the display, so the page is put on top of them and
// repainted first (Wine's PrintWindow leaves the child controls out), then
// let down again; the tests that read the screen take turns with this one.
void writeShot(HWND dialog, const std::string& path) {
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_TRUE(testutil::waitFor([&] { return testutil::nothingLeftToPaint(dialog); }))
        << path << ": the page did not paint itself again";
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SelectObject(memory, previous);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<size_t>(stride) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(out, &file, sizeof file, &written, nullptr);
        WriteFile(out, &info, sizeof info, &written, nullptr);
        WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
        CloseHandle(out);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

struct PageRun {
    const char* name;
    int templateId;
    int closeButton;
    // Shows the page modally on the calling thread; answers its result.
    std::function<INT_PTR()> show;
};

// Shows page, checks its texts while it is up, takes its picture and closes
// it with its button; answers the texts it showed.
std::vector<TextControl> checkPage(const PageRun& page, const Locale& locale) {
    std::vector<TextControl> shown;
    const std::map<int, RECT> templates = templateClients(page.templateId, locale.getLangId());
    EXPECT_FALSE(templates.empty()) << page.name << " has no template " << page.templateId;
    {
        uitest::Driver driver([&] {
            HWND dialog = uitest::waitForDialog("");
            if (!dialog) {
                ADD_FAILURE() << page.name << " did not open";
                return;
            }
            EXPECT_TRUE(testutil::waitFor([&] { return testutil::nothingLeftToPaint(dialog); }))
                << page.name << " did not paint itself";
            EnumChildWindows(dialog, &collectText, reinterpret_cast<LPARAM>(&shown));
            for (const TextControl& control : shown) {
                const std::string problem = fitProblem(control, locale.getLangId(), templates);
                EXPECT_TRUE(problem.empty()) << problem;
            }
            for (size_t i = 0; i < shown.size(); ++i) {
                for (size_t j = i + 1; j < shown.size(); ++j) {
                    EXPECT_FALSE(overlap(shown[i].rect, shown[j].rect))
                        << "controls " << shown[i].id << " and " << shown[j].id << " overlap";
                }
            }
            CreateDirectoryA("page_shots", nullptr);
            writeShot(dialog, "page_shots\\" + locale.getName() + "_" + page.name + ".bmp");
            uitest::pressButton(dialog, page.closeButton);
        });
        EXPECT_EQ(page.show(), page.closeButton) << page.name;
    }
    return shown;
}

std::wstring textOf(const std::vector<TextControl>& controls, int id) {
    for (const TextControl& control : controls) {
        if (control.id == id)
            return control.text;
    }
    return std::wstring();
}

class PageLanguages : public ::testing::TestWithParam<Locale> {
protected:
    void SetUp() override { UseUiLanguage(GetParam().getLangId()); }
    void TearDown() override { UseUiLanguage(1033); }
    // The string id as this language's table holds it.
    std::wstring string(UINT id) { return tstrings::toUtf16(LoadStringUtf8(GetModuleHandleW(nullptr), id)); }
};

TEST_P(PageLanguages, SetupPages_ShowTheLanguageAndFit) {
    ui::CWelcomeDialog welcome;
    const auto welcomeTexts =
        checkPage({"welcome", ui::CWelcomeDialog::IDD, IDOK, [&] { return welcome.DoModal(nullptr); }}, GetParam());
    EXPECT_EQ(textOf(welcomeTexts, 1016), string(2037));
    EXPECT_EQ(textOf(welcomeTexts, 1017), string(2039));

    ui::CChangeFolder folder;
    checkPage({"folder", ui::CChangeFolder::IDD, IDOK, [&] { return folder.DoModal(nullptr); }}, GetParam());

    ui::CSetupCompleteError error;
    error.errorCode = 1603;
    const auto errorTexts =
        checkPage({"error", ui::CSetupCompleteError::IDD, IDCANCEL, [&] { return error.DoModal(nullptr); }},
                  GetParam());
    std::wstring code = string(3072);
    code.replace(code.find(L"%d"), 2, L"1603");
    EXPECT_EQ(textOf(errorTexts, 3071), code);

    CSetupProgressDialog progress(0);
    checkPage({"progress", CSetupProgressDialog::IDD, IDCANCEL, [&] { return progress.DoModal(nullptr); }}, GetParam());
}

TEST_P(PageLanguages, PostInstallPanes_ShowTheLanguageAndFit) {
    CTolvaPluginDialog plugin;
    checkPage({"plugin", CTolvaPluginDialog::IDD, IDOK, [&] { return plugin.DoModal(nullptr); }}, GetParam());

    RestoreSecurityChoice choice;
    choice.restoreShowBack = true;
    CRestoreSecurityDialog restore(&choice);
    checkPage({"restore", CRestoreSecurityDialog::IDD, IDOK, [&] { return restore.DoModal(nullptr); }}, GetParam());

    // The completion page once with the restart box and the security level,
    // once with the verify-page sentence (the two never come together).
    SetupCompleteData restart;
    restart.showBack = true;
    restart.restartBrowser = true;
    restart.showSecurityLevelText = true;
    CSetupComplete withRestart(&restart);
    const auto completeTexts =
        checkPage({"complete", CSetupComplete::IDD, IDCANCEL, [&] { return withRestart.DoModal(nullptr); }},
                  GetParam());
    EXPECT_EQ(textOf(completeTexts, 3037), string(2056));

    SetupCompleteData verify;
    verify.showVerifyText = true;
    CSetupComplete withVerify(&verify);
    checkPage({"complete_verify", CSetupComplete::IDD, IDCANCEL, [&] { return withVerify.DoModal(nullptr); }},
              GetParam());
}

INSTANTIATE_TEST_SUITE_P(EveryUiLanguage, PageLanguages, ::testing::ValuesIn(uiLocales()),
                         [](const ::testing::TestParamInfo<Locale>& info) { return info.param.getName(); });

}  // namespace
