#include "foundation/runtime_home.h"

#include <cstring>

#include "foundation/logger.h"
#include "foundation/tstrings.h"

namespace {

class KeyCloser {
public:
    KeyCloser() = default;
    ~KeyCloser() {
        if (key_)
            RegCloseKey(key_);
    }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

int FindTolvaHome(const char* version, char* buffer, DWORD* size, bool kit) {
    if (!version || !buffer || !size || *size == 0)
        return 0;
    KeyCloser product;
    const char* productPath = kit ? "SOFTWARE\\TolvaSoft\\Tolva Development Kit"
                                  : "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productPath, 0, KEY_READ, product.put()) != ERROR_SUCCESS) {
        TDS_LOG_INFO("FindTolvaHome", "%s",
                     kit ? "ERROR: FindTolvaHome Open(VINDELMAINKEY) failed."
                         : "ERROR: FindTolvaHome Open(KESSAMAINKEY) failed.");
        return 0;
    }
    KeyCloser versionKey;
    if (RegOpenKeyExA(product.get(), version, 0, KEY_READ, versionKey.put()) != ERROR_SUCCESS) {
        TDS_LOG_INFO("FindTolvaHome", "%s", "ERROR: FindTolvaHome Open(version) failed.");
        return 0;
    }
    DWORD type = REG_NONE;
    DWORD bytes = *size;
    const LONG read = RegQueryValueExA(versionKey.get(), "TolvaHome", nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer), &bytes);
    const bool isString = type == REG_SZ || type == REG_EXPAND_SZ;
    if (read != ERROR_SUCCESS || !isString || bytes > *size ||
        (bytes > 0 && buffer[bytes - 1] != '\0')) {
        TDS_LOG_INFO("FindTolvaHome", "%s", "ERROR: FindTolvaHome QueryStringValue(TolvaHome) failed.");
        return 0;
    }
    if (bytes == 0) {
        // A value stored without any byte holds the empty text as well.
        buffer[0] = '\0';
        bytes = 1;
    }
    size_t length = strnlen(buffer, bytes);
    if (length > 0 && buffer[length - 1] == '\\') {
        buffer[--length] = '\0';
        bytes = static_cast<DWORD>(length + 1);
        // The key is open for reading only, so the store is refused and only
        // logged; the trimmed text is what the caller gets either way.
        if (RegSetValueExA(versionKey.get(), "TolvaHome", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(buffer), bytes) != ERROR_SUCCESS)
            TDS_LOG_INFO("FindTolvaHome", "%s", "ERROR: FindTolvaHome SetStringValue(TolvaHome) failed.");
    }
    *size = bytes;
    return 1;
}

int FindTolvaHome(const char* version, char* buffer, DWORD size, bool kit) {
    return FindTolvaHome(version, buffer, &size, kit);
}
