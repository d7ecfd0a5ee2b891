#include "foundation/sys_info.h"

#include <windows.h>
#include <shlobj.h>

#include <stdexcept>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/logger.h"
#include "foundation/sys_info_internal.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {

struct SysInfoImpl {
    OSVERSIONINFOEXA version{};
    WindowsVersion windowsVersion = 0;
    bool is32Bit = false;

    SysInfoImpl() {
        initialize();
        windowsVersion = sysinfo_internal::classify(version.dwMajorVersion, version.dwMinorVersion);
        bool wow64 = false;
        try {
            wow64 = SysInfo::isWow64();
        } catch (const std::exception& e) {
            // A failing query must not end the process before it starts.
            TDS_LOG_EXCEPTION("SysInfoImpl::SysInfoImpl", e);
        }
        is32Bit = !SysInfo::isNativeAmd64() || wow64;
    }

    void initialize() {
        ZeroMemory(&version, sizeof version);
        version.dwOSVersionInfoSize = sizeof version;
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
            const DWORD error = GetLastError();
            ZeroMemory(&version, sizeof version);
            TDS_LOG_ERROR("SysInfoImpl::initialize", "%s failed with %s",
                          "SysInfo::initialize(GetVersionEx)", formatSystemError(error).c_str());
        }
    }

    static const SysInfoImpl& instance() {
        static const SysInfoImpl impl;
        return impl;
    }
};

std::string shellFolder(int csidl, const char* logName, const char* thrownText,
                        const char* function) {
    char path[MAX_PATH] = {};
    const HRESULT hr = SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    if (FAILED(hr)) {
        TDS_LOG_ERROR(function, "%s failed with %s", logName, formatComError(hr).c_str());
        throw std::runtime_error(thrownText);
    }
    return FileUtils::stripTrailingSeparators(path);
}

}  // namespace

namespace sysinfo_internal {

WindowsVersion classify(unsigned major, unsigned minor) {
    if (major == 5 && minor >= 1)
        return 1;
    if (major == 6 && minor == 0)
        return 2;
    if (major == 6 && minor == 1)
        return 3;
    if (major == 6 && minor == 2)
        return 4;
    if ((major == 6 && minor >= 3) || major > 6)
        return 5;
    return 0;
}

std::string osName(const VersionFacts& f) {
    std::string name;
    switch (classify(f.major, f.minor)) {
    case 0: name = "win32"; break;
    case 1: name = f.server ? "win2003" : "winxp"; break;
    case 2: name = f.server ? "winlong" : "winvista"; break;
    case 3: name = f.server ? "win2008R2" : "win7"; break;
    case 4: name = f.server ? "win2012" : "win8"; break;
    default:
        name = tstrings::toString(static_cast<unsigned long>(f.major)) + "." +
               tstrings::toString(static_cast<unsigned long>(f.minor));
        break;
    }
    if (f.servicePackMajor != 0)
        name += "-sp" + tstrings::toString(static_cast<unsigned long>(f.servicePackMajor));
    return name;
}

const VersionFacts& facts() {
    static const VersionFacts f = [] {
        const OSVERSIONINFOEXA& v = SysInfoImpl::instance().version;
        VersionFacts r;
        r.major = v.dwMajorVersion;
        r.minor = v.dwMinorVersion;
        r.servicePackMajor = v.wServicePackMajor;
        r.server = v.wProductType != VER_NT_WORKSTATION;
        return r;
    }();
    return f;
}

}  // namespace sysinfo_internal

namespace SysInfo {

WindowsVersion getWindowsVersion() { return SysInfoImpl::instance().windowsVersion; }

bool isServer() { return SysInfoImpl::instance().version.wProductType != VER_NT_WORKSTATION; }

bool isNativeAmd64() {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

std::string getArchitecture() { return isNativeAmd64() ? "amd64" : "i586"; }

bool isWow64() {
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32");
    IsWow64ProcessFn fn =
        kernel ? reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(kernel, "IsWow64Process")) : nullptr;
    if (!fn)
        return false;
    BOOL result = FALSE;
    if (!fn(GetCurrentProcess(), &result))
        throw std::runtime_error("fnIsWow64Process() failed");
    return result != FALSE;
}

bool is32BitProcessOrSystem() { return SysInfoImpl::instance().is32Bit; }

std::string getOsName() { return sysinfo_internal::osName(sysinfo_internal::facts()); }

std::string getProcessModulePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            throw TdsError<std::runtime_error>("GetModuleFileName(NULL) failed",
                                               TDS_HERE("SysInfo::getProcessModulePath"));
        // A path that fills the buffer completely may have been cut.
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string getTempDir() {
    std::vector<char> buffer(MAX_PATH);
    DWORD n = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n > buffer.size()) {
        buffer.resize(n);
        n = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (n == 0 || n > buffer.size())
        return std::string();
    return FileUtils::stripTrailingSeparators(std::string(buffer.data(), n));
}

std::string getCommonAppDataDir() {
    return shellFolder(CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, "GetAppDataDir",
                       "SHGetFolderPath(CSIDL_COMMON_APPDATA) failed", "SysInfo::getCommonAppDataDir");
}

std::string getSystem32Dir() {
    return shellFolder(CSIDL_SYSTEM, "GetSystem32Dir", "SHGetFolderPath(CSIDL_SYSTEM) failed",
                       "SysInfo::getSystem32Dir");
}

std::string getWindowsDir() {
    return shellFolder(CSIDL_WINDOWS, "getWindowsDir", "SHGetFolderPath(CSIDL_WINDOWS) failed",
                       "SysInfo::getWindowsDir");
}

std::string getProgramFilesCommonX86Dir() {
    const int csidl = isNativeAmd64() ? CSIDL_PROGRAM_FILES_COMMONX86 : CSIDL_PROGRAM_FILES_COMMON;
    return shellFolder(csidl | CSIDL_FLAG_CREATE, "GetProgramFilesCommonX86Dir",
                       "SHGetFolderPath(CSIDL_PROGRAM_FILES_COMMONX86) failed",
                       "SysInfo::getProgramFilesCommonX86Dir");
}

}  // namespace SysInfo
