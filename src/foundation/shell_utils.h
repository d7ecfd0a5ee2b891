#pragma once
// System libraries loaded from the system folder only, and the per-user
// data folder that low-integrity programs may write.

#include <windows.h>

// Loads the named library (a bare file name) from the system folder by its
// full path, never from the search path. Returns the module (the caller
// frees it) or null; failures are logged at ERROR.
HMODULE Kessa_System_LoadLibrary(const char* fileName);

// Writes into buffer (MAX_PATH bytes) the per-user low-integrity local data
// folder (known folder LocalAppDataLow) in the ANSI code page, or on systems
// older than Vista the roaming application-data folder. Returns false when
// shell32.dll, its SHGetKnownFolderPath or the call fails, or the folder
// does not fit; the buffer is then an empty text.
bool GetAppDataLowDir(char* buffer);
