#pragma once
// Internals of the UI thread that tests check on their own.

#include <windows.h>

#include <vector>

#include "foundation/ipc/thread.h"

namespace ui {
namespace internal {

// True for the keyboard (0x100-0x109) and mouse (0x200-0x20D) messages that
// the UI thread's loop offers to the focused window chain first.
bool isOfferedMessage(UINT message);

// The windows that are offered a message, in order: focus, then its parents
// up to and including its top-level window (never the desktop window or
// anything above it). Empty for a null focus.
std::vector<HWND> acceleratorTargets(HWND focus);

// The live instance's "ControlWindow" and UI thread id; null and 0 when there
// is no instance or its thread is not running.
HWND currentControlWindow();
DWORD currentUIThreadId();

// What starts the UI thread: ipc::Thread::start unless a test, to make the
// start fail, puts another function in its place (null restores it). Set it
// only while no UI thread is starting.
using ThreadStarter = ipc::Thread (*)(ipc::Runnable* runnable, bool owned);
void setThreadStarterForTesting(ThreadStarter starter);

}  // namespace internal
}  // namespace ui
