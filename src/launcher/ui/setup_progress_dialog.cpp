#include "launcher/ui/setup_progress_dialog.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "foundation/locale.h"
#include "foundation/logger.h"
#include "foundation/shell_utils.h"
#include "foundation/sys_info.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "foundation/window_utils.h"
#include "launcher/online_options_internal.h"
#include "launcher/product_version.h"

namespace {

constexpr COLORREF kBackgroundColor = RGB(231, 229, 213);
constexpr COLORREF kBarColor = RGB(50, 205, 50);
constexpr size_t kImagePathCapacity = 2048;

std::string welcomeImagePath() {
    char folder[MAX_PATH] = {};
    if (!GetAppDataLowDir(folder))
        return std::string();  // no folder: the built-in picture stands in
    std::string path = online_options_internal::WelcomeImagePath(folder, kRuntimeVersion);
    return path.size() < kImagePathCapacity ? path : std::string();
}

}  // namespace

CSetupProgressDialog::CSetupProgressDialog(int mode)
    : SetupProgressTracker(mode == 1, createOperationRecord(), kMsiStartedEventName, ipc::Clock::system()),
      imagePath_(welcomeImagePath()) {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
}

CSetupProgressDialog::~CSetupProgressDialog() {
    try {
        finish();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("CSetupProgressDialog::~CSetupProgressDialog", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("CSetupProgressDialog::~CSetupProgressDialog");
    }
    releaseDrawingResources();
    if (gdiplus_ != nullptr)
        FreeLibrary(gdiplus_);
}

BOOL CSetupProgressDialog::ShowWindow(int command) {
    if (command == SW_SHOW && !isMsiStarted())
        return 0;
    return DialogImpl::ShowWindow(command);
}

BOOL CSetupProgressDialog::onInitDialog(HWND, LPARAM) {
    backgroundBrush_.reset(CreateSolidBrush(kBackgroundColor));
    HWND bar = item(kBarControl);
    // A themed bar draws in the theme's colours and ignores the colours
    // below; with its theme off it draws in them. A blank class list turns
    // the theme off on Windows and on Wine alike (Wine keeps the theme for an
    // empty one).
    SetWindowTheme(bar, L" ", L" ");
    PostMessageA(bar, CCM_SETBKCOLOR, 0, static_cast<LPARAM>(RGB(255, 255, 255)));
    PostMessageA(bar, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(kBarColor));
    PostMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, getRange()));
    SetWindowLongPtrA(hwnd(), GWL_STYLE, GetWindowLongPtrA(hwnd(), GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MAXIMIZEBOX));
    EnableMenuItem(GetSystemMenu(hwnd(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    window_ = hwnd();
    bar_ = bar;
    try {
        startWorker();
    } catch (const std::exception& e) {
        // Without a worker the page stays hidden and the install goes on.
        TDS_LOG_EXCEPTION("CSetupProgressDialog::OnInitDialog", e);
    }
    // The modal test run has nobody to set the start event: hidden, it could
    // never be seen nor closed.
    if (!isModal())
        DialogImpl::ShowWindow(SW_HIDE);
    dialogFont_.reset(CreateDialogFont(8, false, false));
    return FALSE;
}

bool CSetupProgressDialog::onCommand(WORD id, WORD, HWND) {
    // Escape ends the modal test run; the installing page ends only with the
    // main flow.
    if (id == IDCANCEL && isModal()) {
        EndDialog(IDCANCEL);
        return true;
    }
    return id == IDCANCEL;
}

HBRUSH CSetupProgressDialog::onCtlColor(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLORSTATIC)
        return OnCtlColorStatic(dc, control);
    if (message == WM_CTLCOLORDLG)
        return backgroundBrush_.get();
    return nullptr;
}

void CSetupProgressDialog::onDestroy() {
    try {
        finish();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("CSetupProgressDialog::OnDestroy", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("CSetupProgressDialog::OnDestroy");
    }
    window_ = nullptr;
    bar_ = nullptr;
    releaseDrawingResources();
}

// The worker and the timer thread must never wait for the window's thread:
// it may be inside finish(), joining them, without dispatching messages. So
// they show, hide and move the window only asynchronously.
void CSetupProgressDialog::onMsiStarted() {
    HWND window = window_.load();
    if (window == nullptr)
        return;
    ShowWindowAsync(window, SW_SHOW);
    if (SysInfo::getWindowsVersion() < 2) {
        SetForegroundWindow(GetDlgItem(window, kImageControl));
    } else {
        const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS;
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags | SWP_SHOWWINDOW);
    }
}

void CSetupProgressDialog::onTrackingEnded() {
    // The drawing objects stay until the window goes: the window's thread
    // may still be painting with them.
    HWND window = window_.load();
    if (window != nullptr)
        ShowWindowAsync(window, SW_HIDE);
}

void CSetupProgressDialog::postBarPosition(uint16_t position) {
    HWND bar = bar_.load();
    if (bar != nullptr)
        PostMessageA(bar, PBM_SETPOS, position, 0);
}

HBRUSH CSetupProgressDialog::OnCtlColorStatic(HDC dc, HWND control) {
    switch (GetDlgCtrlID(control)) {
    case kBodyBandControl:
        return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    case kBannerControl:
        // Without the banner bitmap the band is filled plainly: a null brush
        // there would leave whatever was on the screen before.
        return drawBanner(dc, control) ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : backgroundBrush_.get();
    case kStatusControl:
        if (dialogFont_.get() != nullptr)
            SelectObject(dc, dialogFont_.get());
        SetBkMode(dc, TRANSPARENT);
        // The line sits on the white band, which the dialog's clipping keeps
        // from painting under it: a null brush would show the screen's old
        // content (black under Wine) behind the text.
        return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    case kImageControl:
        drawImage(dc, control);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    default:
        return backgroundBrush_.get();
    }
}

bool CSetupProgressDialog::drawBanner(HDC dc, HWND control) {
    if (!banner_.load(GetModuleHandleA(nullptr), kBannerBitmap))
        return false;
    RECT client;
    GetClientRect(control, &client);
    // The default stretch mode drops whole rows and columns of the banner,
    // which shows as dark streaks; stretchTo averages them (HALFTONE).
    banner_.stretchTo(dc, client);
    return true;
}

void CSetupProgressDialog::drawImage(HDC dc, HWND control) {
    if (!gdiplusTried_) {
        gdiplusTried_ = true;
        gdiplus_ = Kessa_System_LoadLibrary("gdiplus.dll");
    }
    if (gdiplus_ == nullptr)
        return;
    if (!imageTried_) {
        imageTried_ = true;
        HBITMAP bitmap = nullptr;
        if (!imagePath_.empty() && SUCCEEDED(image_.Load(imagePath_))) {
            bitmap = image_.bitmap();
            imageWidth_ = image_.GetWidth();
            imageHeight_ = image_.GetHeight();
        } else {
            fallbackImage_.reset(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                                 MAKEINTRESOURCEA(kFallbackImageBitmap),
                                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
            bitmap = fallbackImage_.get();
            BITMAP info = {};
            if (bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info)) {
                imageWidth_ = info.bmWidth;
                imageHeight_ = info.bmHeight;
            }
        }
        if (bitmap != nullptr)
            imageDc_.select(dc, bitmap);
    }
    if (imageDc_.get() == nullptr)
        return;
    int x = 0;
    if (Locale::getPreferred() == Locale::japanese()) {
        RECT client;
        GetClientRect(control, &client);
        x = (client.right - imageWidth_) / 2;
    }
    BitBlt(dc, x, 0, imageWidth_, imageHeight_, imageDc_.get(), 0, 0, SRCCOPY);
}

void CSetupProgressDialog::releaseDrawingResources() {
    banner_.release();
    imageDc_.reset();
    image_.Destroy();
    fallbackImage_.reset();
    dialogFont_.reset();
    backgroundBrush_.reset();
    imageTried_ = false;
}
