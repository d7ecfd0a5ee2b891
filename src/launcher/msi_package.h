#pragma once
// Finding msiexec.exe, writing the package out of the program's resources,
// the target-folder property and one Windows Installer run.

#include <windows.h>

#include <cstddef>

// Fills buffer (capacity bytes) with the full path of msiexec.exe: on XP and
// 2003 servers the system folder's, else the Installer's "InstallerLocation"
// + "\msiexec.exe". Returns 1, or 0 (buffer emptied) when the value cannot
// be read or the path does not fit.
int GetMsiexecPath(char* buffer, size_t capacity);

// Creates the package folder "<user data>\Brask\Tolva\<kind><version>[_x64]"
// level by level and writes "<folder>\<kind><version>.msi" into buffer
// (MAX_PATH bytes). False (buffer emptied, the reason logged at ERROR) when
// the user data folder is not found or the path does not fit; folder
// creation failures are left to the later file creation.
bool GetMsiFilePath(char* buffer, bool is64Bit);

// Writes resource id of type from module byte-exact to path, in chunks of
// at most 8192 bytes. Returns 1, or 0 when the resource is missing. Any file
// failure shows the fatal box and ends the process with the Windows error.
int ExtractResourceToFile(HMODULE module, int id, const char* type, const char* path);

// The same without ending the process: 1 written, 0 resource missing, -1 a
// file failure (logged; a partly written file may stay behind). For files
// written after the runtime is installed, when the run must go on.
int TryExtractResourceToFile(HMODULE module, int id, const char* type, const char* path);

// Logs "<text> failed with error <code>: <system text>" at ERROR, shows it
// in a box captioned "Error" unless the run is silent, and ends the process
// with the last error.
[[noreturn]] void ShowWin32ErrorAndExit(const char* text);

// Appends " INSTALLDIR=<folder> " (the folder as it stands when it is
// already quoted: at least two characters, a quote first and last) or
// " INSTALLDIR=\"<folder>\" " to commandLine. Returns true, also for a null
// folder (nothing to add); false, with the line unchanged and a log line,
// when the property does not fit in capacity: a cut would end the line
// inside the quoted folder.
bool AppendInstallDirProperty(char* commandLine, size_t capacity, const char* folder);

// Removes the Policy value "PostStatusUrl", runs msiexec with the whole
// command line (which starts with the quoted msiexec path) while dispatching
// window messages, and answers its exit code (1627 when it cannot start).
int RunMsiInstall(const char* msiexecPath, const char* commandLine);
