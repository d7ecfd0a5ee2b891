#include "launcher/runtime_registry.h"

#include <cstring>

#include "foundation/logger.h"
#include "foundation/sys_info.h"
#include "foundation/tstrings.h"
#include "launcher/product_identity.h"

bool GetPreviousKessaVersion(char* buffer) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    char best[128] = {};
    char name[128] = {};
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        if (strlen(name) > 3 && strcmp(name, GetCurrentRuntimeVersion()) != 0 &&
            (best[0] == '\0' || lstrcmpiA(name, best) > 0))
            lstrcpynA(best, name, sizeof best);
    }
    RegCloseKey(key);
    if (best[0] == '\0' || !buffer)
        return false;
    lstrcpynA(buffer, best, 128);
    return true;
}

int GetRegValueOfStringType(const char* name, char* buffer, const char* keyPath, DWORD* sizeInOut) {
    const char* fn = "GetRegValueOfStringType";
    HKEY key = nullptr;
    LONG r = ERROR_FILE_NOT_FOUND;
    if (SysInfo::isNativeAmd64())
        r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | KEY_WOW64_64KEY, &key);
    if (r != ERROR_SUCCESS) {
        TDS_LOG_ERROR(fn, "Error Opening RegKey at 64 bit loaction: %ld", r);
        r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | KEY_WOW64_32KEY, &key);
        if (r != ERROR_SUCCESS) {
            TDS_LOG_ERROR(fn, "Error Opening RegKey at 32 or 64 bit loaction: %ld", r);
            return 0;
        }
    }
    DWORD type = 0;
    r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), sizeInOut);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        TDS_LOG_ERROR(fn, "Registry Value not found: %ld", r);
        return 0;
    }
    if (type != REG_SZ) {
        TDS_LOG_ERROR(fn, "Registry Value not of type REG_SZ: %lu", static_cast<unsigned long>(type));
        return 0;
    }
    return 1;
}
