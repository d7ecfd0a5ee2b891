#include "common/window_finder.h"

#include "common/test_util.h"

namespace testutil {

namespace {

struct Search {
    const WindowQuery* query;
    std::vector<HWND> found;
    bool firstOnly;
};

bool matches(HWND window, const WindowQuery& query) {
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &pid);
    if (query.processId != 0 && pid != query.processId)
        return false;
    if (query.threadId != 0 && thread != query.threadId)
        return false;
    if (query.visibleOnly && !IsWindowVisible(window))
        return false;
    if (!query.className.empty()) {
        char name[256] = {};
        GetClassNameA(window, name, sizeof name);
        if (query.className != name)
            return false;
    }
    return query.title.empty() || query.title == windowTitle(window);
}

BOOL CALLBACK visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (!matches(window, *search->query))
        return TRUE;
    search->found.push_back(window);
    return search->firstOnly ? FALSE : TRUE;
}

std::vector<HWND> enumerate(const WindowQuery& query, bool firstOnly) {
    Search search{&query, {}, firstOnly};
    EnumWindows(&visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

WindowQuery dialogsOf(DWORD pid, const std::string& title) {
    WindowQuery query;
    query.processId = pid != 0 ? pid : GetCurrentProcessId();
    query.className = "#32770";
    query.title = title;
    return query;
}

std::vector<HWND> findWindows(const WindowQuery& query) { return enumerate(query, false); }

HWND findWindow(const WindowQuery& query) {
    const std::vector<HWND> found = enumerate(query, true);
    return found.empty() ? nullptr : found.front();
}

HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs) {
    HWND window = nullptr;
    if (!waitFor([&] { return (window = findWindow(query)) != nullptr; }, timeoutMs))
        return nullptr;
    return window;
}

std::string windowTitle(HWND window) {
    // For a window of another process GetWindowText reads the caption the
    // system keeps instead of sending WM_GETTEXT, so a hung program cannot
    // stall the search.
    char text[512] = {};
    const int n = GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace testutil
