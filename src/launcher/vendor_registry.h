#pragma once
// Values under the vendor key HKLM "SOFTWARE\TolvaSoft" (64-bit view) that
// the launchers exchange with the package and with later runs.

#include <windows.h>

#include <cstddef>

extern const char kTolvaSoftKey[];  // "SOFTWARE\TolvaSoft"

// True only for an existing REG_SZ or REG_EXPAND_SZ value whose data fits
// capacity, ends in NUL and is not empty; otherwise buffer is an empty text.
bool GetTolvaSoftRegValue(const char* name, char* buffer, size_t capacity);
// text set: writes REG_SZ with its NUL (creating the vendor key). text null:
// deletes the value, then the vendor key when it holds no values and no
// subkeys. Answers whether the vendor key opened.
bool SetTolvaSoftRegValue(const char* text, const char* name);
// SetTolvaSoftRegValue for "InstallStatus" (null removes it). Answers 1.
int SetInstallStatus(const char* status);
// Deletes the value; answers the open's error or the close's result.
LONG DeleteTolvaSoftValue(const char* name);
// Creates "<vendor key>\<name>": 0, or 1603 on failure.
LONG CreateTolvaSoftSubkey(const char* name);
// Deletes that subkey when it opens; answers the Win32 result.
LONG DeleteTolvaSoftSubkey(const char* name);
// Deletes "MSIStatusError" and "MSIStatusExtendedError": 0 on success or
// without a vendor key, else a Win32 error.
LONG ClearMSIStatus();
// Reads both 4-byte status values: 0 or the first failure's Win32 error.
LONG GetMSIStatus(DWORD* errorOut, DWORD* extendedOut);
