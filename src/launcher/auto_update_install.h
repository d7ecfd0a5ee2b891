#pragma once
// Installing the auto-update package that both launchers carry (resource 105
// of type "TOLVA_INSTALLER"): only when it is newer than the installed one,
// keeping the user's update schedule and notification choice.

#include <windows.h>

#include <cstddef>
#include <string>

// Writes the package to "<user data>\Quorvane\Tolva\AU\au.msi" and installs
// it. Returns -1 for a folder or file error (the run goes on), -5 when the
// resource is missing, else InstallAutoUpdate's answer.
int ExtractAndInstallAutoUpdate(HMODULE module, bool oemUpdate, bool autoUpdateEnabled);

// Installs the package at packagePath: 0 success (a restart the installer
// asks for counts as success); -2 the installed updater is not older; -3 no
// msiexec or the registration tool failed; -4 the registration threw; else
// msiexec's exit code.
int InstallAutoUpdate(bool oemUpdate, const char* packagePath, bool autoUpdateEnabled);

// The installed updater's version (HKLM "SOFTWARE\TolvaSoft\Auto Update"
// value AUVersion, 32-bit view) into buffer. False, buffer emptied, when it
// cannot be read or does not fit.
bool GetInstalledAUVersion(char* buffer, size_t capacity);

// True when no updater is installed or the packaged one is newer.
bool IsAUUpgradable();
// True when an updater is installed and it is older than the packaged one.
bool IsInstalledAUOlder();
// True when the installed updater is older than the current updater family.
bool IsAUOlderThanVindel8();
// 1 when a is greater, -1 when smaller, 0 when equal (runtime version texts:
// major, minor, micro as numbers, then the update text byte by byte).
int CompareVersionStrings(const char* a, const char* b);
// Uninstalls the updater product of the old family.
void UninstallOldAU(const char* msiexecPath);

// The registration tool: the common program files folder followed by
// "\Tolva\Tolva Update\taureg.exe".
std::string GetRegistrationToolPath();
