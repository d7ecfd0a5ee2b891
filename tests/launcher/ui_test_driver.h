#pragma once
// Driving real dialogs from a second thread in tests: find the dialog that
// the test thread shows, press its buttons, and answer message boxes.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "common/window_finder.h"

namespace uitest {

// A visible dialog box of this process with the caption title (any caption
// when empty), waited for up to timeoutMs; null when none came.
inline HWND waitForDialog(const std::string& title, DWORD timeoutMs = 15000) {
    return testutil::waitForWindow(testutil::dialogsOf(0, title), timeoutMs);
}

// Waits until window is gone; true when it went within timeoutMs.
inline bool waitGone(HWND window, DWORD timeoutMs = 15000) {
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// Presses button id of dialog the way a click does: the dialog receives
// WM_COMMAND/BN_CLICKED from the button. Posted, so a handler that opens a
// message box does not block the caller.
inline void pressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The text of control id of dialog.
inline std::string itemText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

// The address of link item index of the link control id of dialog (UTF-8,
// our addresses are ASCII); empty when the control has no such item.
inline std::string linkAddress(HWND dialog, int id, int index = 0) {
    LITEM item = {};
    item.mask = LIF_ITEMINDEX | LIF_URL;
    item.iLink = index;
    if (!SendDlgItemMessageW(dialog, id, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)))
        return std::string();
    std::string address;
    for (const wchar_t* c = item.szUrl; *c; ++c)
        address += static_cast<char>(*c);
    return address;
}

// The colour at (x, y) of control as it paints itself into a bitmap of its
// own (WM_PRINTCLIENT), whatever other tests' windows lie over it on the
// shared screen.
inline COLORREF printedPixel(HWND control, int x, int y) {
    RECT area = {};
    GetClientRect(control, &area);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    const COLORREF colour = GetPixel(memory, x, y);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

// Runs body on a thread of its own and joins it at scope end.
class Driver {
public:
    template <class F>
    explicit Driver(F body) : thread_(body) {}
    ~Driver() {
        if (thread_.joinable())
            thread_.join();
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

private:
    std::thread thread_;
};

}  // namespace uitest
