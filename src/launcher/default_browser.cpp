#include "launcher/default_browser.h"

#include <windows.h>

#include <cstring>

#include "foundation/sys_info.h"
#include "launcher/default_browser_internal.h"

namespace {

// Reads a text value into 2056 bytes; a last byte that is not a NUL is cut.
LONG readText(HKEY root, const char* path, const char* name, char* out) {
    const DWORD capacity = 2056;
    out[0] = '\0';
    HKEY key = nullptr;
    LONG r = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (r != ERROR_SUCCESS)
        return r;
    DWORD size = capacity - 1;
    r = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        out[0] = '\0';
        return r;
    }
    out[size < capacity ? size : capacity - 1] = '\0';
    return ERROR_SUCCESS;
}

int fromHttpAssociation(int missingDdeAnswer) {
    char text[2056];
    if (readText(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", nullptr, text) == ERROR_SUCCESS &&
        strstr(text, "chrome.exe"))
        return 3;
    const LONG r = readText(HKEY_CLASSES_ROOT, "http\\shell\\open\\ddeexec\\Application", nullptr, text);
    if (r == ERROR_FILE_NOT_FOUND)
        return missingDdeAnswer;
    if (r != ERROR_SUCCESS)
        return 0;
    if (strcmp(text, "IExplore") == 0)
        return 1;
    if (strcmp(text, "Firefox") == 0)
        return 2;
    return 3;
}

}  // namespace

namespace default_browser_internal {

int defaultBrowserCode(int osClass) {
    if (osClass < 2)
        return fromHttpAssociation(0);
    HKEY user = nullptr;
    if (RegOpenCurrentUser(KEY_READ, &user) != ERROR_SUCCESS)
        return fromHttpAssociation(2);
    char progId[2056];
    const LONG r = readText(user, "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice",
                            "Progid", progId);
    RegCloseKey(user);
    if (r != ERROR_SUCCESS)
        return fromHttpAssociation(2);
    if (strcmp(progId, "FirefoxURL") == 0)
        return 2;
    if (strcmp(progId, "IE.HTTP") == 0)
        return 1;
    return 3;
}

}  // namespace default_browser_internal

int GetDefaultBrowserCode() { return default_browser_internal::defaultBrowserCode(SysInfo::getWindowsVersion()); }
