#include "foundation/shell_utils.h"

#include <shlobj.h>

#include <cstdio>
#include <string>

#include "foundation/logger.h"
#include "foundation/shell_utils_internal.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"

namespace {

// The log lines of the loader are formatted into 2048 bytes.
void logLoaderError(const char* function, const std::string& message) {
    TDS_LOG_ERROR(function, "%s", message.substr(0, 2047).c_str());
}

// {A520A1A4-1780-4FF6-BD18-167343C5AF16}
const GUID kFolderIdLocalAppDataLow = {
    0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};

}  // namespace

HMODULE Kessa_System_LoadLibrary(const char* fileName) {
    if (!fileName || !*fileName)
        return nullptr;
    char systemDir[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(systemDir, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        logLoaderError("Kessa_System_LoadLibrary",
                       tstrings::format("GetSystemDirectory failed.  Return Code: %d, ErrorCode: %d",
                                        static_cast<int>(length), static_cast<int>(GetLastError())));
        return nullptr;
    }
    char path[MAX_PATH] = {};
    const int n = snprintf(path, sizeof path, "%s\\%s", systemDir, fileName);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
        logLoaderError("Kessa_System_LoadLibrary",
                       tstrings::format("_snprintf failed.  ErrorCode: %d", static_cast<int>(GetLastError())));
        return nullptr;
    }
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        const DWORD error = GetLastError();
        logLoaderError("Kessa_System_LoadLibrary",
                       tstrings::format("LoadLibrary(%s) failed.  ErrorCode: %d", path, static_cast<int>(error)));
    }
    return module;
}

namespace shell_utils_internal {

bool appDataLowDir(char* buffer, int osClass, const char* libraryName, const char* functionName) {
    if (!buffer)
        return false;
    buffer[0] = '\0';
    if (osClass < 2) {
        char path[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
            return false;
        lstrcpynA(buffer, path, MAX_PATH);
        return true;
    }
    typedef HRESULT(WINAPI * KnownFolderPathFn)(REFGUID, DWORD, HANDLE, PWSTR*);
    HMODULE shell = Kessa_System_LoadLibrary(libraryName);
    if (!shell)
        return false;
    bool ok = false;
    auto fn = reinterpret_cast<KnownFolderPathFn>(
        reinterpret_cast<void*>(GetProcAddress(shell, functionName)));
    if (fn) {
        PWSTR wide = nullptr;
        if (SUCCEEDED(fn(kFolderIdLocalAppDataLow, 0, nullptr, &wide)) && wide) {
            char path[MAX_PATH] = {};
            const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, path, MAX_PATH, nullptr, nullptr);
            if (n > 0) {
                lstrcpynA(buffer, path, MAX_PATH);
                ok = true;
            }
        }
        if (wide)
            CoTaskMemFree(wide);
    }
    FreeLibrary(shell);
    return ok;
}

}  // namespace shell_utils_internal

bool GetAppDataLowDir(char* buffer) {
    return shell_utils_internal::appDataLowDir(buffer, SysInfo::getWindowsVersion(), "shell32.dll",
                                               "SHGetKnownFolderPath");
}
