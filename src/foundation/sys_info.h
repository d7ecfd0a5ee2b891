#pragma once
// What the launchers need to know about the machine. The Windows version is
// read once, on first use.

#include <string>

// OS class compared by installer logic: 0 older than XP, 1 XP/2003,
// 2 Vista/2008, 3 7/2008 R2, 4 8/2012, 5 later.
typedef int WindowsVersion;

namespace SysInfo {

WindowsVersion getWindowsVersion();
// True when the product type is not workstation.
bool isServer();
// "amd64" on an AMD64 processor, else "i586".
std::string getArchitecture();
bool isNativeAmd64();
// Whether this process runs under WOW64; false when the system cannot say.
// Throws std::runtime_error "fnIsWow64Process() failed" when the call fails.
bool isWow64();
// True when the processor is not AMD64 or the process runs under WOW64
// (worked out once; a failing WOW64 query counts as false).
bool is32BitProcessOrSystem();
// Short OS name for reports ("win7-sp1", "winvista", "10.0", ...).
std::string getOsName();
// Full path of the program's own file. Throws TdsError<std::runtime_error>
// "GetModuleFileName(NULL) failed".
std::string getProcessModulePath();
// The user's temporary folder without trailing separator; empty on failure.
std::string getTempDir();
// Shell folders without trailing separator; each logs and throws
// std::runtime_error on failure.
std::string getCommonAppDataDir();
std::string getSystem32Dir();
std::string getWindowsDir();
std::string getProgramFilesCommonX86Dir();

}  // namespace SysInfo
