#include "launcher/ui/welcome_dialog.h"

#include <commctrl.h>

#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "foundation/ui_text.h"
#include "foundation/window_utils.h"
#include "launcher/vendor_registry.h"

namespace ui {

namespace {

enum : int {
    kTitle = 1016,
    kBody = 1017,
    kChangeFolderBox = 1025,
    kDataLink = 487001,
    kLicenseLink = 487002,
    kLicenseAddress = 2035,
    kDataAddress = 2036,
    kTitleText = 2037,
    kBodyText = 2039,
};

}  // namespace

HMODULE CWelcomeDialog::module() const { return resourceModule_ ? resourceModule_ : GetModuleHandleW(nullptr); }

BOOL CWelcomeDialog::onInitDialog(HWND, LPARAM) {
    look_.create();
    SetWindowTextUtf8(item(kTitle), loadString(module(), kTitleText));
    SetWindowTextUtf8(item(kBody), loadString(module(), kBodyText));
    if (hideChangeFolderOption)
        ::ShowWindow(item(kChangeFolderBox), SW_HIDE);
    if (changeFolder)
        CheckDlgButton(hwnd(), kChangeFolderBox, BST_CHECKED);

    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        HFONT font = GetDlgCtrlID(child) == kTitle ? look_.titleFont() : look_.font();
        if (font)
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }

    ApplyLinkMarkup(item(kDataLink), loadString(module(), kDataAddress).c_str(), 1);
    ApplyLinkMarkup(item(kLicenseLink), loadString(module(), kLicenseAddress).c_str(), 1);

    bringPageForward(hwnd(), item(IDOK));
    // Install, the default button, takes the focus, so Enter installs; the
    // dialog manager's own choice would be the first tab stop, a link.
    focusDefaultButton(hwnd(), IDOK);
    return FALSE;
}

bool CWelcomeDialog::onCommand(WORD id, WORD, HWND) {
    if (id == IDOK) {
        changeFolder = IsDlgButtonChecked(hwnd(), kChangeFolderBox) == BST_CHECKED;
        EndDialog(IDOK);
        return true;
    }
    if (id == IDCANCEL) {
        if (!confirmCancel(hwnd(), module()))
            return true;
        // The package reads "decline" as the user's refusal of the licence.
        SetInstallStatus("decline");
        EnableWindow(hwnd(), FALSE);
        EndDialog(IDCANCEL);
        return true;
    }
    return false;
}

bool CWelcomeDialog::onNotify(int id, NMHDR* header, LRESULT&) {
    if ((id != kDataLink && id != kLicenseLink) || !header ||
        (header->code != NM_CLICK && header->code != NM_RETURN))
        return false;
    // The address comes from our own strings, the same one the item was
    // given: what the control hands back is only as good as its markup.
    openLink(loadString(module(), id == kDataLink ? kDataAddress : kLicenseAddress));
    return true;
}

HBRUSH CWelcomeDialog::onCtlColor(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLORDLG)
        return look_.pageBrush();
    if (message != WM_CTLCOLORSTATIC)
        return nullptr;
    const int id = GetDlgCtrlID(control);
    if (id == kTitle || id == kChangeFolderBox) {
        SetBkMode(dc, TRANSPARENT);
        return look_.pageBrush();
    }
    if (id == kBannerControlId)
        return look_.paintBanner(module(), dc, control);
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

void CWelcomeDialog::onDestroy() {
    // Nothing paints once the window is being destroyed.
    look_.release();
}

}  // namespace ui
