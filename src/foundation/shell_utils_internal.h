#pragma once
// The parts of GetAppDataLowDir that tests choose.

#include <windows.h>

namespace shell_utils_internal {
// GetAppDataLowDir for the given OS class, with the known-folder function
// looked up by name in the named system library.
bool appDataLowDir(char* buffer, int osClass, const char* libraryName, const char* functionName);
}  // namespace shell_utils_internal
