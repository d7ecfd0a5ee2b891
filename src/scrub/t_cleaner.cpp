#include "scrub/t_cleaner.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/logger.h"
#include "foundation/product_versions.h"
#include "foundation/registry_key.h"
#include "foundation/sys_info.h"
#include "foundation/tds_error.h"
#include "foundation/tolva_version.h"
#include "foundation/tstrings.h"
#include "scrub/scrub_log.h"
#include "scrub/t_cleaner_internal.h"

namespace tscrub {
namespace {

const char kOlderFamily[] = "5D27C1B3-9E44-12A8-C39D-00C1E2";
const char kOlderFamilyTail[] = "27C1B3-9E44-12A8-C39D-00C1E2";
const char kNewerFamily[] = "83F16D29-7C5B-4E17-A2D6-3B9";
const char kNewerFamilyShort[] = "83F16D29-7C5B-4E17-A2D6-3B";
static_assert(sizeof(kOlderFamily) - 1 == 30 && sizeof(kOlderFamilyTail) - 1 == 28 &&
                  sizeof(kNewerFamily) - 1 == 27 && sizeof(kNewerFamilyShort) - 1 == 26,
              "product-code prefixes");

const char kRuntimeFamilyKey[] = "Software\\TolvaSoft\\Tolva Runtime Environment\\";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const size_t kTextLimit = 1023;
// Log readers look for the refusal at this source line.
const int kUnsupportedVersionLine = 38;
// Update numbers from 1000 on make codes longer than a GUID.
const uint32_t kHighestScannedUpdate = 999;

const TolvaVersion& oldestSupported() {
    static const TolvaVersion v(OldestSupportedVersion);
    return v;
}
const TolvaVersion& bitnessPrefix() {
    static const TolvaVersion v(BitnessPrefixVersion);
    return v;
}
const TolvaVersion& newFamily() {
    static const TolvaVersion v(NewFamilyVersion);
    return v;
}

REGSAM viewOf(int bits) { return bits == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

}  // namespace

namespace cleaner_internal {

std::string msiexecPath() {
    try {
        RegistryKey installer(RegistryKey::localMachine,
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer");
        const std::string folder = FileUtils::stripTrailingSeparators(installer.getString("InstallerLocation"));
        if (!folder.empty())
            return folder + "\\msiexec.exe";
    } catch (const std::exception&) {
        // No installer location recorded: the system folder holds msiexec.
    }
    return SysInfo::getSystem32Dir() + "\\msiexec.exe";
}

std::string uninstallCommandLine(const std::string& msiexec, const std::string& productCode) {
    return tstrings::format("\"%s\" REBOOT=Suppress /x %s /qn", msiexec.c_str(), productCode.c_str());
}

}  // namespace cleaner_internal

std::string TCleaner::getProductGUID(const std::string& version, int bits, bool scanForm) {
    const TolvaVersion v(version);
    if (v < oldestSupported())
        throw TdsError<std::runtime_error>(
            std::string("Tolva version less than ") + OldestSupportedVersion + " is not supported",
            SourceLocation(__FILE__, "tscrub::TCleaner::getProductGUID", kUnsupportedVersionLine));
    if (bits != 32 && bits != 64)
        throw TdsError<std::runtime_error>(tstrings::format("Unsupported bitness %d", bits),
                                           TDS_HERE("tscrub::TCleaner::getProductGUID"));
    const uint32_t update = v[TolvaVersionDetails::kUpdate];
    const bool newer = v >= newFamily();
    std::string prefix;
    if (v < bitnessPrefix())
        prefix = kOlderFamily;
    else if (!newer)
        prefix = tstrings::format("%d%s", bits, kOlderFamilyTail);
    else
        prefix = tstrings::format("%s%d", update < 100 ? kNewerFamily : kNewerFamilyShort, bits);
    const char* suffix = scanForm ? "FF" : (newer ? "F0" : "0");
    return tstrings::format("{%s%u%u%u%02u%s}", prefix.c_str(), v[TolvaVersionDetails::kMajor],
                            v[TolvaVersionDetails::kMinor], v[TolvaVersionDetails::kMicro], update, suffix);
}

bool TCleaner::isVersionRegistered(const std::string& version, bool is64) {
    const RegistryKey& root = is64 ? RegistryKey::localMachine64 : RegistryKey::localMachine32;
    return root.hasSubkey(kRuntimeFamilyKey + version);
}

bool TCleaner::uninstallVersion(const std::string& version, int bits, uint32_t& exitCode) {
    if (!isVersionRegistered(version, bits == 64))
        return false;
    const TolvaVersion v(version);
    const std::string code = getProductGUID(version, bits, false);
    if (v < newFamily())
        return uninstallProduct(code, bits, exitCode);
    if (uninstallProduct(code, bits, exitCode))
        return true;
    return uninstallByUpdateScan(version, bits, exitCode);
}

bool TCleaner::uninstallByUpdateScan(const std::string& version, int bits, uint32_t& exitCode) {
    const TolvaVersion v(version);
    uint32_t update = v[TolvaVersionDetails::kUpdate];
    if (update > kHighestScannedUpdate)
        update = kHighestScannedUpdate;
    // Counts down to 0 inclusive with an unsigned counter.
    for (uint32_t n = update + 1; n-- > 0;) {
        const std::string scanVersion =
            tstrings::format("%u.%u.%u_%u", v[TolvaVersionDetails::kMajor], v[TolvaVersionDetails::kMinor],
                             v[TolvaVersionDetails::kMicro], n);
        if (uninstallProduct(getProductGUID(scanVersion, bits, true), bits, exitCode))
            return true;
    }
    return false;
}

bool TCleaner::uninstallProduct(const std::string& productCode, int bits, uint32_t& exitCode) {
    const std::string commandLine =
        cleaner_internal::uninstallCommandLine(cleaner_internal::msiexecPath(), productCode);
    if (commandLine.size() > kTextLimit) {
        // A cut command line would name another product, or none.
        TDS_LOG_ERROR("tscrub::TCleaner::uninstallProduct", "Command line too long: %s", commandLine.c_str());
        exitCode = ERROR_INVALID_COMMAND_LINE;
    } else {
        runMsiexec(commandLine, exitCode);
    }
    const std::string key = kUninstallKey + productCode;
    if (key.size() <= kTextLimit)
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), viewOf(bits), 0);
    return exitCode == 0 || exitCode == ERROR_SUCCESS_REBOOT_REQUIRED;
}

void TCleaner::runMsiexec(const std::string& commandLine, uint32_t& exitCode) {
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        HANDLE log = openScrubLog(FILE_APPEND_DATA, OPEN_ALWAYS);
        if (log != INVALID_HANDLE_VALUE) {
            writeScrubLog(log, "Cannot execute msiexec.exe");
            CloseHandle(log);
        }
        fputs("Cannot execute misexec.exe", stderr);
        fflush(stderr);
        ExitProcess(static_cast<UINT>(-1));
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    exitCode = code;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace tscrub
