#pragma once
// Pieces of the uninstaller that tests check on their own.

#include <string>

namespace tscrub {
namespace cleaner_internal {

// The full path of msiexec.exe: the Windows Installer's "InstallerLocation"
// folder, else the system folder. Never a bare name, which the system would
// also look for beside this program (and this program runs elevated).
std::string msiexecPath();

// The uninstall command line for the product code with the given msiexec path.
std::string uninstallCommandLine(const std::string& msiexec, const std::string& productCode);

}  // namespace cleaner_internal
}  // namespace tscrub
