#pragma once
// Internals of the UI thread that tests check on their own.

#include <windows.h>

#include <vector>

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

}  // namespace internal
}  // namespace ui
