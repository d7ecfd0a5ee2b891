#pragma once
// A plain top-level window that hosts one browser control and shows one HTML
// page out of the program's resources. The main thread drives it; the window
// and its control are created, resized and destroyed on the UI thread.

#include <windows.h>

#include <comdef.h>

#include <atomic>
#include <string>

#include "htmlui/ui_thread.h"

namespace ui {

class BrowserControl;
class WindowHandler;

class BrowserWindow {
public:
    // Window class of every browser window.
    static constexpr const wchar_t* kClassName = L"BraskZitDialog";
    static constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    static constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;
    static constexpr int kInitialX = 100;
    static constexpr int kInitialY = 100;

    // No window and no control yet; takes a UI thread handle.
    BrowserWindow();
    // destroy() when a window exists, then drops the UI thread handle (which
    // may stop the UI thread). Never throws: failures are logged.
    virtual ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;

    // Creates the window (hidden, at (100, 100), default size) when there is
    // none or it ended with an earlier UI thread (its control is then never
    // called again), makes handler the page's handler and starts navigating to
    // pageUrl (ANSI); returns once the navigation has started. Throws
    // std::runtime_error "action failed" when the window, its control or the
    // navigation cannot be made; a window whose control failed is not left
    // behind. handler must outlive the page.
    void load(const std::string& pageUrl, WindowHandler* handler);
    // Hides the window, destroys its control, then the window; nothing when
    // there is no window. A later load() makes a new window.
    void destroy();

    // Win32 calls on the window from any thread; each does nothing without a
    // window.
    void show();
    void hide();
    // WM_CLOSE, synchronously: the page's handler gets onClose; the window
    // is not destroyed.
    void close();
    // Outer size; position and Z order kept.
    void setSize(int cx, int cy);
    // Centres over the parent window, or the desktop without one.
    void center();
    // Enables or greys the Close item of the system menu and the close box.
    void enableCloseButton(bool enabled);
    // Window text from UTF-8.
    void setTitle(const std::string& titleUtf8);

    // Runs script (ANSI) in the page and returns its value (see
    // BrowserControl::execJScript). Throws std::logic_error "browser control
    // does not exist" without a control.
    _variant_t execJScript(const std::string& script);

    // The window, or null.
    HWND getHandle() const { return hWnd_.load(); }
    // The hosted control, or null. UI thread only.
    BrowserControl* getControl() const { return control_; }

    // The default client size: 250 x 177 dialog units.
    static SIZE defaultClientSize();
    // Outer size of a window with this client size, style and extended
    // style. Throws std::runtime_error "AdjustWindowRectEx error".
    static SIZE clientSize2windowSize(SIZE size, DWORD style, DWORD exStyle);

    // UI thread only.
    void create();
    void createControl();
    void destroyControl();
    // Forgets the window and its control, without calling either, when the
    // window is not a live window of the calling (UI) thread: it ended with
    // an earlier UI thread. True when it forgot them; false when there is no
    // window or the window is this thread's.
    bool forgetWindowOfEndedThread();

private:
    static LRESULT CALLBACK staticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::atomic<HWND> hWnd_{nullptr};
    BrowserControl* control_ = nullptr;
    UIThread uiThread_;
};

}  // namespace ui
