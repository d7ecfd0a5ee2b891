#include "launcher/ui/page_look.h"

#include <mutex>
#include <vector>

#include "foundation/browsers.h"
#include "foundation/logger.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"
#include "foundation/ui_text.h"
#include "foundation/window_utils.h"
#include "launcher/product_version.h"

namespace ui {

namespace {

std::mutex g_openerMutex;
std::function<bool(const std::string&)> g_opener;

}  // namespace

bool MemoryBitmap::load(HMODULE module, int id) {
    if (tried_)
        return isLoaded();
    tried_ = true;
    bitmap_.reset(static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    if (!bitmap_.get()) {
        TDS_LOG_ERROR("LoadBitmap", "LoadImage(bitmap %d) failed with %lu", id, GetLastError());
        return false;
    }
    if (!dc_.select(nullptr, bitmap_.get())) {
        bitmap_.reset();
        return false;
    }
    BITMAP info = {};
    GetObjectA(bitmap_.get(), sizeof(info), &info);
    width_ = info.bmWidth;
    height_ = info.bmHeight;
    return true;
}

void MemoryBitmap::stretchTo(HDC dc, const RECT& rect) const {
    if (!isLoaded())
        return;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dc_.get(), 0, 0, width_,
               height_, SRCCOPY);
}

void MemoryBitmap::drawAt(HDC dc, int x, int y) const {
    if (isLoaded())
        BitBlt(dc, x, y, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

void MemoryBitmap::release() {
    dc_.reset();
    bitmap_.reset();
    width_ = height_ = 0;
    tried_ = false;
}

HBRUSH paintBanner(MemoryBitmap& banner, HMODULE module, HDC dc, HWND control) {
    if (banner.load(module, kBannerBitmapId)) {
        RECT rect = {};
        GetClientRect(control, &rect);
        banner.stretchTo(dc, rect);
    }
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void PageLook::create() {
    brush_.reset(CreateSolidBrush(kPageColor));
    font_.reset(CreateDialogFont(10, false, false));
    titleFont_.reset(CreateDialogFont(12, true, false));
}

void PageLook::release() {
    brush_.reset();
    font_.reset();
    titleFont_.reset();
    banner_.release();
}

bool bringPageForward(HWND dialog, HWND foregroundTarget) {
    if (SysInfo::getWindowsVersion() < 2)
        return SetForegroundWindow(foregroundTarget) != FALSE;
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return true;
}

void focusDefaultButton(HWND dialog, int id) {
    if (HWND button = GetDlgItem(dialog, id))
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
}

std::string loadString(HMODULE module, int id) { return LoadStringUtf8(module, static_cast<UINT>(id)); }

void setTextIfChanged(HWND control, const std::string& text) {
    if (control && GetWindowTextUtf8(control) != text)
        SetWindowTextUtf8(control, text);
}

bool confirmCancel(HWND owner, HMODULE module) {
    const std::string question = tstrings::format(loadString(module, 2042).c_str(), kRuntimeVersion);
    const std::string caption = loadString(module, 2043);
    // Yes/No, exclamation icon, No the default button.
    return MessageBoxUtf8(owner, question, caption, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}

bool openLink(const std::string& addressUtf8) {
    std::function<bool(const std::string&)> opener;
    {
        std::lock_guard<std::mutex> lock(g_openerMutex);
        opener = g_opener;
    }
    if (opener)
        return opener(addressUtf8);
    return browsers::launchDefault(addressUtf8);
}

void setLinkOpenerForTesting(std::function<bool(const std::string&)> opener) {
    std::lock_guard<std::mutex> lock(g_openerMutex);
    g_opener = std::move(opener);
}

}  // namespace ui
