#pragma once
// Test hooks of the installation lock.

namespace installation_lock_internal {

// Fills buffer (260 bytes) with the user data folder; false when unknown.
typedef bool (*UserDataFolderFn)(char* buffer);

// Replaces the user data folder lookup; null puts the system's back.
void setUserDataFolderForTesting(UserDataFolderFn function);

}  // namespace installation_lock_internal
