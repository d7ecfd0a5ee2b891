#pragma once
// Whether a window has drawn itself: the state a test waits for (with
// testutil::waitFor) before it reads the screen or takes a picture.

#include <windows.h>

namespace testutil {

// True when window is visible and neither it nor any of its child windows
// still has a part waiting to be painted. Works for windows of other threads
// and other processes too; false for a window that is gone.
inline bool nothingLeftToPaint(HWND window) {
    if (!IsWindow(window) || !IsWindowVisible(window) || GetUpdateRect(window, nullptr, FALSE))
        return false;
    bool pending = false;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
                *reinterpret_cast<bool*>(param) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

}  // namespace testutil
