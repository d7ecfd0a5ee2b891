#include "launcher/vendor_registry.h"

#include <cstdio>
#include <cstring>

#include "foundation/handle_release.h"
#include "foundation/logger.h"
#include "foundation/tstrings.h"

const char kTolvaSoftKey[] = "SOFTWARE\\TolvaSoft";

namespace {

bool subkeyPath(char* out, size_t size, const char* name) {
    const int n = snprintf(out, size, "%s\\%s", kTolvaSoftKey, name);
    return n > 0 && static_cast<size_t>(n) < size;
}

}  // namespace

bool GetTolvaSoftRegValue(const char* name, char* buffer, size_t capacity) {
    if (!buffer || capacity == 0)
        return false;
    buffer[0] = '\0';
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTolvaSoftKey, 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return false;
    ScopedRegKey key(raw);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    const LONG r = RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 ||
        buffer[size - 1] != '\0' || buffer[0] == '\0') {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool SetTolvaSoftRegValue(const char* text, const char* name) {
    HKEY raw = nullptr;
    LONG r = text ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTolvaSoftKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw,
                                    nullptr)
                  : RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTolvaSoftKey, 0, KEY_ALL_ACCESS, &raw);
    if (r != ERROR_SUCCESS)
        return false;
    ScopedRegKey key(raw);
    if (text) {
        RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1));
        return true;
    }
    RegDeleteValueA(key.get(), name);
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0) {
        key.reset();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTolvaSoftKey);
    }
    return true;
}

int SetInstallStatus(const char* status) {
    SetTolvaSoftRegValue(status, "InstallStatus");
    return 1;
}

LONG DeleteTolvaSoftValue(const char* name) {
    HKEY key = nullptr;
    const LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTolvaSoftKey, 0, KEY_WRITE, &key);
    if (r != ERROR_SUCCESS)
        return r;
    RegDeleteValueA(key, name);
    return RegCloseKey(key);
}

LONG CreateTolvaSoftSubkey(const char* name) {
    char path[MAX_PATH];
    if (!name || !subkeyPath(path, sizeof path, name))
        return ERROR_INSTALL_FAILURE;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, 0x2001F, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

LONG DeleteTolvaSoftSubkey(const char* name) {
    char path[MAX_PATH];
    if (!name || !subkeyPath(path, sizeof path, name))
        return ERROR_INVALID_PARAMETER;
    HKEY sub = nullptr;
    LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &sub);
    if (r != ERROR_SUCCESS)
        return r;
    RegCloseKey(sub);
    HKEY vendor = nullptr;
    r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTolvaSoftKey, 0, KEY_ALL_ACCESS, &vendor);
    if (r != ERROR_SUCCESS)
        return r;
    r = RegDeleteKeyA(vendor, name);
    RegCloseKey(vendor);
    return r;
}

LONG ClearMSIStatus() {
    const char* fn = "ClearMSIStatus";
    HKEY key = nullptr;
    const LONG open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTolvaSoftKey, 0, KEY_ALL_ACCESS, &key);
    if (open == ERROR_FILE_NOT_FOUND) {
        TDS_LOG_INFO(fn, "%s", "Could not find HKEY_LOCAL_MACHINE, SOFTWARE\\TolvaSoft registry key.");
        return ERROR_SUCCESS;
    }
    if (open != ERROR_SUCCESS) {
        TDS_LOG_ERROR(fn, "%s", "Could not open HKEY_LOCAL_MACHINE, SOFTWARE\\TolvaSoft registry key.");
        return open;
    }
    LONG results[2] = {ERROR_SUCCESS, ERROR_SUCCESS};
    const char* names[2] = {"MSIStatusError", "MSIStatusExtendedError"};
    for (int i = 0; i < 2; ++i) {
        DWORD value = 0;
        DWORD size = sizeof value;
        const LONG q = RegQueryValueExA(key, names[i], nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        if (q == ERROR_SUCCESS || q == ERROR_MORE_DATA) {
            results[i] = RegDeleteValueA(key, names[i]);
            if (results[i] != ERROR_SUCCESS)
                TDS_LOG_ERROR(fn, "Could not delete %s registry value.", names[i]);
        } else if (q != ERROR_FILE_NOT_FOUND) {
            results[i] = q;
        }
    }
    const LONG close = RegCloseKey(key);
    return results[0] != ERROR_SUCCESS ? results[0] : results[1] != ERROR_SUCCESS ? results[1] : close;
}

LONG GetMSIStatus(DWORD* errorOut, DWORD* extendedOut) {
    const char* fn = "GetMSIStatus";
    HKEY key = nullptr;
    const LONG open = RegOpenKeyA(HKEY_LOCAL_MACHINE, kTolvaSoftKey, &key);
    if (open != ERROR_SUCCESS) {
        TDS_LOG_ERROR(fn, "%s", "Could not open the registry key.");
        return open;
    }
    DWORD* outs[2] = {errorOut, extendedOut};
    const char* names[2] = {"MSIStatusError", "MSIStatusExtendedError"};
    LONG results[2] = {ERROR_SUCCESS, ERROR_SUCCESS};
    for (int i = 0; i < 2; ++i) {
        DWORD value = 0;
        DWORD size = sizeof value;
        results[i] = RegQueryValueExA(key, names[i], nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        if (results[i] == ERROR_SUCCESS && outs[i])
            *outs[i] = value;
        else if (results[i] != ERROR_SUCCESS)
            TDS_LOG_ERROR(fn, "Could not get %s registry value.", names[i]);
    }
    const LONG close = RegCloseKey(key);
    return results[0] != ERROR_SUCCESS ? results[0] : results[1] != ERROR_SUCCESS ? results[1] : close;
}
