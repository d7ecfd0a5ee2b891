#pragma once
// Pieces of a launcher's main flow that both launchers share.

#include <windows.h>

#include <cstdint>
#include <string>

// Message boxes of the main flows (resources/launcher/launcher_strings.rc).
enum : UINT {
    kIdsWindowsWarningCaption = 115,
    kIdsLockCaption = 116,
    kIdsLockText = 117,
    kIdsWindowsWarningText = 120,
};

// The program's string id as UTF-8, at most capacity - 1 UTF-16 units;
// empty when the string is missing.
std::string LoadResourceString(HINSTANCE instance, UINT id, int capacity);

// Unless silent, the box that tells another installation is in progress
// (strings 116 and 117).
void ShowInstallationInProgressBox(HINSTANCE instance, bool silent);

// On a Windows version older than Vista: unless silent the warning box
// (strings 115 and 120), and the log line "This is an unsupported operationg
// system."; the run goes on either way.
void WarnIfUnsupportedWindows(HINSTANCE instance, bool silent);

// msiexec's exit codes that mean installed: 0, and the two "restart needed"
// answers 3010 and 1641.
bool IsInstallSuccess(int msiexecResult);

// Marks the running install as this run's: called once the run holds the
// installation lock, or runs under the kit launcher, whose lock covers it.
void ClaimInstallRun();

// The end of a runtime launcher run. Once the run is claimed, deletes what an
// install leaves in the registry (the vendor subkey "SilentInstall", the
// vendor value "InstallStatus", the Policy values "VisitorId" and "Method")
// and ends the claim; before that it deletes none of them, as they may belong
// to another launcher's install that runs now. Releases the installation lock
// when this process holds it. Answers result.
int CleanUpInstallRun(int result);

// The UI language of the run: the user's preferred supported locale (English
// when the system cannot say), replaced by the configuration's /lang when that
// names a supported one. Also makes it the thread's UI language and locale
// and the dialog layer's language, so the launcher's own strings and dialogs
// follow it (a language without resources of its own falls back to English).
// Never throws.
uint16_t ChooseUiLanguage();

// Makes langId the calling thread's UI language and locale and the dialog
// layer's language: LoadString, FindResource and the dialogs then pick that
// language's resources, or English where it has none.
void UseUiLanguage(uint16_t langId);
