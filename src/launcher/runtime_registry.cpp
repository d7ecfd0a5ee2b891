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

namespace {

// Opens HKLM keyPath for reading where GetRegValueOfStringType looks: the
// 64-bit view first on a 64-bit system, then the 32-bit view. *view gets the
// view flag of the key that opened. logFunction names the caller in the log
// lines of failed opens, or null for none.
LONG openInStringView(const char* keyPath, HKEY* key, REGSAM* view, const char* logFunction) {
    LONG r = ERROR_FILE_NOT_FOUND;
    if (SysInfo::isNativeAmd64()) {
        *view = KEY_WOW64_64KEY;
        r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | *view, key);
    }
    if (r == ERROR_SUCCESS)
        return r;
    if (logFunction)
        TDS_LOG_ERROR(logFunction, "Error Opening RegKey at 64 bit loaction: %ld", r);
    *view = KEY_WOW64_32KEY;
    r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | *view, key);
    if (r != ERROR_SUCCESS && logFunction)
        TDS_LOG_ERROR(logFunction, "Error Opening RegKey at 32 or 64 bit loaction: %ld", r);
    return r;
}

}  // namespace

int GetRegValueOfStringType(const char* name, char* buffer, const char* keyPath, DWORD* sizeInOut) {
    const char* fn = "GetRegValueOfStringType";
    HKEY key = nullptr;
    REGSAM view = 0;
    LONG r = openInStringView(keyPath, &key, &view, fn);
    if (r != ERROR_SUCCESS)
        return 0;
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

LONG DeleteRegValueOfStringType(const char* name, const char* keyPath) {
    // The view is chosen the way the reader chooses it, by a read open: a
    // value the reader found in the 32-bit view would otherwise survive every
    // delete, and a 64-bit key that refuses write access must not send the
    // delete to the other view.
    HKEY key = nullptr;
    REGSAM view = 0;
    LONG r = openInStringView(keyPath, &key, &view, nullptr);
    if (r != ERROR_SUCCESS)
        return r;
    RegCloseKey(key);
    r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE | view, &key);
    if (r == ERROR_SUCCESS) {
        r = RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND)
        TDS_LOG_ERROR("DeleteRegValueOfStringType", "Deleting %s\\%s failed: %ld", keyPath, name, r);
    return r;
}
