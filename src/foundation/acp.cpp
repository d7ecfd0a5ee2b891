// Conversions between UTF-8 and the ANSI code page, through UTF-16.
#include <windows.h>

#include "foundation/tstrings.h"

namespace tstrings {

std::string toAcp(const std::string& utf8) {
    const std::wstring wide = toUtf16(utf8);
    if (wide.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n,
                        nullptr, nullptr);
    return out;
}

std::wstring acpToUtf16(const std::string& acp) {
    if (acp.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, acp.data(), static_cast<int>(acp.size()),
                                      nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, acp.data(), static_cast<int>(acp.size()), &wide[0], n);
    return wide;
}

std::string fromAcp(const std::string& acp) {
    const std::wstring wide = acpToUtf16(acp);
    return wide.empty() ? std::string() : toUtf8(wide);
}

}  // namespace tstrings
