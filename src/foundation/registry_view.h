#pragma once
// The registry view of the system's own programs.

#include <windows.h>

// True when the processor is not AMD64 or this process runs under WOW64.
bool IsRunning32Bit();

// Access mask for the system's own registry view: KEY_WOW64_32KEY on a
// 32-bit system or process, else KEY_WOW64_64KEY, with KEY_WRITE when write
// is true, else KEY_READ.
REGSAM GetSystemViewRegAccess(bool write);
