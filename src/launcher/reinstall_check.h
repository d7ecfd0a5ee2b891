#pragma once
// Pre-checks before the runtime package is installed: is this very runtime
// version installed already (and then refuse, uninstall it first, or stop
// because a newer build is there), and does the install upgrade an older
// runtime family. The version keys are read in the machine's own registry view.

#include <windows.h>

#include <cstddef>
#include <string>

// String table ids of the refusal boxes.
enum : unsigned {
    kIdsReinstallRefused = 2047,
    kIdsNewerBuildInstalled = 2048,
    kIdsNewerVersionCaption = 2049,
    kIdsReinstallCaption = 2050,
};

// 1: go on with the install; 0: stop with exit code 0 (a newer build of this
// version is installed); negative: stop with exit code -1 (reinstall refused,
// silently or after the refusal box, whatever the box answered).
int CheckReinstallCase(bool staticInstall, bool silent);

// 1 when the current version's runtime key exists; its version text then goes
// to versionOut (capacity 2048, cut to fit). 0 otherwise, versionOut untouched.
int IsSameKessaVersionInstalled(char* versionOut);

// 1 when the BuildNumber of the version's key (the development kit's key when
// isVindel) is the current build or older; 0 when newer or unreadable.
int IsSameOrOlderBuildInstalled(const char* version, bool isVindel);

// True when MODE of the version's MSI subkey (64-bit view when is64Bit, else
// 32-bit) is "S" in either case; false when missing.
bool IsStaticModeInstalled(const char* version, bool is64Bit);

// 0 when the version's product is not registered or was uninstalled; else the
// uninstaller's exit code. Throws as tscrub::TCleaner::getProductGUID.
int CheckGUIDAndUninstall(const char* version, int bits, bool is64Bit, bool silent);

// True when the product's Uninstall key exists in the 64-bit (is64Bit) or
// 32-bit view.
bool IsProductCodeRegistered(const char* productCode, bool is64Bit);

// IsProductCodeRegistered with the code of the failing registry call:
// ERROR_SUCCESS when registered, ERROR_FILE_NOT_FOUND when not, another
// error when the key cannot be read.
LONG ProductCodeRegistration(const char* productCode, bool is64Bit);

// The text (UTF-8) of one of the refusal boxes' string ids from the
// program's string table in the thread's resource language, else the
// English text; empty for any other id missing from the table.
std::string LoadPrecheckString(unsigned id);

// 1 when the installed family's CurrentVersion is older than the current
// family (compared by version numbers); 0 otherwise or when unreadable.
int IsThisAFamilyUpgrade();

// Runs msiexec to remove the product: " /x <code>", then " /qn" when quiet
// else " /qb!", then " <extraArguments>" when given; waits without limit.
// Answers msiexec's exit code, or the Windows error when it cannot start.
int UninstallProduct(const char* productCode, const char* versionText, bool quiet, const char* extraArguments);
