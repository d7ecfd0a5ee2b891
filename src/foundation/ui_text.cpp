#include "foundation/ui_text.h"

#include <exception>
#include <vector>

#include "foundation/tstrings.h"

namespace {

std::wstring wide(const std::string& text) {
    try {
        return tstrings::toUtf16(text);
    } catch (const std::exception&) {
    }
    // Not UTF-8: a caller's ANSI text, converted the way the ANSI calls would.
    return tstrings::acpToUtf16(text);
}

std::string narrow(const wchar_t* text, size_t length) {
    try {
        return tstrings::toUtf8(std::wstring(text, length));
    } catch (const std::exception&) {
        return std::string();
    }
}

}  // namespace

std::string LoadStringUtf8(HMODULE module, UINT id) {
    // With a zero length LoadStringW answers a pointer into the resource
    // itself (not NUL-terminated), so a text of any length comes whole.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return std::string();
    return narrow(text, static_cast<size_t>(length));
}

bool SetWindowTextUtf8(HWND window, const std::string& text) {
    return window && SetWindowTextW(window, wide(text).c_str()) != FALSE;
}

std::string GetWindowTextUtf8(HWND window) {
    if (!window)
        return std::string();
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int got = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return narrow(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

int MessageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    return MessageBoxW(owner, wide(text).c_str(), wide(caption).c_str(), flags);
}
