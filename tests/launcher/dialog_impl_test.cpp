// The dialog layer on real windows under Xvfb: modal and modeless dialogs
// from a template in the chosen language, the message handlers, and JPEG
// decoding by the image class.
#include "launcher/ui/dialog_impl.h"
#include "launcher/ui/image.h"

#include <gtest/gtest.h>

#include <atomic>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/test_util.h"
#include "launcher/ui_test_driver.h"

namespace {

constexpr char kTitle[] = "Dialog layer test";

class TestDialog : public ui::DialogImpl<TestDialog> {
public:
    enum { IDD = 9001 };

    std::atomic<int> initCount{0};
    std::atomic<int> ctlColorCount{0};
    std::atomic<int> setCursorCount{0};
    std::atomic<int> destroyCount{0};
    std::atomic<int> notifyCount{0};
    LPARAM initParam = 0;
    std::string textAtInit;
    bool shownByOverride = false;

    BOOL ShowWindow(int command) override {
        shownByOverride = true;
        return DialogWindow::ShowWindow(command);
    }

protected:
    BOOL onInitDialog(HWND, LPARAM param) override {
        ++initCount;
        initParam = param;
        textAtInit = uitest::itemText(hwnd(), 100);
        return TRUE;
    }
    bool onCommand(WORD id, WORD, HWND) override {
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(id);
            return true;
        }
        if (id == 42) {
            EndDialog(77);
            return true;
        }
        return false;
    }
    bool onNotify(int, NMHDR*, LRESULT&) override {
        ++notifyCount;
        return false;
    }
    HBRUSH onCtlColor(UINT message, HDC, HWND) override {
        if (message == WM_CTLCOLORSTATIC)
            ++ctlColorCount;
        return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    }
    bool onSetCursor(HWND, UINT, UINT) override {
        ++setCursorCount;
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        return true;
    }
    void onDestroy() override {
        ++destroyCount;
        // Controls still exist while WM_DESTROY runs.
        EXPECT_NE(item(IDOK), nullptr);
    }
};

class BrokenDialog : public ui::DialogImpl<BrokenDialog> {
public:
    enum { IDD = 9002 };
};

class MissingDialog : public ui::DialogImpl<MissingDialog> {
public:
    enum { IDD = 9999 };
};

struct LanguageReset {
    ~LanguageReset() { ui::setDialogLanguage(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)); }
};

TEST(DialogImpl, DoModal_ReturnsEndingButtonId) {
    TestDialog dialog;
    HWND seen = nullptr;
    INT_PTR result = 0;
    {
        uitest::Driver driver([&] {
            seen = uitest::waitForDialog(kTitle);
            if (!seen)
                return;
            // A cursor move over the dialog and a repaint reach the handlers.
            SendMessageA(seen, WM_SETCURSOR, reinterpret_cast<WPARAM>(seen), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            RedrawWindow(seen, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            uitest::pressButton(seen, IDCANCEL);
        });
        result = dialog.DoModal(nullptr, 1234);
    }
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.initCount, 1);
    EXPECT_EQ(dialog.initParam, 1234);
    EXPECT_EQ(dialog.textAtInit, "English text");
    EXPECT_GT(dialog.ctlColorCount, 0);
    EXPECT_GT(dialog.setCursorCount, 0);
    EXPECT_EQ(dialog.destroyCount, 1);
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_FALSE(IsWindow(seen));
}

TEST(DialogImpl, DoModal_AnyResultGivenToEndDialog) {
    TestDialog dialog;
    uitest::Driver driver([&] {
        if (HWND seen = uitest::waitForDialog(kTitle))
            uitest::pressButton(seen, 42);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), 77);
}

TEST(DialogImpl, DoModal_CanRunTwiceOnOneObject) {
    TestDialog dialog;
    for (int round = 0; round < 2; ++round) {
        uitest::Driver driver([&] {
            if (HWND seen = uitest::waitForDialog(kTitle))
                uitest::pressButton(seen, IDOK);
        });
        EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    }
    EXPECT_EQ(dialog.initCount, 2);
}

TEST(DialogImpl, DoModal_ChosenLanguageTemplate) {
    LanguageReset reset;
    ui::setDialogLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    TestDialog dialog;
    uitest::Driver driver([&] {
        if (HWND seen = uitest::waitForDialog(kTitle))
            uitest::pressButton(seen, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_EQ(dialog.textAtInit, "Deutscher Text");
}

TEST(DialogImpl, DoModal_LanguageWithoutTemplateFallsBack) {
    LanguageReset reset;
    ui::setDialogLanguage(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    TestDialog dialog;
    uitest::Driver driver([&] {
        if (HWND seen = uitest::waitForDialog(kTitle))
            uitest::pressButton(seen, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_FALSE(dialog.textAtInit.empty());
}

TEST(DialogImpl, DoModal_MinusOneWhenItCannotBeCreated) {
    MissingDialog missing;
    EXPECT_EQ(missing.DoModal(nullptr), -1);
    BrokenDialog broken;
    EXPECT_EQ(broken.DoModal(nullptr), -1);
    EXPECT_EQ(broken.Create(nullptr), nullptr);
}

TEST(DialogImpl, Create_ModelessEndsWithResultAndIsDestroyed) {
    TestDialog dialog;
    HWND window = dialog.Create(nullptr, 9);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(dialog.hwnd(), window);
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.initParam, 9);
    dialog.ShowWindow(SW_SHOW);
    EXPECT_TRUE(dialog.shownByOverride);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(dialog.Create(nullptr), nullptr) << "a second window for one object";

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(testutil::waitFor([&] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!dialog.isDialogMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        return !IsWindow(window);
    })) << "the modeless dialog was not destroyed after OK";
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(dialog.destroyCount, 1);
}

TEST(DialogImpl, Destructor_DestroysModelessWindow) {
    HWND window = nullptr;
    {
        TestDialog dialog;
        window = dialog.Create(nullptr);
        ASSERT_NE(window, nullptr);
    }
    EXPECT_FALSE(IsWindow(window));
}

TEST(Image, Load_DecodesJpegIntoBitmap) {
    ui::Image image;
    ASSERT_EQ(image.Load(testutil::besideExe("ui_image_fixture.jpg")), S_OK);
    ASSERT_FALSE(image.IsNull());
    EXPECT_EQ(image.GetWidth(), 48);
    EXPECT_EQ(image.GetHeight(), 16);
    BITMAP info = {};
    ASSERT_NE(GetObjectA(image.bitmap(), sizeof(info), &info), 0);
    EXPECT_EQ(info.bmWidth, 48);

    HBITMAP taken = image.Detach();
    EXPECT_TRUE(image.IsNull());
    EXPECT_NE(GetObjectA(taken, sizeof(info), &info), 0);
    DeleteObject(taken);
}

TEST(Image, Load_FailsAndHoldsNothing) {
    testutil::ScratchDir dir("img");
    testutil::writeFileBytes(dir.file("bad.jpg"), "not a picture at all");
    ui::Image image;
    ASSERT_EQ(image.Load(testutil::besideExe("ui_image_fixture.jpg")), S_OK);
    EXPECT_NE(image.Load(dir.file("bad.jpg")), S_OK);
    EXPECT_TRUE(image.IsNull());
    EXPECT_EQ(image.GetWidth(), 0);
    EXPECT_NE(image.Load(dir.file("missing.jpg")), S_OK);
    EXPECT_TRUE(image.IsNull());
}

}  // namespace
