#include "au/data_protection.h"

#include <windows.h>
#include <wincrypt.h>

#include <stdexcept>

#include "foundation/tstrings.h"

namespace au {

namespace {

// The code is read first thing at the failure site; a failure that left no
// code behind still fails.
[[noreturn]] void throwWithLastError(const char* prefix) {
    const DWORD code = GetLastError();
    throw std::runtime_error(std::string(prefix) +
                             tstrings::toString(static_cast<unsigned long long>(code)));
}

std::vector<uint8_t> takeBlob(DATA_BLOB& blob) {
    std::vector<uint8_t> bytes(blob.pbData, blob.pbData + blob.cbData);
    LocalFree(blob.pbData);
    blob.pbData = nullptr;
    return bytes;
}

DATA_BLOB inputBlob(const std::vector<uint8_t>& bytes) {
    DATA_BLOB in;
    in.cbData = static_cast<DWORD>(bytes.size());
    in.pbData = const_cast<BYTE*>(bytes.empty() ? nullptr : bytes.data());
    return in;
}

std::vector<uint8_t> dwordBytes(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

}  // namespace

std::vector<uint8_t> protectData(const std::vector<uint8_t>& bytes, int32_t scope) {
    DATA_BLOB in = inputBlob(bytes);
    DATA_BLOB out = {0, nullptr};
    DWORD flags = CRYPTPROTECT_UI_FORBIDDEN;
    if (scope == kMachineScope)
        flags |= CRYPTPROTECT_LOCAL_MACHINE;
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, flags, &out))
        throwWithLastError("encryption failed, sysError=");
    return takeBlob(out);
}

std::vector<uint8_t> unprotectData(const std::vector<uint8_t>& blob) {
    DATA_BLOB in = inputBlob(blob);
    DATA_BLOB out = {0, nullptr};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        throwWithLastError("decryption failed, sysError=");
    return takeBlob(out);
}

std::string binary2string(const std::vector<uint8_t>& bytes) {
    if (bytes.empty())
        return std::string();
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD length = 0;
    if (!CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()), flags, nullptr, &length))
        throwWithLastError("binary2string (phase1) failed, sysError=");
    // The first call counts the terminating zero, the second does not.
    std::string text(length, '\0');
    if (!CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()), flags, &text[0], &length))
        throwWithLastError("binary2string (phase2) failed, sysError=");
    text.resize(length);
    return text;
}

std::vector<uint8_t> string2binary(const std::string& text) {
    if (text.empty())
        return std::vector<uint8_t>();
    DWORD length = 0;
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, nullptr,
                              &length, nullptr, nullptr))
        throwWithLastError("string2binary (phase1) failed, sysError=");
    std::vector<uint8_t> bytes(length);
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              bytes.empty() ? nullptr : bytes.data(), &length, nullptr, nullptr))
        throwWithLastError("string2binary (phase2) failed, sysError=");
    bytes.resize(length);
    return bytes;
}

std::vector<uint8_t> encryptDword(uint32_t value) { return protectData(dwordBytes(value), kUserScope); }

std::string encryptDwordToString(uint32_t value) {
    return binary2string(protectData(dwordBytes(value), kMachineScope));
}

uint32_t decryptDword(const std::vector<uint8_t>& blob) {
    const std::vector<uint8_t> bytes = unprotectData(blob);
    if (bytes.size() != 4)
        throw std::runtime_error("decrypted data has wrong size");
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t decryptDwordFromString(const std::string& text) { return decryptDword(string2binary(text)); }

}  // namespace au
