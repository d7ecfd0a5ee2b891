#pragma once
// Finding the top-level windows a test's own code or its children show: by
// process, thread, class and caption.

#include <windows.h>

#include <string>
#include <vector>

namespace testutil {

// What a top-level window must be to match: every field that is set holds.
struct WindowQuery {
    DWORD processId = 0;    // its process; 0: any
    DWORD threadId = 0;     // the thread that made it; 0: any
    std::string className;  // exactly this class ("#32770": dialog boxes); empty: any
    std::string title;      // exactly this caption (ANSI); empty: any
    bool visibleOnly = true;
};

// The dialog boxes of a process (of this one when pid is 0) that are shown,
// with the caption title, or any caption when it is empty.
WindowQuery dialogsOf(DWORD pid = 0, const std::string& title = std::string());

// The matching windows, topmost first; none when nothing matches.
std::vector<HWND> findWindows(const WindowQuery& query);

// The topmost matching window; null when none matches.
HWND findWindow(const WindowQuery& query);

// findWindow asked again and again until a window matches; null when none
// did within timeoutMs.
HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs);

// The caption of a top-level window (ANSI); empty when it has none.
std::string windowTitle(HWND window);

}  // namespace testutil
