#pragma once
// Opening the runtime's verify page in Chrome, Firefox or Internet Explorer
// after an install, and closing (and on 32-bit systems restarting) the
// browsers that the package asked to restart. Every failure is logged and
// ends only the routine.

// The page that shows whether the freshly installed runtime works.
extern const char kVerifyPageUrl[];  // "http://www.tolva.example/verify9/?src=install"

// Opens the verify page in a new window of the Chrome registered under HKLM
// App Paths\chrome.exe (value "path", its folder), started directly.
void LaunchChrome();
// Opens the verify page in a new Firefox window, started as the desktop user.
void LaunchFirefox();
// Opens the verify page in the Internet Explorer of HKLM App
// Paths\IEXPLORE.EXE, started as the desktop user.
void LaunchIE();

// For the vendor values IERESTART and FIREFOXRESTART that the package left:
// deletes each (in the registry view it was read from), closes that browser,
// and on a 32-bit system starts it again with the verify page. Without the
// values nothing happens.
void BrowserRestart();

// The install folder of a Netscape-family browser: 0 Netscape 6, 1 Mozilla
// (version 1.1 or later), 2 Firefox (1.0 or later, else Minefield). buffer
// holds MAX_PATH bytes. True when found; the buffer is untouched otherwise
// (an empty folder counts as not found).
bool GetBrowserInstallDir(char* buffer, int browser);

// Asks every other process of the launcher's own logon session whose
// executable name is exeName (any letter case) to close, by ShutdownProcess
// with 5000 ms, each in turn; processes of other sessions, or whose session
// cannot be told, are left running (logged). Answers 0.
int CloseProcessesByName(const char* exeName, bool destroyWindows);
