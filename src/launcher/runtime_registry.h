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
// Deletes the value name of HKLM keyPath in the view in which
// GetRegValueOfStringType reads it: the 64-bit view's key when it opens (on a
// 64-bit system), else the 32-bit view's. Answers ERROR_SUCCESS, or the
// error of the open or of the delete (ERROR_FILE_NOT_FOUND when there is no
// such key or value); the other view is never touched.
LONG DeleteRegValueOfStringType(const char* name, const char* keyPath);
