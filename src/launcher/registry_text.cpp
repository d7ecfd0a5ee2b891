#include "launcher/registry_text.h"

LONG queryTextValue(HKEY key, const char* name, char* buffer, DWORD* sizeInOut) {
    if (!buffer || !sizeInOut || *sizeInOut == 0)
        return ERROR_INVALID_PARAMETER;
    const DWORD capacity = *sizeInOut;
    DWORD size = capacity;
    LONG r = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    if (r == ERROR_SUCCESS) {
        if (size < capacity)
            buffer[size] = '\0';
        else if (buffer[capacity - 1] != '\0')
            r = ERROR_MORE_DATA;
    }
    if (r != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return r;
    }
    *sizeInOut = size;
    return ERROR_SUCCESS;
}
