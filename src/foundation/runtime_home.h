#pragma once
// The home folder of an installed runtime or development kit, as the
// installer recorded it in the registry.

#include <windows.h>

// Reads "TolvaHome" of the given version under HKLM "SOFTWARE\TolvaSoft\Tolva
// Runtime Environment" (or "...\Tolva Development Kit" when kit is set), in
// the process's own registry view, into buffer. *size gives the buffer's
// bytes and returns the bytes of the text with its terminating NUL. A
// trailing backslash is removed. Returns 1 when found, 0 otherwise; on 0 the
// buffer's content is unspecified and *size may have changed.
int FindTolvaHome(const char* version, char* buffer, DWORD* size, bool kit);
// The same with the buffer's size by value.
int FindTolvaHome(const char* version, char* buffer, DWORD size, bool kit);
