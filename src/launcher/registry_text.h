#pragma once
// Reading a text value into a fixed buffer, always NUL-terminated.

#include <windows.h>

// Queries name into buffer of *sizeInOut bytes. On success the text ends in
// a NUL (values stored without one get it appended when there is room, and
// fail with ERROR_MORE_DATA when not) and *sizeInOut is the stored length.
// On failure the buffer (when it has room) is an empty text.
LONG queryTextValue(HKEY key, const char* name, char* buffer, DWORD* sizeInOut);
