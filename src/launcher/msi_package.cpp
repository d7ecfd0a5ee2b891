#include "launcher/msi_package.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "config/install_config_data.h"
#include "foundation/executor.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/shell_utils.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"
#include "launcher/msi_package_internal.h"
#include "launcher/policy_registry.h"
#include "launcher/product_identity.h"

namespace {

const DWORD kChunk = 8192;

std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)>& writeHook() {
    static std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> hook;
    return hook;
}

std::function<bool(char*)>& userDataFolderHook() {
    static std::function<bool(char*)> hook;
    return hook;
}

BOOL writeChunk(HANDLE file, const void* data, DWORD size, DWORD* written) {
    if (writeHook())
        return writeHook()(file, data, size, written);
    return WriteFile(file, data, size, written, nullptr);
}

// Appends "\msiexec.exe" when it fits with the text's NUL.
int appendMsiexec(char* buffer, size_t capacity) {
    const char kName[] = "\\msiexec.exe";
    const size_t used = strnlen(buffer, capacity);
    if (used >= capacity || used + sizeof kName > capacity) {
        buffer[0] = '\0';
        return 0;
    }
    memcpy(buffer + used, kName, sizeof kName);
    return 1;
}

}  // namespace

namespace msi_package_internal {
void setWriteHookForTesting(std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> hook) {
    writeHook() = std::move(hook);
}
void setUserDataFolderForTesting(std::function<bool(char*)> folder) { userDataFolderHook() = std::move(folder); }
}  // namespace msi_package_internal

int GetMsiexecPath(char* buffer, size_t capacity) {
    if (!buffer || capacity == 0)
        return 0;
    buffer[0] = '\0';
    if (SysInfo::getWindowsVersion() == 1 && SysInfo::isServer()) {
        const UINT n = GetSystemDirectoryA(buffer, static_cast<UINT>(capacity));
        if (n == 0 || n >= capacity) {
            buffer[0] = '\0';
            return 0;
        }
        return appendMsiexec(buffer, capacity);
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    const LONG r = RegQueryValueExA(key, "InstallerLocation", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        buffer[0] = '\0';
        return 0;
    }
    // A value stored without its NUL gets one when there is room.
    if (size < capacity)
        buffer[size] = '\0';
    return appendMsiexec(buffer, capacity);
}

bool GetMsiFilePath(char* buffer, bool is64Bit) {
    if (!buffer)
        return false;
    buffer[0] = '\0';
    char base[MAX_PATH] = {};
    if (!(userDataFolderHook() ? userDataFolderHook()(base) : GetAppDataLowDir(base))) {
        TDS_LOG_ERROR("GetMsiFilePath", "GetMsiFilePath: the user data folder for the package was not found");
        return false;
    }
    std::string folder = base;
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\Brask\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "Tolva\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += std::string(GetProductKind()) + GetCurrentRuntimeVersion() + (is64Bit ? "_x64" : "");
    CreateDirectoryA(folder.c_str(), nullptr);
    const int n = snprintf(buffer, MAX_PATH, "%s\\%s%s.msi", folder.c_str(), GetProductKind(),
                           GetCurrentRuntimeVersion());
    if (n < 0 || n >= MAX_PATH) {
        TDS_LOG_ERROR("GetMsiFilePath", "GetMsiFilePath: package path under %s does not fit %d characters",
                      folder.c_str(), MAX_PATH);
        buffer[0] = '\0';
        return false;
    }
    return true;
}

namespace {

// Writes the resource to path: 1 written, 0 missing, -1 a file failure whose
// operation text goes to *failedOperation (the last error is kept for it).
int writeResource(HMODULE module, int id, const char* type, const char* path, const char** failedOperation) {
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!resource)
        return 0;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const BYTE* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes && size > 0)
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *failedOperation = "Installer : Wrapper.CreateFile ";
        return -1;
    }
    DWORD done = 0;
    while (done < size) {
        const DWORD chunk = size - done < kChunk ? size - done : kChunk;
        DWORD written = 0;
        // A write may take fewer bytes than offered: go on from where it ended.
        if (!writeChunk(file, bytes + done, chunk, &written) || written == 0 || written > chunk) {
            const DWORD error = GetLastError();
            CloseHandle(file);
            // A cut package (a full disk) must not stay behind as if it were one.
            DeleteFileA(path);
            SetLastError(error != 0 ? error : ERROR_WRITE_FAULT);
            *failedOperation = "Installer : Wrapper.WriteFile (In small chunks) ";
            return -1;
        }
        done += written;
    }
    if (!CloseHandle(file)) {
        const DWORD error = GetLastError();
        DeleteFileA(path);
        SetLastError(error != 0 ? error : ERROR_WRITE_FAULT);
        *failedOperation = "Installer : Wrapper.CloseHandle ";
        return -1;
    }
    return 1;
}

}  // namespace

int ExtractResourceToFile(HMODULE module, int id, const char* type, const char* path) {
    const char* failed = nullptr;
    const int result = writeResource(module, id, type, path, &failed);
    if (result < 0)
        ShowWin32ErrorAndExit(failed);
    return result;
}

int TryExtractResourceToFile(HMODULE module, int id, const char* type, const char* path) {
    const char* failed = nullptr;
    const int result = writeResource(module, id, type, path, &failed);
    if (result < 0) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("TryExtractResourceToFile", "%s failed with %s", (std::string(failed) + path).c_str(),
                      formatSystemError(error).c_str());
    }
    return result;
}

void ShowWin32ErrorAndExit(const char* text) {
    const DWORD code = GetLastError();
    char* systemText = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&systemText), 0,
                   nullptr);
    const std::string message = tstrings::format("%s failed with error %d: %s", text ? text : "",
                                                 static_cast<int>(code), systemText ? systemText : "");
    if (systemText)
        LocalFree(systemText);
    TDS_LOG_ERROR("ShowWin32ErrorAndExit", "%s", message.c_str());
    // A silent run may have nobody to click the box (a deployment tool, a
    // service account): it would wait forever, so the log line must do.
    if (!IsSilentInstall())
        MessageBoxA(nullptr, message.c_str(), "Error", MB_OK);
    ExitProcess(code);
}

bool AppendInstallDirProperty(char* commandLine, size_t capacity, const char* folder) {
    if (!folder)
        return true;
    if (!commandLine || capacity == 0)
        return false;
    const size_t length = strlen(folder);
    const bool quoted = length >= 2 && folder[0] == '"' && strrchr(folder, '"') == folder + length - 1;
    char property[2048];
    const int n = snprintf(property, sizeof property, quoted ? " INSTALLDIR=%s " : " INSTALLDIR=\"%s\" ", folder);
    const size_t used = strnlen(commandLine, capacity);
    if (n < 0 || static_cast<size_t>(n) >= sizeof property || used + static_cast<size_t>(n) >= capacity) {
        TDS_LOG_ERROR("AppendInstallDirProperty", "The install folder %s does not fit the command line of %d characters",
                      folder, static_cast<int>(capacity));
        return false;
    }
    memcpy(commandLine + used, property, static_cast<size_t>(n) + 1);
    return true;
}

int RunMsiInstall(const char* msiexecPath, const char* commandLine) {
    SetPolicyValue(nullptr, "PostStatusUrl", nullptr);
    const DWORD code = Executor::ExecProcessWithAtlMessageLoop(msiexecPath ? msiexecPath : "",
                                                                commandLine ? commandLine : "", 0, nullptr);
    return static_cast<int>(code);
}
