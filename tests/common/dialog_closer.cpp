#include "common/dialog_closer.h"

#include <utility>

#include "common/window_finder.h"

namespace testutil {

DialogCloser::DialogCloser(DWORD pid, WPARAM button, std::string okCaption)
    : DialogCloser(pid, Options{button, std::move(okCaption), false, 500}) {}

DialogCloser::DialogCloser(DWORD pid, Options options)
    : pid_(pid), options_(std::move(options)), stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(nullptr, 0, &DialogCloser::loop, this, 0, nullptr);
}

DialogCloser::~DialogCloser() {
    stop();
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

std::string DialogCloser::stop() {
    if (thread_) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return titles();
}

std::string DialogCloser::titles() const {
    EnterCriticalSection(&lock_);
    const std::string copy = titles_;
    LeaveCriticalSection(&lock_);
    return copy;
}

void DialogCloser::sweep() {
    WindowQuery query;
    query.processId = pid_;
    if (!options_.everyWindow)
        query.className = "#32770";
    for (HWND window : findWindows(query)) {
        const std::string title = windowTitle(window);
        EnterCriticalSection(&lock_);
        if (seen_.insert(window).second)
            titles_ += title + "|";
        LeaveCriticalSection(&lock_);
        const bool ok = !options_.okCaption.empty() && title.find(options_.okCaption) != std::string::npos;
        // Posted, so a window whose button opens another box does not block
        // this thread. Counted first: the program may act on the press and
        // end, and its test read the count, before this thread runs again.
        InterlockedIncrement(&closed_);
        if (!PostMessageA(window, WM_COMMAND, ok ? IDOK : options_.button, 0))
            InterlockedDecrement(&closed_);
    }
}

DWORD WINAPI DialogCloser::loop(void* param) {
    auto* self = static_cast<DialogCloser*>(param);
    do {
        self->sweep();
    } while (WaitForSingleObject(self->stop_, self->options_.periodMs) == WAIT_TIMEOUT);
    return 0;
}

}  // namespace testutil
