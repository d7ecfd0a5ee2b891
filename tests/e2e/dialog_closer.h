#pragma once
// A person clicking through a launcher's dialog boxes, for the end-to-end
// runs of interactive installs.

#include <windows.h>

#include <string>

namespace e2e {

// Answers every dialog box the process shows, as a person clicking through
// the pages would, from a thread of its own, until it is stopped: with
// button, or with OK where the caption holds okCaption.
class DialogCloser {
public:
    explicit DialogCloser(DWORD pid, WPARAM button = IDCANCEL, std::string okCaption = std::string())
        : pid_(pid), button_(button), okCaption_(std::move(okCaption)),
          stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        InitializeCriticalSection(&lock_);
        thread_ = CreateThread(nullptr, 0, &DialogCloser::loop, this, 0, nullptr);
    }
    ~DialogCloser() {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(stop_);
        DeleteCriticalSection(&lock_);
    }
    LONG closed() const { return closed_; }
    // The captions of the boxes it answered, in order, "|" after each.
    std::string titles() {
        EnterCriticalSection(&lock_);
        const std::string copy = titles_;
        LeaveCriticalSection(&lock_);
        return copy;
    }

private:
    static BOOL CALLBACK closeOne(HWND hwnd, LPARAM param) {
        auto* self = reinterpret_cast<DialogCloser*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        char className[16] = {};
        GetClassNameA(hwnd, className, sizeof className);
        if (pid != self->pid_ || !IsWindowVisible(hwnd) || std::string(className) != "#32770")
            return TRUE;
        char title[128] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        const bool ok = !self->okCaption_.empty() && std::string(title).find(self->okCaption_) != std::string::npos;
        if (PostMessageA(hwnd, WM_COMMAND, ok ? IDOK : self->button_, 0)) {
            InterlockedIncrement(&self->closed_);
            EnterCriticalSection(&self->lock_);
            self->titles_ += std::string(title) + "|";
            LeaveCriticalSection(&self->lock_);
        }
        return TRUE;
    }
    static DWORD WINAPI loop(void* param) {
        auto* self = static_cast<DialogCloser*>(param);
        while (WaitForSingleObject(self->stop_, 500) == WAIT_TIMEOUT)
            EnumWindows(&DialogCloser::closeOne, reinterpret_cast<LPARAM>(self));
        return 0;
    }

    DWORD pid_;
    WPARAM button_;
    std::string okCaption_;
    HANDLE stop_;
    HANDLE thread_ = nullptr;
    volatile LONG closed_ = 0;
    CRITICAL_SECTION lock_;
    std::string titles_;
};

}  // namespace e2e
