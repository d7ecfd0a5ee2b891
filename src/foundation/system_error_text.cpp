#include "foundation/system_error_text.h"

#include "foundation/tstrings.h"

std::string getSystemErrorDescription(uint32_t code, HMODULE module) {
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                        (module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    const DWORD n = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                   nullptr);
    if (n == 0 || !buffer) {
        if (buffer)
            LocalFree(buffer);
        return "No description available";
    }
    std::wstring text(buffer, n);
    LocalFree(buffer);
    for (wchar_t& c : text)
        if (c < 32)
            c = L' ';
    // The first character always stays.
    while (text.size() > 1 && (text.back() == L' ' || text.back() < 32 || text.back() == L'.'))
        text.pop_back();
    try {
        return tstrings::toUtf8(text);
    } catch (const std::exception&) {
        return "No description available";
    }
}

std::string formatSystemError(uint32_t code, HMODULE module) {
    return "system error " + tstrings::toString(static_cast<unsigned long>(code)) + " (" +
           getSystemErrorDescription(code, module) + ")";
}

std::string formatComError(HRESULT result) {
    const uint32_t value = static_cast<uint32_t>(result);
    const uint32_t facility = (value >> 16) & 0x1FFF;
    const uint32_t lookup = facility == FACILITY_WIN32 ? (value & 0xFFFF) : value;
    return tstrings::format("COM error 0x%08X (%s)", value, getSystemErrorDescription(lookup).c_str());
}
