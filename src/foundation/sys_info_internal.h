#pragma once
// The pure rules of SysInfo, for tests.

#include <string>

#include "foundation/sys_info.h"

namespace sysinfo_internal {

struct VersionFacts {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned servicePackMajor = 0;
    bool server = false;
};

WindowsVersion classify(unsigned major, unsigned minor);
std::string osName(const VersionFacts& facts);
// The facts read at start-up.
const VersionFacts& facts();

}  // namespace sysinfo_internal
