#pragma once
// Seam of the package writer for tests.

#include <windows.h>

#include <functional>

namespace msi_package_internal {
// Replaces WriteFile in ExtractResourceToFile (nullptr restores it).
void setWriteHookForTesting(std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> hook);
}  // namespace msi_package_internal
