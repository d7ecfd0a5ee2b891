#pragma once
// Seam of the browser closing for tests: a second logon session cannot be
// made under Wine, so tests say which session a process belongs to.

#include <windows.h>

#include <functional>

namespace browser_launch_internal {
// Replaces ProcessIdToSessionId in CloseProcessesByName, for the launcher's
// own process too (nullptr restores it). Answers false when the session of
// that process cannot be told.
void setSessionLookupForTesting(std::function<bool(DWORD processId, DWORD* sessionId)> lookup);
}  // namespace browser_launch_internal
