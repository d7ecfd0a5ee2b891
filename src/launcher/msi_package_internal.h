#pragma once
// Seam of the package writer for tests.

#include <windows.h>

#include <functional>

namespace msi_package_internal {
// Replaces WriteFile in ExtractResourceToFile (nullptr restores it).
void setWriteHookForTesting(std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> hook);
// Replaces GetAppDataLowDir in GetMsiFilePath (nullptr restores it).
void setUserDataFolderForTesting(std::function<bool(char* buffer)> folder);
}  // namespace msi_package_internal
