#pragma once
// Closing another program's windows, the dialog font, and link markup in a
// text control.

#include <windows.h>

// Asks process processId to close by posting WM_CLOSE to each of its
// top-level windows, waits up to timeoutMs for it to end, and otherwise
// terminates it (exit code 0) and waits up to timeoutMs again. Returns 1
// when it ended by itself, 2 when it ended after being terminated, 0
// otherwise, including when it cannot be opened (then no window is
// touched). destroyWindows is kept for callers that asked for their windows
// to be destroyed: a process cannot destroy another's windows, so both modes
// ask by WM_CLOSE.
int ShutdownProcess(DWORD processId, DWORD timeoutMs, bool destroyWindows);

// A new font (the caller deletes it) of pointSize points for the screen's
// vertical DPI: "MS UI Gothic" for Japan, the fallback face before Vista and
// for Korea, China and Taiwan, else "Segoe UI", the country being that of the
// thread's locale (the chosen UI language); weight 700 when bold, else 500.
// Null when the font cannot be made.
HFONT CreateDialogFont(int pointSize, bool bold, bool underline);

// Makes the link of a link control (SysLink) lead to address (UTF-8): the
// "<l>text</l>" markup of its text (the first "</l>" after the first "<l>")
// becomes a bare item "<a>text</a>", or a bare "<a>text</a>" item already
// there is kept, and the item's address is set with LM_SETITEM. Without
// either markup the control is left alone. With fit 1, a control wider than
// its visible text (without the tags) shrinks to that text's width and
// height, keeps its top and is centred in its parent's client area.
// Returns whether the link was made: false for a null control or address,
// no markup, an address too long for the control, or a control that is not
// a link control.
bool ApplyLinkMarkup(HWND control, const char* address, int fit);
