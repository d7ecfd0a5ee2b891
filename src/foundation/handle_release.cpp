#include "foundation/handle_release.h"

#include <wininet.h>

void closeWin32Handle(HANDLE handle) {
    if (handle && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

void closeInternetHandle(InternetHandle handle) {
    if (handle)
        InternetCloseHandle(static_cast<HINTERNET>(handle));
}

void closeRegKey(HKEY key) {
    if (key)
        RegCloseKey(key);
}
