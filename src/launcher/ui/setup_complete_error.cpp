#include "launcher/ui/setup_complete_error.h"

#include "foundation/tstrings.h"
#include "foundation/window_utils.h"

namespace ui {

namespace {

enum : int {
    kIcon = 3065,
    kIconBitmap = 3066,
    kTitle = 3067,
    kHelpText = 3068,
    kHelpLink = 3069,
    kHelpAddress = 3070,
    kErrorCodeText = 3071,
    kErrorCodeFormat = 3072,
};

}  // namespace

HMODULE CSetupCompleteError::module() const {
    return resourceModule_ ? resourceModule_ : GetModuleHandleW(nullptr);
}

void CSetupCompleteError::releaseDrawing() {
    look_.release();
    icon_.release();
}

BOOL CSetupCompleteError::onInitDialog(HWND, LPARAM) {
    look_.create();
    HWND link = item(kHelpLink);
    SetWindowLongPtrA(link, GWL_STYLE, GetWindowLongPtrA(link, GWL_STYLE) | SS_NOTIFY);
    SendDlgItemMessageA(hwnd(), IDCANCEL, WM_SETFONT, reinterpret_cast<WPARAM>(look_.font()), FALSE);
    // Wine's static control selects its own font after asking the parent for
    // colours, so the texts get their fonts here too.
    for (int id : {static_cast<int>(kHelpText), static_cast<int>(kErrorCodeText), static_cast<int>(kHelpLink)})
        SendDlgItemMessageA(hwnd(), id, WM_SETFONT, reinterpret_cast<WPARAM>(look_.font()), FALSE);
    SendDlgItemMessageA(hwnd(), kTitle, WM_SETFONT, reinterpret_cast<WPARAM>(look_.titleFont()), FALSE);
    setTextIfChanged(item(kErrorCodeText),
                     tstrings::format(loadString(module(), kErrorCodeFormat).c_str(), static_cast<int>(errorCode)));
    bringPageForward(hwnd(), item(IDCANCEL));
    focusDefaultButton(hwnd(), IDCANCEL);
    return FALSE;
}

bool CSetupCompleteError::onCommand(WORD id, WORD code, HWND) {
    if (id == kHelpLink && code == STN_CLICKED) {
        lstrcpynA(helpUrl, loadString(module(), kHelpAddress).c_str(), sizeof helpUrl);
        if (helpUrl[0] != '\0')
            openLink(helpUrl);  // an address of our own, plain ASCII
        return true;
    }
    if (id == IDCANCEL) {
        EnableWindow(hwnd(), FALSE);
        EndDialog(IDCANCEL);
        return true;
    }
    return false;
}

HBRUSH CSetupCompleteError::onCtlColor(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLORDLG)
        return look_.pageBrush();
    if (message != WM_CTLCOLORSTATIC)
        return nullptr;
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    HBRUSH none = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    switch (GetDlgCtrlID(control)) {
    case kHelpText:
        SelectObject(dc, look_.font());
        SetBkMode(dc, TRANSPARENT);
        return white;
    case kErrorCodeText:
        setTextIfChanged(control, tstrings::format(loadString(module(), kErrorCodeFormat).c_str(),
                                                   static_cast<int>(errorCode)));
        SelectObject(dc, look_.font());
        SetBkMode(dc, TRANSPARENT);
        return white;
    case kTitle:
        SelectObject(dc, look_.titleFont());
        SetBkMode(dc, TRANSPARENT);
        return look_.pageBrush();
    case kBodyBandId:
        return white;
    case kIcon:
        if (!IsWindowVisible(control))
            return look_.pageBrush();
        if (icon_.load(module(), kIconBitmap))
            icon_.drawAt(dc, 0, 0);
        return none;
    case kBannerControlId:
        return look_.paintBanner(module(), dc, control);
    case kHelpLink:
        SelectObject(dc, look_.font());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kLinkColor);
        return none;
    default:
        return look_.pageBrush();
    }
}

bool CSetupCompleteError::onSetCursor(HWND, UINT, UINT) {
    RECT linkRect = {};
    POINT cursor = {};
    const bool overLink = GetWindowRect(item(kHelpLink), &linkRect) && GetCursorPos(&cursor) &&
                          PtInRect(&linkRect, cursor);
    SetCursor(LoadCursor(nullptr, overLink ? IDC_HAND : IDC_ARROW));
    return true;
}

void CSetupCompleteError::onDestroy() { releaseDrawing(); }

}  // namespace ui
