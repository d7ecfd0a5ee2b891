#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>

#include "foundation/tstrings.h"

namespace ui {

// UTF-16 of an ANSI text, as a BSTR the caller frees with SysFreeString.
// Throws std::bad_alloc when the string cannot be allocated.
inline BSTR acpToBstr(const std::string& text) {
    const std::wstring wide = tstrings::acpToUtf16(text);
    BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (result == nullptr)
        throw std::bad_alloc();
    return result;
}

}  // namespace ui
