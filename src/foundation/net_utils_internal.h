#pragma once
// Seams of the connectivity test: Wine's InternetGetConnectedState always
// answers true, so tests replace it and point the probe at a local server.

#include <windows.h>

#include <string>

namespace net_internal {

using ConnectedStateFn = BOOL (*)(DWORD* flags);

// The probed address when the system reports no connection.
constexpr const char* kProbeUrl = "http://www.tolvasoft.com/";

// Replace the system's answer and the probed address; null or an empty text
// restores the real one. Return the previous value.
ConnectedStateFn setConnectedStateForTesting(ConnectedStateFn fn);
std::string setProbeUrlForTesting(const std::string& url);

}  // namespace net_internal
