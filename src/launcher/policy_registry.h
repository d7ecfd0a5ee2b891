#pragma once
// Values of the update-policy key HKLM "SOFTWARE\TolvaSoft\Tolva Update\Policy".

#include <windows.h>

extern const char kPolicyKey[];

// Writes text as REG_SZ of its length (no NUL stored), or deletes the value
// for a null text, in key or (null key) the Policy key. True on success.
bool SetPolicyValue(HKEY key, const char* name, const char* text);
// Reads the value into buffer of *sizeInOut bytes; on success *sizeInOut is
// the length read and the text is NUL-terminated (a value that leaves no
// room for the NUL fails with the buffer emptied). True on success.
bool GetPolicyValue(HKEY key, const char* name, char* buffer, DWORD* sizeInOut);
