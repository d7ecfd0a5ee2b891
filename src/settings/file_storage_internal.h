#pragma once
// Windows internals of the file layer that tests reach: the process user's
// SID and the access list built for a given owner.

#include <windows.h>

#include <string>
#include <vector>

namespace settings_impl {

// Size of every SID buffer of this layer: room for the largest SID.
constexpr DWORD kSidBufferBytes = 68;

// The user SID of the running process (TokenUser), copied into a 68-byte
// buffer. Throws settings::Exception 200 on any failure; no handle is left
// open.
std::vector<BYTE> fileOwnerSid();

// The access list text for a new settings file owned by that SID: with the
// domain users group of the SID's account domain, or the fallback of
// protectedFileSddl when the SID belongs to no account domain. Throws
// settings::Exception 200 when a system call fails otherwise.
std::string protectedFileSddlForOwner(PSID owner);

}  // namespace settings_impl
