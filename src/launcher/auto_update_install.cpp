#include "launcher/auto_update_install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "au/config.h"
#include "au/schedule.h"
#include "foundation/executor.h"
#include "foundation/logger.h"
#include "foundation/shell_utils.h"
#include "foundation/sys_info.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "foundation/version_split.h"
#include "launcher/msi_package.h"
#include "launcher/product_version.h"

namespace {

const char kAutoUpdateKey[] = "SOFTWARE\\TolvaSoft\\Auto Update";
const char kOldAUProductCode[] = "{5C19E2A7-3B8D-4F61-9A2E-7D4B0C8E1F35}";
const int kAutoUpdateResourceId = 105;
const char kPackageType[] = "TOLVA_INSTALLER";

// Four dot-separated numbers; missing ones count as 0.
void parseFour(const char* text, long out[4]) {
    out[0] = out[1] = out[2] = out[3] = 0;
    if (text)
        sscanf(text, "%ld.%ld.%ld.%ld", &out[0], &out[1], &out[2], &out[3]);
}

// -1, 0 or 1 for installed against packaged; false when none is installed.
bool compareInstalledWithPackaged(int* order) {
    char installed[2048];
    if (!GetInstalledAUVersion(installed, sizeof installed))
        return false;
    long a[4], b[4];
    parseFour(installed, a);
    parseFour(kPackagedAUVersion, b);
    *order = 0;
    for (int i = 0; i < 4 && *order == 0; ++i)
        *order = a[i] < b[i] ? -1 : (a[i] > b[i] ? 1 : 0);
    return true;
}

// A restart that the installer asks for is a success all the same.
bool isInstallSuccess(DWORD code) { return code == 0 || code == 3010 || code == 1641; }

bool createFolder(const std::string& path, const char* failureText) {
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        TDS_LOG_INFO("ExtractAndInstallAutoUpdate", "%s", failureText);
        return false;
    }
    return true;
}

}  // namespace

bool GetInstalledAUVersion(char* buffer, size_t capacity) {
    if (!buffer || capacity == 0)
        return false;
    buffer[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAutoUpdateKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    const LONG result = RegQueryValueExA(key, "AUVersion", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // The text must end inside the buffer, whether or not it was stored with its NUL.
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 ||
        (size >= capacity && buffer[capacity - 1] != '\0')) {
        buffer[0] = '\0';
        return false;
    }
    buffer[size < capacity ? size : capacity - 1] = '\0';
    return buffer[0] != '\0';
}

bool IsAUUpgradable() {
    int order = 0;
    if (!compareInstalledWithPackaged(&order))
        return true;
    return order < 0;
}

bool IsInstalledAUOlder() {
    int order = 0;
    return compareInstalledWithPackaged(&order) && order < 0;
}

int CompareVersionStrings(const char* a, const char* b) {
    char am[64], an[64], ac[64], au[64], bm[64], bn[64], bc[64], bu[64];
    SplitVersionString(a, am, an, ac, au, sizeof am);
    SplitVersionString(b, bm, bn, bc, bu, sizeof bm);
    const char* left[] = {am, an, ac};
    const char* right[] = {bm, bn, bc};
    for (int i = 0; i < 3; ++i) {
        const long x = strtol(left[i], nullptr, 10);
        const long y = strtol(right[i], nullptr, 10);
        if (x != y)
            return x > y ? 1 : -1;
    }
    const int c = strcmp(au, bu);
    return c > 0 ? 1 : (c < 0 ? -1 : 0);
}

bool IsAUOlderThanVindel8() {
    char installed[2048];
    if (!GetInstalledAUVersion(installed, sizeof installed)) {
        TDS_LOG_INFO("IsAUOlderThanVindel8", "Failed to determine AU version. Most probably there is no AU installed");
        return false;
    }
    return CompareVersionStrings(installed, kAUFamilyVersion) == -1;
}

void UninstallOldAU(const char* msiexecPath) {
    char commandLine[2048];
    const int n = snprintf(commandLine, sizeof commandLine, "\"%s\" /x %s /qn", msiexecPath, kOldAUProductCode);
    if (n < 0 || static_cast<size_t>(n) >= sizeof commandLine)
        return;
    Executor::ExecProcessWithAtlMessageLoop(msiexecPath, commandLine, 0, nullptr);
}

std::string GetRegistrationToolPath() {
    return SysInfo::getProgramFilesCommonX86Dir() + "\\Tolva\\Tolva Update\\taureg.exe";
}

int InstallAutoUpdate(bool oemUpdate, const char* packagePath, bool autoUpdateEnabled) {
    char msiexecPath[MAX_PATH];
    if (!GetMsiexecPath(msiexecPath, sizeof msiexecPath)) {
        TDS_LOG_INFO("InstallAutoUpdate", "Error: InstallAutoUpdate(), couldn't find WIPath");
        return -3;
    }
    if (!IsAUUpgradable()) {
        TDS_LOG_INFO("InstallAutoUpdate", "AU is not upgradable - Installed version >= the bundled version.\n");
        return -2;
    }

    const bool hadOlder = IsInstalledAUOlder();
    au::Schedule schedule;
    int32_t notifyType = 0;
    bool haveSchedule = false;
    if (hadOlder) {
        try {
            au::Config config(IsAUOlderThanVindel8() ? 0 : 1);
            config.getSchedule(schedule, &haveSchedule);
            notifyType = config.getNotifyType();
        } catch (const std::exception& e) {
            TDS_LOG_EXCEPTION("InstallAutoUpdate", e);
            haveSchedule = false;
        }
        if (!haveSchedule)
            TDS_LOG_WARNING("InstallAutoUpdate", "Failed to get existing AU schedule setting.");
    }
    if (IsInstalledAUOlder())
        UninstallOldAU(msiexecPath);

    char commandLine[2048];
    int n;
    if (oemUpdate) {
        n = snprintf(commandLine, sizeof commandLine, "\"%s\" /i \"%s\" ALLUSERS=1 OEMUPDATE=1 /qn", msiexecPath,
                     packagePath);
    } else if (autoUpdateEnabled) {
        TDS_LOG_INFO("InstallAutoUpdate", "Auto Update is enabled");
        n = snprintf(commandLine, sizeof commandLine, "\"%s\" /i \"%s\" ALLUSERS=1 /qn", msiexecPath, packagePath);
    } else {
        TDS_LOG_INFO("InstallAutoUpdate", "Auto Update is disabled via configuration settings");
        n = snprintf(commandLine, sizeof commandLine, "\"%s\" /i \"%s\"DISABLE=1 ALLUSERS=1 /qn", msiexecPath,
                     packagePath);
    }
    if (n < 0 || static_cast<size_t>(n) >= sizeof commandLine) {
        TDS_LOG_ERROR("InstallAutoUpdate", "The auto-update command line for %s does not fit %d characters",
                      packagePath, static_cast<int>(sizeof commandLine));
        return -1;
    }
    const DWORD code = Executor::ExecProcessWithAtlMessageLoop(msiexecPath, commandLine, 0, nullptr);
    if (!isInstallSuccess(code)) {
        TDS_LOG_INFO("InstallAutoUpdate", "Auto Update install failed");
        return static_cast<int>(code);
    }

    if (hadOlder) {
        try {
            au::Config config(1);
            if (haveSchedule)
                config.setSchedule(schedule);
            config.setNotifyType(notifyType);
        } catch (const std::exception& e) {
            TDS_LOG_EXCEPTION("InstallAutoUpdate", e);
        } catch (...) {
            TDS_LOG_UNKNOWN_EXCEPTION("InstallAutoUpdate");
        }
    }

    try {
        const std::string tool = GetRegistrationToolPath();
        const std::string arguments = tstrings::format(" -r kessa %s", kFullVersion);
        const DWORD registered = Executor::ExecProcessWaitForFinish(tool, arguments, 1, INFINITE, nullptr);
        if (registered != 0)
            return -3;
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("InstallAutoUpdate", e);
        return -4;
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("InstallAutoUpdate");
        return -4;
    }
    return 0;
}

int ExtractAndInstallAutoUpdate(HMODULE module, bool oemUpdate, bool autoUpdateEnabled) {
    char userData[MAX_PATH];
    if (!GetAppDataLowDir(userData)) {
        TDS_LOG_INFO("ExtractAndInstallAutoUpdate", "%s", "Can not create the Quorvane directory to extract installer files. \n");
        return -1;
    }
    const std::string quorvane = std::string(userData) + "\\Quorvane\\";
    const std::string tolva = quorvane + "Tolva\\";
    const std::string au = tolva + "AU\\";
    if (!createFolder(quorvane, "Can not create the Quorvane directory to extract installer files. \n") ||
        !createFolder(tolva, "Can not create the Tolva directory to extract installer files. \n") ||
        !createFolder(au, "Can not create the AU directory to extract installer files. \n"))
        return -1;
    const std::string package = au + "au.msi";
    // The runtime is installed by now: a failed write must not end the run.
    const int written = TryExtractResourceToFile(module, kAutoUpdateResourceId, kPackageType, package.c_str());
    if (written == 0)
        return -5;
    if (written < 0)
        return -1;
    return InstallAutoUpdate(oemUpdate, package.c_str(), autoUpdateEnabled);
}
