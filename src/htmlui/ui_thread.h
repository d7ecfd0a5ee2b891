#pragma once
// The one thread that owns every window and browser control of the HTML
// engine. Other threads hand it work as ipc::Runnable actions, delivered by a
// synchronous message to its hidden "ControlWindow"; the caller blocks until
// the action has run. The thread starts with the first action and ends when
// the last UIThread handle is released.

#include <windows.h>

#include <cstdint>

#include "foundation/ipc/thread.h"

namespace ui {

// Sent by the UI thread's loop to the focused window and its ancestors, up to
// its top-level window, for each keyboard and mouse message; lParam is the
// MSG. A nonzero answer consumes the message.
constexpr UINT kAcceleratorQueryMessage = WM_USER + 1;
// Sent to "ControlWindow" with the action in wParam; answers 1 when it ran.
constexpr UINT kRunActionMessage = WM_USER + 2;

class UIThread {
public:
    // Takes a counted reference on the process-wide UI thread instance (the
    // thread itself starts with the first action).
    UIThread();
    // Drops the reference. The last one closes "ControlWindow" and, on any
    // other thread than the UI thread, waits for the thread to end.
    virtual ~UIThread();
    UIThread(const UIThread&) = delete;
    UIThread& operator=(const UIThread&) = delete;

    // Runs action->run() on the UI thread and returns when it has finished;
    // on the UI thread itself it runs at once. The action stays the caller's.
    // Throws std::logic_error "NULL action" for a null action (nothing sent),
    // std::runtime_error "UI thread failire" when the thread cannot start,
    // and std::runtime_error "action failed" when the action threw anything
    // or the UI thread ended before answering.
    void runAction(ipc::Runnable* action);

    // True when called on the UI thread of this instance.
    bool isUIThread() const;

    class ThreadImpl;

private:
    ThreadImpl* impl_;
};

}  // namespace ui
