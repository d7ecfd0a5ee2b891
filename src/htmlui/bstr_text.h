#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>

namespace ui {

// UTF-16 of an ANSI text, as a BSTR the caller frees with SysFreeString.
// Throws std::bad_alloc when the string cannot be allocated.
inline BSTR acpToBstr(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (result == nullptr)
        throw std::bad_alloc();
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result, length);
    return result;
}

}  // namespace ui
