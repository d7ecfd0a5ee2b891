#pragma once
// Conversions between UTF-16 and byte texts for tests and the doubles they
// start: header only, plain Win32, so a double builds without any library.

#include <windows.h>

#include <string>

namespace testutil {

namespace text_conversion_internal {

inline std::wstring widen(UINT codePage, const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

inline std::string narrow(UINT codePage, const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

}  // namespace text_conversion_internal

// text as UTF-8; empty for an empty text or one that cannot be converted.
inline std::string toUtf8(const std::wstring& text) { return text_conversion_internal::narrow(CP_UTF8, text); }

// UTF-8 text as UTF-16; empty for an empty text or one that cannot be converted.
inline std::wstring fromUtf8(const std::string& text) { return text_conversion_internal::widen(CP_UTF8, text); }

// A text in the ANSI code page (what the system's A functions take) as
// UTF-16, the way those functions convert it; empty when it cannot be.
inline std::wstring fromAnsi(const std::string& text) { return text_conversion_internal::widen(CP_ACP, text); }

// UTF-16 text in the ANSI code page; characters the code page lacks become
// its default character, as in the system's A functions.
inline std::string toAnsi(const std::wstring& text) { return text_conversion_internal::narrow(CP_ACP, text); }

}  // namespace testutil
