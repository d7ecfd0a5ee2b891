#include "launcher/ui/post_install_panes.h"

#include <commctrl.h>

#include <cstring>

#include "foundation/window_utils.h"
#include "launcher/security_prompts_internal.h"

const char kSecurityLevelUrl[] = "http://www.tolva.example/securityminvalue/";

namespace {

bool isStatic(UINT message) { return message == WM_CTLCOLORSTATIC; }

HBRUSH stock(int object) { return static_cast<HBRUSH>(GetStockObject(object)); }

void showItem(HWND dialog, int id, bool show) {
    if (HWND item = GetDlgItem(dialog, id))
        ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The page background (WM_CTLCOLORDLG) in the page colour.
bool pageBackground(UINT message, HDC dc, const ui::PaneLook& look, HBRUSH& brush) {
    if (message != WM_CTLCOLORDLG || !look.pageBrush())
        return false;
    SetBkColor(dc, ui::kPageColor);
    brush = look.pageBrush();
    return true;
}

// The plug-in and restore pages colour their statics alike: the title on the
// page colour, the banner drawn, everything else on white.
HBRUSH titledPageColor(UINT message, HDC dc, HWND control, int titleId, ui::PaneLook& look) {
    HBRUSH brush = nullptr;
    if (pageBackground(message, dc, look, brush))
        return brush;
    if (!isStatic(message) || !look.pageBrush())
        return nullptr;
    const int id = GetDlgCtrlID(control);
    if (id == titleId) {
        SetBkMode(dc, TRANSPARENT);
        return look.pageBrush();
    }
    if (id == ui::kBannerControl) {
        look.drawBanner(dc, control);
        return stock(NULL_BRUSH);
    }
    SetBkColor(dc, RGB(255, 255, 255));
    return stock(WHITE_BRUSH);
}

}  // namespace

// --- browser plug-in disabled ------------------------------------------------

INT_PTR CTolvaPluginDialog::ShowModal() { return DoModal(::GetActiveWindow()); }

BOOL CTolvaPluginDialog::onInitDialog(HWND, LPARAM) {
    look_.create();
    ui::DisableMaximizeAndClose(hwnd());
    look_.applyFonts(hwnd(), {5001});
    ui::BringPageForward(hwnd(), IDOK);
    ui::focusDefaultButton(hwnd(), IDOK);
    return FALSE;
}

bool CTolvaPluginDialog::onCommand(WORD id, WORD, HWND) {
    if (id == IDOK) {
        EndDialog(IDOK);
        return true;
    }
    // Escape and the greyed Close leave the page up: Next is the way on.
    return id == IDCANCEL;
}

HBRUSH CTolvaPluginDialog::onCtlColor(UINT message, HDC dc, HWND control) {
    return titledPageColor(message, dc, control, 5001, look_);
}

void CTolvaPluginDialog::onDestroy() { look_.release(); }

// --- restore security prompts ------------------------------------------------

INT_PTR CRestoreSecurityDialog::ShowModal() { return DoModal(::GetActiveWindow()); }

BOOL CRestoreSecurityDialog::onInitDialog(HWND, LPARAM) {
    look_.create();
    showItem(hwnd(), 1029, choice_ && choice_->restoreShowBack);
    CheckDlgButton(hwnd(), 6001, choice_ && choice_->restoreChecked ? BST_CHECKED : BST_UNCHECKED);
    ui::DisableMaximizeAndClose(hwnd());
    look_.applyFonts(hwnd(), {6002});
    moreInfoUrl_ = ui::LoadResourceString(6006);
    if (!moreInfoUrl_.empty())
        ApplyLinkMarkup(item(6005), moreInfoUrl_.c_str(), 1);
    ui::BringPageForward(hwnd(), IDOK);
    // Next, not the link (the first tab stop), takes the focus.
    ui::focusDefaultButton(hwnd(), IDOK);
    return FALSE;
}

void CRestoreSecurityDialog::endWith(int result) {
    if (choice_)
        choice_->restoreChecked = checked(hwnd(), 6001);
    EndDialog(result);
}

bool CRestoreSecurityDialog::onCommand(WORD id, WORD, HWND) {
    if (id == IDOK || id == kPaneBack) {
        endWith(id);
        return true;
    }
    return id == IDCANCEL;
}

bool CRestoreSecurityDialog::onNotify(int id, NMHDR* header, LRESULT& result) {
    if (id != 6005 || !header || (header->code != NM_CLICK && header->code != NM_RETURN))
        return false;
    if (!moreInfoUrl_.empty())
        ui::openLink(moreInfoUrl_);  // an address of our own, plain ASCII
    result = 0;
    return true;
}

HBRUSH CRestoreSecurityDialog::onCtlColor(UINT message, HDC dc, HWND control) {
    return titledPageColor(message, dc, control, 6002, look_);
}

void CRestoreSecurityDialog::onDestroy() { look_.release(); }

// --- setup complete ----------------------------------------------------------

INT_PTR CSetupComplete::ShowModal() { return DoModal(::GetActiveWindow()); }

bool CSetupComplete::ConfirmBrowserRestart(HWND owner) {
    const std::string text = ui::LoadResourceString(2062);
    const std::string caption = ui::LoadResourceString(2061);
    // 0x131: OK/Cancel, exclamation icon, Cancel as the default button.
    return MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2) ==
           IDOK;
}

bool CSetupComplete::visible(int id) const {
    HWND control = item(id);
    return control && (GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE);
}

BOOL CSetupComplete::onInitDialog(HWND, LPARAM) {
    SetupCompleteData empty;
    const SetupCompleteData& record = record_ ? *record_ : empty;
    look_.create();
    for (int link : {3041, 3046}) {
        if (HWND control = item(link))
            SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
    }
    const SetupCompleteLayout layout = ChooseSetupCompleteLayout(record);
    showItem(hwnd(), 1029, layout.back);
    showItem(hwnd(), 3035, layout.plainTitle);
    showItem(hwnd(), 3037, layout.plainTitle);
    showItem(hwnd(), 3052, layout.firstSponsor);
    showItem(hwnd(), 3050, layout.firstSponsor);
    showItem(hwnd(), 3051, layout.secondSponsor);
    showItem(hwnd(), 3049, layout.secondSponsor);
    showItem(hwnd(), 3039, layout.verifyText);
    showItem(hwnd(), 3045, layout.securityLevel);
    showItem(hwnd(), 3046, layout.securityLevel);
    showItem(hwnd(), 3044, layout.restartBox);
    showItem(hwnd(), 3043, layout.restartBox);
    if (layout.restartBox)
        CheckDlgButton(hwnd(), 3044, layout.restartChecked ? BST_CHECKED : BST_UNCHECKED);
    // The titles are set once here rather than while painting: a text set
    // from WM_CTLCOLORSTATIC repaints the control and asks again.
    for (int title : {3037, 3050, 3049}) {
        const UINT text = SetupCompleteTitleString(title, record);
        SetDlgItemTextA(hwnd(), title, text ? ui::LoadResourceString(text).c_str() : "");
    }
    const std::string updateUrl = ui::LoadResourceString(2063);
    std::strncpy(updateSettingsUrl_, updateUrl.c_str(), sizeof updateSettingsUrl_ - 1);

    for (int id : {IDCANCEL, 1029, 3044, 3038, 3045, 3039, 3041, 3046, 3043})
        if (HWND control = item(id))
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(look_.font()), TRUE);
    for (int id : {3037, 3050, 3049})
        if (HWND control = item(id))
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(look_.boldFont()), TRUE);
    ui::BringPageForward(hwnd(), IDCANCEL);
    // Close, the default button, takes the focus rather than Back.
    ui::focusDefaultButton(hwnd(), IDCANCEL);
    return FALSE;
}

HBRUSH CSetupComplete::onCtlColor(UINT message, HDC dc, HWND control) {
    HBRUSH brush = nullptr;
    if (pageBackground(message, dc, look_, brush))
        return brush;
    if (!isStatic(message) || !look_.pageBrush())
        return nullptr;
    const int id = GetDlgCtrlID(control);
    const bool shown = visible(id);
    const bool sponsor = record_ && record_->hasSponsor;
    switch (id) {
    case 3038:
    case 3045:
        SetBkMode(dc, TRANSPARENT);
        return stock(WHITE_BRUSH);
    case 3039:
        if (record_ && record_->showVerifyText) {
            SetBkMode(dc, TRANSPARENT);
            return stock(WHITE_BRUSH);
        }
        return look_.pageBrush();
    case 3037:
    case 3050:
        if (!shown)
            break;
        SetBkMode(dc, TRANSPARENT);
        return look_.pageBrush();
    case 3049:
        if (!sponsor)
            break;
        SetBkMode(dc, TRANSPARENT);
        return look_.pageBrush();
    case 3035:
    case 3051:
    case 3052:
        if (!shown)
            break;
        look_.drawBitmap(dc, 3036);
        return stock(NULL_BRUSH);
    case ui::kBodyBandControl:
        return stock(WHITE_BRUSH);
    case ui::kBannerControl:
        look_.drawBanner(dc, control);
        return stock(NULL_BRUSH);
    case 3041:
    case 3046:
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ui::kLinkColor);
        return stock(NULL_BRUSH);
    case 3044:
    case 3043:
        if (!shown)
            break;
        // They lie on the white band: a null brush would leave the page
        // colour the dialog painted under them.
        SetBkMode(dc, TRANSPARENT);
        SetBkColor(dc, RGB(255, 255, 255));
        return stock(WHITE_BRUSH);
    default:
        break;
    }
    return look_.pageBrush();
}

bool CSetupComplete::onSetCursor(HWND, UINT, UINT) {
    POINT cursor = {};
    RECT link = {};
    HWND control = item(3041);
    const bool overLink = control && GetCursorPos(&cursor) && GetWindowRect(control, &link) &&
                          PtInRect(&link, cursor);
    SetCursor(LoadCursorA(nullptr, overLink ? MAKEINTRESOURCEA(32649) /* IDC_HAND */ : IDC_ARROW));
    return true;
}

void CSetupComplete::close() {
    EnableWindow(hwnd(), FALSE);
    // The page stays on screen under the restart box and repaints whenever
    // the box moves: its drawing objects go only once the box is answered.
    if (record_)
        record_->restartNow = RestartNowAfterClose(*record_, checked(hwnd(), 3044), confirm_, hwnd());
    look_.release();
    EndDialog(IDCANCEL);
}

bool CSetupComplete::onCommand(WORD id, WORD code, HWND) {
    switch (id) {
    case IDCANCEL:
        close();
        return true;
    case kPaneBack:
        if (record_)
            record_->restartNow = RestartNowAfterBack(*record_, checked(hwnd(), 3044));
        EndDialog(kPaneBack);
        return true;
    case 3041:
        if (code == STN_CLICKED && updateSettingsUrl_[0])
            ui::openLink(updateSettingsUrl_);
        return true;
    case 3046:
        if (code == STN_CLICKED)
            ui::openLink(kSecurityLevelUrl);
        return true;
    default:
        return false;
    }
}

void CSetupComplete::onDestroy() { look_.release(); }

// --- the flow's panes --------------------------------------------------------

namespace security_prompts_internal {

PostInstallPanes CreatePostInstallPanes(RestoreSecurityChoice& choice, SetupCompleteData& record) {
    PostInstallPanes panes;
    panes.plugin.reset(new CTolvaPluginDialog());
    panes.restore.reset(new CRestoreSecurityDialog(&choice));
    panes.complete.reset(new CSetupComplete(&record));
    return panes;
}

}  // namespace security_prompts_internal
