#include "htmlui/browser_window.h"

#include <windows.h>

#include <stdexcept>

#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "htmlui/bstr_text.h"
#include "htmlui/browser_control.h"
#include "htmlui/window_handler.h"

namespace ui {

namespace {

class LoadAction : public ipc::Runnable {
public:
    LoadAction(BrowserWindow& window, const std::string& url, WindowHandler* handler)
        : window_(window), url_(url), handler_(handler) {}
    void run() override {
        window_.forgetWindowOfEndedThread();
        if (window_.getHandle() == nullptr)
            window_.create();
        BrowserControl* control = window_.getControl();
        if (control == nullptr)
            throw std::logic_error("browser control does not exist");
        BSTR url = acpToBstr(url_);
        try {
            control->openUrl(url, handler_);
        } catch (...) {
            SysFreeString(url);
            throw;
        }
        SysFreeString(url);
    }

private:
    BrowserWindow& window_;
    std::string url_;
    WindowHandler* handler_;
};

class DestroyAction : public ipc::Runnable {
public:
    explicit DestroyAction(BrowserWindow& window, std::atomic<HWND>& handle) : window_(window), handle_(handle) {}
    void run() override {
        if (window_.forgetWindowOfEndedThread())
            return;
        const HWND hwnd = handle_.load();
        if (hwnd == nullptr)
            return;
        ShowWindow(hwnd, SW_HIDE);
        window_.destroyControl();
        DestroyWindow(hwnd);
        handle_ = nullptr;
    }

private:
    BrowserWindow& window_;
    std::atomic<HWND>& handle_;
};

}  // namespace

BrowserWindow::BrowserWindow() = default;

BrowserWindow::~BrowserWindow() {
    try {
        if (hWnd_.load() != nullptr)
            destroy();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ui::BrowserWindow::~BrowserWindow", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ui::BrowserWindow::~BrowserWindow");
    }
}

void BrowserWindow::load(const std::string& pageUrl, WindowHandler* handler) {
    LoadAction action(*this, pageUrl, handler);
    uiThread_.runAction(&action);
}

void BrowserWindow::destroy() {
    TDS_LOG_TRACE("ui::BrowserWindow::destroy", ">>BrowserWindow::destroy");
    if (hWnd_.load() != nullptr) {
        TDS_LOG_TRACE("ui::BrowserWindow::destroy", "  == BrowserWindow::destroy: hWnd != NULL => destroy");
        DestroyAction action(*this, hWnd_);
        uiThread_.runAction(&action);
    }
    TDS_LOG_TRACE("ui::BrowserWindow::destroy", "<<BrowserWindow::destroy");
}

void BrowserWindow::show() {
    if (const HWND hwnd = hWnd_.load())
        ShowWindow(hwnd, SW_SHOW);
}

void BrowserWindow::hide() {
    if (const HWND hwnd = hWnd_.load())
        ShowWindow(hwnd, SW_HIDE);
}

void BrowserWindow::close() {
    if (const HWND hwnd = hWnd_.load())
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
}

void BrowserWindow::setSize(int cx, int cy) {
    if (const HWND hwnd = hWnd_.load())
        SetWindowPos(hwnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

void BrowserWindow::center() {
    const HWND hwnd = hWnd_.load();
    if (hwnd == nullptr)
        return;
    HWND parent = GetParent(hwnd);
    if (parent == nullptr)
        parent = GetDesktopWindow();
    RECT outer = {}, own = {};
    GetWindowRect(parent, &outer);
    GetWindowRect(hwnd, &own);
    const int x = outer.left + ((outer.right - outer.left) - (own.right - own.left)) / 2;
    const int y = outer.top + ((outer.bottom - outer.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

void BrowserWindow::enableCloseButton(bool enabled) {
    const HWND hwnd = hWnd_.load();
    if (hwnd == nullptr)
        return;
    const HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (menu == nullptr)
        return;
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    // The caption's close box follows the menu item only when the frame is
    // painted again.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void BrowserWindow::setTitle(const std::string& titleUtf8) {
    if (const HWND hwnd = hWnd_.load())
        SetWindowTextW(hwnd, tstrings::toUtf16(titleUtf8).c_str());
}

_variant_t BrowserWindow::execJScript(const std::string& script) {
    BrowserControl* control = control_;
    if (control == nullptr)
        throw std::logic_error("browser control does not exist");
    return control->execJScript(script);
}

SIZE BrowserWindow::defaultClientSize() {
    const LONG units = GetDialogBaseUnits();
    return SIZE{MulDiv(250, LOWORD(units), 4), MulDiv(177, HIWORD(units), 8)};
}

SIZE BrowserWindow::clientSize2windowSize(SIZE size, DWORD style, DWORD exStyle) {
    RECT rect = {0, 0, size.cx, size.cy};
    if (!AdjustWindowRectEx(&rect, style, FALSE, exStyle)) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("ui::BrowserWindow::clientSize2windowSize", "AdjustWindowRectEx failed with %s",
                      formatSystemError(error).c_str());
        throw std::runtime_error("AdjustWindowRectEx error");
    }
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void BrowserWindow::create() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, kClassName, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &BrowserWindow::staticWndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc)) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("ui::BrowserWindow::create", "RegisterClass failed with %s", formatSystemError(error).c_str());
        }
    }
    const SIZE outer = clientSize2windowSize(defaultClientSize(), kStyle, kExStyle);
    const HWND hwnd = CreateWindowExW(kExStyle, kClassName, L"", kStyle, kInitialX, kInitialY, outer.cx, outer.cy,
                                      nullptr, nullptr, instance, this);
    if (hwnd == nullptr) {
        const DWORD error = GetLastError();
        // WM_CREATE stored the handle before the control failed: a window
        // that no longer exists must not be taken for one by the next load.
        hWnd_ = nullptr;
        TDS_LOG_ERROR("ui::BrowserWindow::create", "CreateWindow failed with %s", formatSystemError(error).c_str());
        throw std::runtime_error("CreateWindow failed");
    }
}

bool BrowserWindow::forgetWindowOfEndedThread() {
    const HWND hwnd = hWnd_.load();
    if (hwnd == nullptr)
        return false;
    // Ours only while it is a window of this thread that still points at
    // this object: a dead window's handle may in time name another window.
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId() &&
        GetWindowLongPtrW(hwnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        return false;
    // The UI thread that owned the window has ended and Windows destroyed
    // the window with it. The control's browser objects lived in that
    // thread's apartment and cannot be called any more: they are let go.
    TDS_LOG_ERROR("ui::BrowserWindow::forgetWindowOfEndedThread", "the window has gone with its UI thread");
    control_ = nullptr;
    hWnd_ = nullptr;
    return true;
}

void BrowserWindow::createControl() {
    RECT client = {};
    GetClientRect(hWnd_.load(), &client);
    control_ = BrowserControl::create(this, client);
}

void BrowserWindow::destroyControl() {
    TDS_LOG_TRACE("ui::BrowserWindow::destroyControl", ">>BrowserWindow::destroyControl");
    if (control_ != nullptr) {
        TDS_LOG_TRACE("ui::BrowserWindow::destroyControl", "  == BrowserWindow::destroyControl: browserControl != NULL");
        BrowserControl* control = control_;
        control_ = nullptr;
        TDS_LOG_TRACE("ui::BrowserWindow::destroyControl", "  == BrowserWindow::destroyControl: >>BrowserControl::destroy");
        control->destroy();
        TDS_LOG_TRACE("ui::BrowserWindow::destroyControl", "  == BrowserWindow::destroyControl: <<BrowserControl::destroy");
    }
    TDS_LOG_TRACE("ui::BrowserWindow::destroyControl", "<<BrowserWindow::destroyControl");
}

LRESULT CALLBACK BrowserWindow::staticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    BrowserWindow* self = nullptr;
    if (message == WM_CREATE) {
        self = static_cast<BrowserWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hWnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    try {
        return self->wndProc(hwnd, message, wParam, lParam);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ui::BrowserWindow::staticWndProc", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ui::BrowserWindow::staticWndProc");
    }
    return 0;
}

LRESULT BrowserWindow::wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        try {
            createControl();
        } catch (const std::exception& e) {
            TDS_LOG_EXCEPTION("ui::BrowserWindow::wndProc", e);
            return -1;
        }
        return 0;
    case WM_DESTROY:
        destroyControl();
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED && control_ != nullptr) {
            const RECT rect = {0, 0, LOWORD(lParam), HIWORD(lParam)};
            control_->setRect(rect);
        }
        return 0;
    case WM_SETFOCUS:
        if (control_ != nullptr)
            control_->setFocus();
        return 0;
    case WM_CLOSE:
        // The page's handler decides; the window itself stays.
        if (control_ != nullptr && control_->getHandler() != nullptr)
            control_->getHandler()->onClose();
        return 0;
    case kAcceleratorQueryMessage:
        if (control_ != nullptr && lParam != 0)
            return control_->translateAccelerator(reinterpret_cast<MSG*>(lParam)) ? 1 : 0;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace ui
