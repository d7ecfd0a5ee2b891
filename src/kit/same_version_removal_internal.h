#pragma once
// Test hook of the same-version removal: the "newer build" box.

#include <windows.h>

namespace same_version_removal_internal {

typedef int (*MessageBoxFn)(const char* text, const char* caption, UINT type);

// Replaces MessageBoxA for the box; null restores it.
void setMessageBoxForTesting(MessageBoxFn messageBox);

}  // namespace same_version_removal_internal
