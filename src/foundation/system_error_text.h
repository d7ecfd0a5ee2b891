#pragma once
// Texts for Windows and COM error codes.

#include <windows.h>

#include <cstdint>
#include <string>

// The system's message for a Windows error code, in UTF-8, on one line and
// without the final dot; "No description available" when there is none.
// With a module, its message table is asked instead of the system's.
std::string getSystemErrorDescription(uint32_t code, HMODULE module = nullptr);

// "system error <code> (<description>)".
std::string formatSystemError(uint32_t code, HMODULE module = nullptr);

// "COM error 0x%08X (<description>)"; a Win32-facility result is described
// by its low word.
std::string formatComError(HRESULT result);
