#pragma once
// The silent run of the runtime installer "kessa.exe" that the kit package
// places in the kit's home.

#include <cstddef>

// 1 when FindFirstFileA finds path, else 0.
int FileExists(const char* path);

// True when the kit's options select the public runtime: they name
// "PublickessaFeature" or "ADDLOCAL=ALL", or no "ADDLOCAL" at all.
bool KitOptionsSelectRuntime(const char* msiOptions);

// "\"<path>\" /s LAUNCHEDFROMVINDEL=1", then " NOSTARTMENU=1" when
// noStartMenu, the INSTALLDIR property of publicKessaDir when not empty, and
// " REBOOT=ReallySuppress" when appendReboot; into out (capacity bytes).
// False, out emptied, when it does not fit.
bool BuildRuntimeInstallerArguments(const char* path, bool noStartMenu, const char* publicKessaDir,
                                    bool appendReboot, char* out, size_t capacity);

// Finds the kit home; when "<home>\kessa.exe" exists runs it hidden with the
// arguments above and waits for it (its exit code is not used); then
// deletes the file. Nothing when the kit home is not found.
void RunKitRuntimeInstaller(bool noStartMenu, const char* publicKessaDir, bool appendReboot);
