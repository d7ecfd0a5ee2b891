#pragma once
// Seams of ExecProcessAsDesktopUser for tests: the shell that opens the
// shortcut, the folders and the shortcut object.

#include <windows.h>
#include <shobjidl.h>

#include <functional>
#include <string>

namespace executor_internal {

struct DesktopUserHooks {
    // Program that opens the shortcut in place of explorer.exe.
    std::function<std::string()> shellProgram;
    // Folder in place of the common application-data folder.
    std::function<std::string()> commonAppDataDir;
    // In place of CoCreateInstance(CLSID_ShellLink).
    std::function<HRESULT(IShellLinkA**)> createShellLink;
};

// Replaces the hooks (an empty member keeps the real behaviour).
void setDesktopUserHooksForTesting(const DesktopUserHooks& hooks);

}  // namespace executor_internal
