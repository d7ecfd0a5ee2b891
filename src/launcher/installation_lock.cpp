#include "launcher/installation_lock.h"

#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "foundation/logger.h"
#include "foundation/shell_utils.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"
#include "launcher/installation_lock_internal.h"

namespace {

const size_t kPathCapacity = MAX_PATH;

HANDLE gLock = INVALID_HANDLE_VALUE;

// The per-user low-integrity local data folder; before Vista the roaming
// application-data folder.
bool systemUserDataFolder(char* buffer) { return GetAppDataLowDir(buffer); }

installation_lock_internal::UserDataFolderFn gUserDataFolder = systemUserDataFolder;

// Appends part (PathAppendA) and creates the folder; false on failure.
bool appendAndCreate(char* path, const char* part) {
    if (!PathAppendA(path, part))
        return false;
    if (!CreateDirectoryA(path, nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            TDS_LOG_INFO("GetInstallationFlagPath", "Fail to create directory %s, ErrorCode is %d", path,
                         static_cast<int>(error));
            return false;
        }
    }
    return true;
}

}  // namespace

namespace installation_lock_internal {
void setUserDataFolderForTesting(UserDataFolderFn function) {
    gUserDataFolder = function ? function : systemUserDataFolder;
}
}  // namespace installation_lock_internal

int GetInstallationFlagPath(char* buffer, size_t capacity) {
    if (!buffer || capacity < kPathCapacity) {
        TDS_LOG_INFO("GetInstallationFlagPath",
                     "Input flag name buffer size should be MAX_PATH to ensure that it is large enough to hold "
                     "the returned string.");
        return 0;
    }
    char path[kPathCapacity] = {};
    if (!gUserDataFolder(path))
        return 0;
    path[kPathCapacity - 1] = '\0';
    if (!appendAndCreate(path, "Brask\\") || !appendAndCreate(path, "Tolva\\"))
        return 0;
    if (!PathAppendA(path, "TOLVA_INSTALL_FLAG"))
        return 0;
    memcpy(buffer, path, strlen(path) + 1);
    return 1;
}

bool IsAnotherInstallationInProgress() {
    char path[kPathCapacity] = {};
    if (!GetInstallationFlagPath(path, sizeof(path))) {
        TDS_LOG_INFO("IsAnotherInstallationInProgress", "Fail to get the file path for Tolva install flag ");
        return false;
    }
    if (DeleteFileA(path))
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

int SetInstallationFlag() {
    if (gLock != INVALID_HANDLE_VALUE)
        return 1;
    char path[kPathCapacity] = {};
    if (!GetInstallationFlagPath(path, sizeof(path))) {
        TDS_LOG_INFO("SetInstallationFlag", "Fail to get the file path for Tolva install flag ");
        return 0;
    }
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        TDS_LOG_INFO("SetInstallationFlag", "Fail to set installation flag, ErrorCode is %d", static_cast<int>(error));
        return 0;
    }
    gLock = file;
    return 1;
}

void CloseInstallationFlag() {
    if (gLock != INVALID_HANDLE_VALUE) {
        CloseHandle(gLock);
        gLock = INVALID_HANDLE_VALUE;
    }
}
