#include "launcher/policy_registry.h"

#include <cstring>

#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "launcher/registry_text.h"

const char kPolicyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Update\\Policy";

bool SetPolicyValue(HKEY key, const char* name, const char* text) {
    HKEY own = nullptr;
    if (!key) {
        const LONG r = text ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                              &own, nullptr)
                            : RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, 0x2001F, &own);
        if (r != ERROR_SUCCESS)
            return false;
        key = own;
    }
    const LONG r = text ? RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                         static_cast<DWORD>(strlen(text)))
                        : RegDeleteValueA(key, name);
    if (own)
        RegCloseKey(own);
    return r == ERROR_SUCCESS;
}

bool GetPolicyValue(HKEY key, const char* name, char* buffer, DWORD* sizeInOut) {
    HKEY own = nullptr;
    if (!key) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &own) != ERROR_SUCCESS)
            return false;
        key = own;
    }
    const LONG r = queryTextValue(key, name, buffer, sizeInOut);
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND)
        TDS_LOG_ERROR("GetPolicyValue", "RegQueryValueEx(%s): Error:%ld, ErrorCode:%lu\n", name, r,
                      static_cast<unsigned long>(GetLastError()));
    if (own)
        RegCloseKey(own);
    return r == ERROR_SUCCESS;
}
