#include "launcher/ui/pane_look.h"

#include <map>

#include "foundation/sys_info.h"
#include "foundation/ui_text.h"
#include "foundation/window_utils.h"

namespace ui {
namespace {

// Bitmaps of the program's resources, kept for the whole process: every page
// shows the same banner, and a page may come back many times.
HBITMAP sharedBitmap(int id) {
    static std::map<int, HBITMAP> loaded;
    auto found = loaded.find(id);
    if (found != loaded.end())
        return found->second;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    loaded[id] = bitmap;
    return bitmap;
}

}  // namespace

bool PaneLook::create() {
    release();
    brush_.reset(CreateSolidBrush(kPageColor));
    font_.reset(CreateDialogFont(10, false, false));
    boldFont_.reset(CreateDialogFont(11, true, false));
    return brush_.get() && font_.get() && boldFont_.get();
}

void PaneLook::release() {
    memoryDc_.reset();
    brush_.reset();
    font_.reset();
    boldFont_.reset();
}

void PaneLook::applyFonts(HWND dialog, std::initializer_list<int> bold) const {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        HFONT chosen = font_.get();
        const int id = GetDlgCtrlID(child);
        for (int boldId : bold)
            if (id == boldId)
                chosen = boldFont_.get();
        if (chosen)
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
    }
}

void PaneLook::drawBanner(HDC dc, HWND control) {
    HBITMAP banner = sharedBitmap(kBannerBitmap);
    BITMAP info = {};
    if (!banner || !GetObjectA(banner, sizeof info, &info))
        return;
    if (!memoryDc_.get())
        memoryDc_.reset(CreateCompatibleDC(dc));
    if (!memoryDc_.get())
        return;
    RECT area = {};
    GetClientRect(control, &area);
    HGDIOBJ previous = SelectObject(memoryDc_.get(), banner);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, area.right, area.bottom, memoryDc_.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memoryDc_.get(), previous);
}

void PaneLook::drawBitmap(HDC dc, int bitmapId) {
    HBITMAP bitmap = sharedBitmap(bitmapId);
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info))
        return;
    if (!memoryDc_.get())
        memoryDc_.reset(CreateCompatibleDC(dc));
    if (!memoryDc_.get())
        return;
    HGDIOBJ previous = SelectObject(memoryDc_.get(), bitmap);
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memoryDc_.get(), 0, 0, SRCCOPY);
    SelectObject(memoryDc_.get(), previous);
}

void DisableMaximizeAndClose(HWND dialog) {
    SetWindowLongPtrA(dialog, GWL_STYLE, GetWindowLongPtrA(dialog, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MAXIMIZEBOX));
    if (HMENU menu = GetSystemMenu(dialog, FALSE))
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void BringPageForward(HWND dialog, int foregroundControl) {
    if (SysInfo::getWindowsVersion() >= 2) {
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else if (HWND control = GetDlgItem(dialog, foregroundControl)) {
        SetForegroundWindow(control);
    }
}

std::string LoadResourceString(UINT id) { return LoadStringUtf8(GetModuleHandleW(nullptr), id); }

}  // namespace ui
