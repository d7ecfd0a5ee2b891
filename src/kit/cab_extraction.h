#pragma once
// The four cabinets that the kit package expects beside itself. A worker
// thread writes them out of the program's resources while msiexec already
// runs, then sets a named event for the package's side.

#include <windows.h>

#include <cstddef>
#include <string>

// "BraskVindelCabExtractWaitEvent": manual reset, created not signalled.
extern const char kCabExtractEventName[];

struct KitCabinet {
    const char* prefix;  // file name prefix
    const char* type;    // resource type
    int id;              // resource id
};

// The cabinets in the order they are written: ss (TOLVA_CAB9, 110),
// st (TOLVA_CAB10, 111), sj (TOLVA_CAB7, 108), sz (TOLVA_CAB11, 112).
extern const KitCabinet kKitCabinets[4];

// "<prefix><major><minor><micro><update>0.cab" of version
// ("ss" and "9.1.4_12" give "ss914120.cab").
std::string GetCabinetFileName(const char* prefix, const char* version);

// Creates the package folder "<user data>\Brask\Tolva\vindel<version>[_x64]"
// level by level (creation failures are left to the later file writes) and
// answers it without a trailing backslash; empty when the user data folder
// is unknown.
std::string GetKitPackageFolder(bool is64Bit);

// Writes the four cabinets into the package folder of this system, in the
// order above. A missing resource is skipped; a file that cannot be written
// is logged and skipped, so the run and the install go on (the package then
// fails with its own error). Then creates or opens the event and sets it.
// Answers the number of cabinets written.
int ExtractCabinets(HMODULE module);

// Thread routine around ExtractCabinets (parameter: the module); exit code 1.
DWORD WINAPI ExtractCabsThreadProc(LPVOID module);
