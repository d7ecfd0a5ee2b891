#include "launcher/ui/dialog_impl.h"

#include <commctrl.h>

#include <atomic>

#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tstrings.h"

namespace ui {

namespace {

// RT_DIALOG is the narrow form in this build.
const LPCWSTR kDialogType = MAKEINTRESOURCEW(5);

std::atomic<LANGID> g_dialogLanguage{MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)};

// The templates use SysLink and progress bars; their classes exist only
// after the common controls are initialised (once is enough per process).
void initCommonControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_STANDARD_CLASSES | ICC_LINK_CLASS |
                                                       ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

// Messages whose answer is the dialog procedure's return value itself, not
// DWLP_MSGRESULT.
bool answersDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

}  // namespace

void setDialogLanguage(LANGID language) { g_dialogLanguage = language; }
LANGID dialogLanguage() { return g_dialogLanguage; }

DialogWindow::~DialogWindow() {
    // A modeless dialog outliving its object would call into freed memory.
    if (hwnd_ && !modal_) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        ::DestroyWindow(hwnd_);
    }
}

BOOL DialogWindow::EndDialog(int result) {
    if (!hwnd_)
        return FALSE;
    if (modal_)
        return ::EndDialog(hwnd_, result);
    result_ = result;
    return ::DestroyWindow(hwnd_);
}

BOOL DialogWindow::ShowWindow(int command) { return hwnd_ ? ::ShowWindow(hwnd_, command) : FALSE; }

BOOL DialogWindow::DestroyWindow() {
    if (!hwnd_ || modal_)
        return FALSE;
    return ::DestroyWindow(hwnd_);
}

bool DialogWindow::isDialogMessage(MSG* msg) const {
    return hwnd_ && msg && ::IsDialogMessageW(hwnd_, msg);
}

BOOL DialogWindow::onInitDialog(HWND, LPARAM) { return TRUE; }
bool DialogWindow::onCommand(WORD, WORD, HWND) { return false; }
bool DialogWindow::onNotify(int, NMHDR*, LRESULT&) { return false; }
HBRUSH DialogWindow::onCtlColor(UINT, HDC, HWND) { return nullptr; }
bool DialogWindow::onSetCursor(HWND, UINT, UINT) { return false; }
void DialogWindow::onDestroy() {}
bool DialogWindow::onMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

const DLGTEMPLATE* DialogWindow::findTemplate(int templateId) const {
    HMODULE module = resourceModule_ ? resourceModule_ : GetModuleHandleW(nullptr);
    HRSRC found = nullptr;
    const LANGID language = g_dialogLanguage;
    if (language != MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
        found = FindResourceExW(module, kDialogType, MAKEINTRESOURCEW(templateId), language);
    if (!found)
        found = FindResourceW(module, MAKEINTRESOURCEW(templateId), kDialogType);
    if (!found) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("DialogImpl::DoModal", "FindResource(dialog %d) failed with %s", templateId,
                      formatSystemError(error).c_str());
        return nullptr;
    }
    HGLOBAL loaded = LoadResource(module, found);
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

INT_PTR DialogWindow::runModal(int templateId, HWND parent, LPARAM initParam) {
    if (hwnd_)
        return -1;
    initCommonControls();
    const DLGTEMPLATE* dialogTemplate = findTemplate(templateId);
    if (!dialogTemplate)
        return -1;
    modal_ = true;
    initParam_ = initParam;
    HMODULE module = resourceModule_ ? resourceModule_ : GetModuleHandleW(nullptr);
    const INT_PTR result = DialogBoxIndirectParamW(module, dialogTemplate, parent, &DialogWindow::dialogProc,
                                                   reinterpret_cast<LPARAM>(this));
    if (result == -1) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("DialogImpl::DoModal", "DialogBoxIndirectParam(dialog %d) failed with %s", templateId,
                      formatSystemError(error).c_str());
    }
    modal_ = false;
    hwnd_ = nullptr;
    return result;
}

HWND DialogWindow::createModeless(int templateId, HWND parent, LPARAM initParam) {
    if (hwnd_)
        return nullptr;
    initCommonControls();
    const DLGTEMPLATE* dialogTemplate = findTemplate(templateId);
    if (!dialogTemplate)
        return nullptr;
    modal_ = false;
    result_ = -1;
    initParam_ = initParam;
    HMODULE module = resourceModule_ ? resourceModule_ : GetModuleHandleW(nullptr);
    HWND created = CreateDialogIndirectParamW(module, dialogTemplate, parent, &DialogWindow::dialogProc,
                                              reinterpret_cast<LPARAM>(this));
    if (!created) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("DialogImpl::Create", "CreateDialogIndirectParam(dialog %d) failed with %s", templateId,
                      formatSystemError(error).c_str());
        hwnd_ = nullptr;
    }
    return created;
}

INT_PTR CALLBACK DialogWindow::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogWindow*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        // Messages before WM_INITDIALOG (WM_SETFONT, WM_NCCREATE...) find no object yet.
        self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    const INT_PTR answer = self->dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return answer;
}

INT_PTR DialogWindow::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT answer = 0;
    bool handled = false;
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(reinterpret_cast<HWND>(wParam), initParam_);
    case WM_COMMAND:
        handled = onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        break;
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        handled = onNotify(static_cast<int>(wParam), header, answer);
        break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(
            onCtlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_SETCURSOR:
        handled = onSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
        answer = handled ? TRUE : FALSE;
        break;
    case WM_DESTROY:
        onDestroy();
        break;
    default:
        handled = onMessage(message, wParam, lParam, answer);
        if (handled && answersDirectly(message))
            return static_cast<INT_PTR>(answer);
        break;
    }
    if (!handled)
        return FALSE;
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, answer);
    return TRUE;
}

}  // namespace ui
