#pragma once
// Installed runtime versions and text values in either registry view.

#include <windows.h>

// Copies into buffer (128 bytes) the greatest (lstrcmpiA) subkey name of
// HKLM "SOFTWARE\TolvaSoft\Tolva Runtime Environment" that is longer than 3
// characters and not the current version. False (buffer untouched) when
// there is none.
bool GetPreviousKessaVersion(char* buffer);
// Reads the REG_SZ value name of HKLM keyPath, the 64-bit view first (on a
// 64-bit system), then the 32-bit view, into buffer of *sizeInOut bytes.
// Answers 1 for a REG_SZ value, else 0.
int GetRegValueOfStringType(const char* name, char* buffer, const char* keyPath, DWORD* sizeInOut);
