#include "launcher/user_registry_flags.h"

#include <windows.h>

#include <cstring>

#include "launcher/registry_text.h"

bool TakeFIUCancel() {
    HKEY flag = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TolvaSoft\\FIUCancel", 0, 0x2001F, &flag) != ERROR_SUCCESS)
        return false;
    RegCloseKey(flag);
    HKEY vendor = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\TolvaSoft", 0, KEY_ALL_ACCESS, &vendor) == ERROR_SUCCESS) {
        typedef LONG(WINAPI * DeleteKeyExFn)(HKEY, LPCSTR, REGSAM, DWORD);
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        auto deleteKeyEx = advapi ? reinterpret_cast<DeleteKeyExFn>(
                                        reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExA")))
                                  : nullptr;
        if (deleteKeyEx)
            deleteKeyEx(vendor, "FIUCancel", 0, 0);
        else
            RegDeleteKeyA(vendor, "FIUCancel");
        RegCloseKey(vendor);
    }
    return true;
}

bool IsRunOnceRetryPending() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\MicroSoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return false;
    char value[1024] = {};
    DWORD size = sizeof value;
    const LONG r = queryTextValue(key, "TolvaInstallRetry", value, &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && strstr(value, "KessaRunOnce.exe") == nullptr;
}
