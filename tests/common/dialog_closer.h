#pragma once
// A person clicking through the windows a program shows: for the runs of
// interactive launchers, and for runs that must show none.

#include <windows.h>

#include <set>
#include <string>

namespace testutil {

// Answers the windows that process pid shows, from a thread of its own,
// until it is stopped: every periodMs it presses (posts WM_COMMAND) button on
// each shown dialog box, or OK on one whose caption holds okCaption. With
// everyWindow it answers every shown top-level window of the process, not
// only dialog boxes.
class DialogCloser {
public:
    struct Options {
        WPARAM button = IDCANCEL;
        std::string okCaption;
        bool everyWindow = false;
        DWORD periodMs = 500;
    };

    explicit DialogCloser(DWORD pid, WPARAM button = IDCANCEL, std::string okCaption = std::string());
    DialogCloser(DWORD pid, Options options);
    // Stops it.
    ~DialogCloser();
    DialogCloser(const DialogCloser&) = delete;
    DialogCloser& operator=(const DialogCloser&) = delete;

    // Stops answering (again: nothing) and answers titles(), final from now.
    std::string stop();
    // How many presses it posted; a window that stays up is pressed again at
    // every sweep.
    LONG closed() const { return closed_; }
    // The captions of the windows it found, in the order it first saw them,
    // "|" after each (a run that must show no window expects it empty).
    std::string titles() const;

private:
    static DWORD WINAPI loop(void* param);
    void sweep();

    DWORD pid_;
    Options options_;
    HANDLE stop_;
    HANDLE thread_ = nullptr;
    volatile LONG closed_ = 0;
    mutable CRITICAL_SECTION lock_;
    std::set<HWND> seen_;
    std::string titles_;
};

}  // namespace testutil
