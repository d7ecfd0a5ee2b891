#include "kit/kit_registry.h"

#include <windows.h>

#include <string>

#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "launcher/product_identity.h"

const char kVindelFamilyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Development Kit";
const char kKessaFamilyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";

int FindVindelHome(char* buffer, size_t capacity) {
    if (!buffer || capacity == 0)
        return 0;
    buffer[0] = '\0';
    const std::string path = std::string(kVindelFamilyKey) + "\\" + GetCurrentRuntimeVersion();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        TDS_LOG_INFO("FindVindelHome", "FindVindelHome: Failed to open VINDEL main key!!");
        return 0;
    }
    DWORD type = 0;
    DWORD size = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
    const LONG read = RegQueryValueExA(key, "TolvaHome", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // A value written without its NUL would leave the text unterminated.
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
    if (read == ERROR_SUCCESS && text && size == 0) {
        buffer[0] = '\0';
        return 1;
    }
    if (read == ERROR_SUCCESS && text && size <= capacity && buffer[size - 1] == '\0')
        return 1;
    buffer[0] = '\0';
    TDS_LOG_INFO("FindVindelHome", "FindVindelHome: Failed to query TolvaHome value!!");
    return 0;
}

bool IsKessaVersionKeyPresent() {
    const std::string path = std::string(kKessaFamilyKey) + "\\" + GetCurrentRuntimeVersion();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
