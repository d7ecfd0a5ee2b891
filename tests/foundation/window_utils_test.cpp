// Window, shell and registry-view utilities against real processes and
// real windows under Xvfb.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <thread>

#include "common/child_process.h"
#include "common/log_capture.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "common/window_finder.h"
#include "foundation/registry_view.h"
#include "foundation/registry_view_internal.h"
#include "foundation/shell_utils.h"
#include "foundation/shell_utils_internal.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"
#include "foundation/window_utils.h"
#include "foundation/window_utils_internal.h"

namespace {

HWND windowOf(DWORD pid) {
    testutil::WindowQuery shown;
    shown.processId = pid;
    return testutil::findWindow(shown);
}

struct ShutdownCase {
    const char* mode;
    bool destroyFlag;
    int result;
    DWORD exitCode;
};

class ShutdownProcessTest : public ::testing::TestWithParam<ShutdownCase> {};

TEST_P(ShutdownProcessTest, AsksByWmCloseThenTerminates) {
    const ShutdownCase& c = GetParam();
    testutil::ChildProcess child;
    ASSERT_TRUE(child.start(testutil::quote(testutil::besideExe("tds_window_helper.exe")) + " tds-shutdown " + c.mode));
    ASSERT_TRUE(testutil::waitFor([&] { return windowOf(child.pid()) != nullptr; }));
    testutil::LogCapture log;
    // The closing program's activation changes send messages to this
    // thread's windows; it keeps answering while another thread waits.
    int result = -1;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread closer([&] {
        result = ShutdownProcess(child.pid(), 1500, c.destroyFlag);
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjects(1, &done, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    closer.join();
    CloseHandle(done);
    EXPECT_EQ(result, c.result) << log.text();
    ASSERT_TRUE(child.wait(5000));
    EXPECT_EQ(child.exitCode(), c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Modes, ShutdownProcessTest,
                         ::testing::Values(ShutdownCase{"close", false, 1, 7}, ShutdownCase{"close", true, 1, 7},
                                           ShutdownCase{"ignore", false, 2, 0},
                                           ShutdownCase{"ignore", true, 2, 0}));

TEST(ShutdownProcess_NoSuchProcess, AnswersZero) {
    EXPECT_EQ(ShutdownProcess(0xFFFFFFF0u, 100, false), 0);
    EXPECT_EQ(ShutdownProcess(0, 100, true), 0);
}

struct FaceCase {
    const char* country;
    int osClass;
    const char* face;
};

class DialogFaceTest : public ::testing::TestWithParam<FaceCase> {};

TEST_P(DialogFaceTest, ChoosesByCountryAndOsClass) {
    EXPECT_EQ(window_utils_internal::dialogFace(GetParam().country, GetParam().osClass), GetParam().face);
}

INSTANTIATE_TEST_SUITE_P(
    Faces, DialogFaceTest,
    ::testing::Values(FaceCase{"Japan", 1, "MS UI Gothic"}, FaceCase{"Japan", 5, "MS UI Gothic"},
                      FaceCase{"Korea", 5, window_utils_internal::kFallbackFace},
                      FaceCase{"China", 3, window_utils_internal::kFallbackFace},
                      FaceCase{"Taiwan", 3, window_utils_internal::kFallbackFace},
                      FaceCase{"United States", 1, window_utils_internal::kFallbackFace},
                      FaceCase{"United States", 2, "Segoe UI"}, FaceCase{"Germany", 5, "Segoe UI"}));

TEST(CreateDialogFont_Real, HeightWeightAndUnderline) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    char country[128] = {};
    GetLocaleInfoA(GetThreadLocale(), LOCALE_SENGCOUNTRY, country, sizeof country);
    for (bool bold : {false, true}) {
        HFONT font = CreateDialogFont(9, bold, !bold);
        ASSERT_NE(font, nullptr);
        LOGFONTA lf = {};
        ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
        EXPECT_EQ(lf.lfHeight, -MulDiv(9, dpi, 72));
        EXPECT_EQ(lf.lfWeight, bold ? 700 : 500);
        EXPECT_EQ(lf.lfUnderline != 0, !bold);
        EXPECT_EQ(lf.lfItalic, 0);
        EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
        EXPECT_EQ(std::string(lf.lfFaceName), window_utils_internal::dialogFace(country, SysInfo::getWindowsVersion()));
        DeleteObject(font);
    }
}

// The face follows the thread's locale, which the launchers set to the UI
// language they chose, whatever the system's own country.
TEST(CreateDialogFont_Real, FaceFollowsTheThreadLocale) {
    const LCID before = GetThreadLocale();
    const struct {
        LANGID language;
        const char* country;
    } cases[] = {{1041, "Japan"},   {1042, "Korea"},   {2052, "China"},
                 {1028, "Taiwan"},  {1031, "Germany"}, {1033, "United States"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(SetThreadLocale(MAKELCID(c.language, SORT_DEFAULT)));
        HFONT font = CreateDialogFont(10, false, false);
        ASSERT_NE(font, nullptr);
        LOGFONTA lf = {};
        GetObjectA(font, sizeof lf, &lf);
        DeleteObject(font);
        EXPECT_EQ(std::string(lf.lfFaceName), window_utils_internal::dialogFace(c.country, SysInfo::getWindowsVersion()))
            << c.language;
    }
    SetThreadLocale(before);
}

class RegistryViewTest : public ::testing::Test {
protected:
    void TearDown() override { registry_view_internal::setRunning32BitForTesting(-1); }
};

TEST_F(RegistryViewTest, MasksForBothViews) {
    registry_view_internal::setRunning32BitForTesting(1);
    EXPECT_TRUE(IsRunning32Bit());
    EXPECT_EQ(GetSystemViewRegAccess(true), 0x20206u);
    EXPECT_EQ(GetSystemViewRegAccess(false), 0x20219u);
    registry_view_internal::setRunning32BitForTesting(0);
    EXPECT_EQ(GetSystemViewRegAccess(true), 0x20106u);
    EXPECT_EQ(GetSystemViewRegAccess(false), 0x20119u);
    registry_view_internal::setRunning32BitForTesting(-1);
    // A 64-bit program on 64-bit Wine.
    EXPECT_FALSE(IsRunning32Bit());
}

TEST(KessaSystemLoadLibrary, LoadsFromTheSystemFolderOnly) {
    testutil::LogCapture log;
    HMODULE module = Kessa_System_LoadLibrary("version.dll");
    ASSERT_NE(module, nullptr);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(tstrings::toLower(path), tstrings::toLower(std::string(system) + "\\version.dll"));
    FreeLibrary(module);

    EXPECT_EQ(Kessa_System_LoadLibrary("tds-no-such.dll"), nullptr);
    EXPECT_TRUE(log.contains("ERROR: LoadLibrary(" + std::string(system) + "\\tds-no-such.dll) failed.  ErrorCode: 126"))
        << log.text();
    EXPECT_EQ(Kessa_System_LoadLibrary(std::string(300, 'a').c_str()), nullptr);
    EXPECT_TRUE(log.contains("ERROR: _snprintf failed.  ErrorCode: "));
}

TEST(GetAppDataLowDir, LocalLowOnVistaAndLater) {
    char buffer[MAX_PATH] = "x";
    ASSERT_TRUE(GetAppDataLowDir(buffer));
    const std::string dir = tstrings::toLower(buffer);
    EXPECT_EQ(dir.substr(dir.size() - 17), "\\appdata\\locallow") << buffer;
}

TEST(GetAppDataLowDir, RoamingFolderBeforeVista) {
    char expected[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, expected)));
    char buffer[MAX_PATH] = {};
    ASSERT_TRUE(shell_utils_internal::appDataLowDir(buffer, 1, "shell32.dll", "SHGetKnownFolderPath"));
    EXPECT_STREQ(buffer, expected);
}

TEST(GetAppDataLowDir, MissingFunctionOrLibraryIsFalse) {
    char buffer[MAX_PATH] = "x";
    EXPECT_FALSE(shell_utils_internal::appDataLowDir(buffer, 5, "shell32.dll", "TdsNoSuchFunction"));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(shell_utils_internal::appDataLowDir(buffer, 5, "tds-no-such.dll", "SHGetKnownFolderPath"));
}

struct MarkupCase {
    const wchar_t* text;
    bool found;
    const wchar_t* result;
    const wchar_t* visible;
};

class LinkMarkupTest : public ::testing::TestWithParam<MarkupCase> {};

TEST_P(LinkMarkupTest, MakeLinkMarkup_BareItem) {
    const auto m = window_utils_internal::makeLinkMarkup(GetParam().text);
    EXPECT_EQ(m.found, GetParam().found);
    if (m.found) {
        EXPECT_EQ(m.text, GetParam().result);
        EXPECT_EQ(m.visible, GetParam().visible);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LinkMarkupTest,
    ::testing::Values(MarkupCase{L"Read <l>terms</l> now", true, L"Read <a>terms</a> now", L"Read terms now"},
                      MarkupCase{L"See <l>more</l>", true, L"See <a>more</a>", L"See more"},
                      // A "</l>" before the "<l>" is plain text.
                      MarkupCase{L"a </l> b <l>c</l> d", true, L"a </l> b <a>c</a> d", L"a </l> b c d"},
                      // A bare item already in the text is kept as it is.
                      MarkupCase{L"<a>Click here</a> for more", true, L"<a>Click here</a> for more",
                                 L"Click here for more"},
                      MarkupCase{L"Go <A>here</A>.", true, L"Go <a>here</a>.", L"Go here."},
                      MarkupCase{L"no tags", false, L"", L""}, MarkupCase{L"only <l>open", false, L"", L""},
                      MarkupCase{L"close</l> then <l>open", false, L"", L""},
                      MarkupCase{L"only <a>open", false, L"", L""}));

class ApplyLinkMarkupTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        parent_ = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        RECT wanted = {0, 0, 400, 200};
        AdjustWindowRect(&wanted, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(parent_, nullptr, 0, 0, wanted.right - wanted.left, wanted.bottom - wanted.top,
                     SWP_NOZORDER | SWP_NOMOVE);
    }
    void TearDown() override { DestroyWindow(parent_); }
    HWND child(const wchar_t* cls, const wchar_t* text) {
        HWND h = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE, 10, 30, 300, 20, parent_, nullptr, nullptr,
                                 nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
        return h;
    }
    static SIZE textExtent(HWND control, const std::wstring& text) {
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SIZE extent = {};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        return extent;
    }
    HWND parent_ = nullptr;
};

// A link control made from either form of markup ends with one item that
// leads to the address, shows only the visible text (the width the control
// asks for is that of the text without tags) and is centred at that width.
TEST_F(ApplyLinkMarkupTest, ApplyLinkMarkup_LinkItemWithAddressCentred) {
    for (const wchar_t* markup : {L"Read the <l>terms</l>.", L"Read the <a>terms</a>."}) {
        SCOPED_TRACE(testing::Message() << "markup " << tstrings::toUtf8(markup));
        HWND link = child(WC_LINK, markup);
        ASSERT_NE(link, nullptr);
        ASSERT_TRUE(ApplyLinkMarkup(link, "https://www.tolva.example/terms", 1));

        LITEM item = {};
        item.mask = LIF_ITEMINDEX | LIF_URL;
        item.iLink = 0;
        ASSERT_TRUE(SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)));
        EXPECT_STREQ(item.szUrl, L"https://www.tolva.example/terms");
        LITEM second = {};
        second.mask = LIF_ITEMINDEX | LIF_URL;
        second.iLink = 1;
        EXPECT_FALSE(SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&second))) << "one item only";

        const SIZE extent = textExtent(link, L"Read the terms.");
        // LM_GETIDEALSIZE (MinGW names it only LM_GETIDEALHEIGHT): the size the
        // control needs for what it shows.
        SIZE ideal = {};
        SendMessageW(link, LM_GETIDEALHEIGHT, 1000, reinterpret_cast<LPARAM>(&ideal));
        EXPECT_LE(ideal.cx, extent.cx + 2) << "the control shows more than the visible text";
        EXPECT_GE(ideal.cx, extent.cx - 2);

        RECT r = {};
        GetWindowRect(link, &r);
        MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.right - r.left, extent.cx);
        EXPECT_EQ(r.bottom - r.top, extent.cy);
        EXPECT_EQ(r.left, (400 - extent.cx) / 2);
        EXPECT_EQ(r.top, 30);
        DestroyWindow(link);
    }
}

TEST_F(ApplyLinkMarkupTest, ApplyLinkMarkup_WithoutFitKeepsItsPlace) {
    HWND link = child(WC_LINK, L"Go <l>here</l>");
    ASSERT_TRUE(ApplyLinkMarkup(link, "https://a.example/", 0));
    wchar_t buffer[128] = {};
    GetWindowTextW(link, buffer, 128);
    EXPECT_STREQ(buffer, L"Go <a>here</a>");
    RECT r = {};
    GetWindowRect(link, &r);
    EXPECT_EQ(r.right - r.left, 300);
}

TEST_F(ApplyLinkMarkupTest, ApplyLinkMarkup_RefusedLeavesControlAlone) {
    HWND text = child(L"STATIC", L"plain </l> text");
    EXPECT_FALSE(ApplyLinkMarkup(text, "https://a.example/", 1));
    wchar_t buffer[64] = {};
    GetWindowTextW(text, buffer, 64);
    EXPECT_STREQ(buffer, L"plain </l> text");
    EXPECT_FALSE(ApplyLinkMarkup(nullptr, "https://a.example/", 1));
    EXPECT_FALSE(ApplyLinkMarkup(text, nullptr, 1));

    // A static control cannot hold a link, and an address longer than a
    // link item holds is not cut.
    HWND notALink = child(L"STATIC", L"Go <a>here</a>");
    EXPECT_FALSE(ApplyLinkMarkup(notALink, "https://a.example/", 1));
    HWND link = child(WC_LINK, L"Go <a>here</a>");
    const std::string tooLong = "https://a.example/" + std::string(L_MAX_URL_LENGTH, 'x');
    EXPECT_FALSE(ApplyLinkMarkup(link, tooLong.c_str(), 1));
    RECT r = {};
    GetWindowRect(link, &r);
    EXPECT_EQ(r.right - r.left, 300);
}

}  // namespace
