#pragma once
// Test hooks of the pre-checks: the boxes and the uninstaller.

#include <windows.h>

namespace reinstall_check_internal {

typedef int (*MessageBoxFn)(const char* text, const char* caption, UINT type);
typedef int (*UninstallFn)(const char* productCode, const char* versionText, bool quiet, const char* extraArguments);
typedef int (*CheckUninstallFn)(const char* version, int bits, bool is64Bit, bool silent);

struct Hooks {
    MessageBoxFn messageBox = nullptr;
    UninstallFn uninstall = nullptr;
    CheckUninstallFn checkGuidAndUninstall = nullptr;
    // 0: the system decides; 32 or 64 stands for IsRunning32Bit.
    int runningBits = 0;
};

// Replaces the hooks; members left null keep the real calls.
void setHooksForTesting(const Hooks& hooks);

}  // namespace reinstall_check_internal
