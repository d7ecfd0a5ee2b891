#include "launcher/file_digest.h"

#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tstrings.h"

#include <cstring>

namespace {

const char* orNull(const char* text) { return text ? text : "(null)"; }

void logFailedCall(const char* call, DWORD error) {
    TDS_LOG_ERROR("getCheckSum", "%s failed with %s", call, formatSystemError(error).c_str());
}

// Owners of the three resources, released in reverse order on every path.
struct FileHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

struct CryptContext {
    HCRYPTPROV provider = 0;
    ~CryptContext() {
        if (provider)
            CryptReleaseContext(provider, 0);
    }
};

struct CryptHash {
    HCRYPTHASH hash = 0;
    ~CryptHash() {
        if (hash)
            CryptDestroyHash(hash);
    }
};

}  // namespace

int getCheckSum(const char* file, char* out, size_t outSize, ALG_ID algorithm, DWORD digestLength) {
    if (!out || outSize <= 2 * static_cast<size_t>(digestLength))
        return 0;
    FileHandle input;
    if (file)
        input.handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (input.handle == INVALID_HANDLE_VALUE) {
        TDS_LOG_ERROR("getCheckSum", "Error opening file \"%s\"", orNull(file));
        return 0;
    }
    CryptContext context;
    const DWORD providerType = algorithm == CALG_SHA1 ? PROV_RSA_FULL : PROV_RSA_AES;
    if (!CryptAcquireContextA(&context.provider, nullptr, nullptr, providerType,
                              CRYPT_VERIFYCONTEXT)) {
        logFailedCall("CryptAcquireContext", GetLastError());
        return 0;
    }
    CryptHash hash;
    if (!CryptCreateHash(context.provider, algorithm, 0, 0, &hash.hash)) {
        logFailedCall("CryptCreateHash", GetLastError());
        return 0;
    }
    BYTE block[2048];
    for (;;) {
        DWORD read = 0;
        // A failed read must not pass for the end of the file: the digest of
        // part of a file would be reported as the file's.
        if (!ReadFile(input.handle, block, sizeof(block), &read, nullptr)) {
            logFailedCall("ReadFile", GetLastError());
            return 0;
        }
        if (read == 0)
            break;
        if (!CryptHashData(hash.hash, block, read, 0)) {
            logFailedCall("CryptHashData", GetLastError());
            return 0;
        }
    }
    BYTE digest[64];
    DWORD length = sizeof(digest);
    if (!CryptGetHashParam(hash.hash, HP_HASHVAL, digest, &length, 0)) {
        logFailedCall("CryptGetHashParam", GetLastError());
        return 0;
    }
    if (length != digestLength) {
        TDS_LOG_ERROR("getCheckSum", "Digest of algorithm %u has %lu bytes, not %lu",
                      static_cast<unsigned>(algorithm), static_cast<unsigned long>(length),
                      static_cast<unsigned long>(digestLength));
        return 0;
    }
    static const char kDigits[] = "0123456789abcdef";
    for (DWORD i = 0; i < length; ++i) {
        out[2 * i] = kDigits[digest[i] >> 4];
        out[2 * i + 1] = kDigits[digest[i] & 0x0F];
    }
    out[2 * length] = '\0';
    return 1;
}

bool verifyCheckSum(const char* file, const char* expected, ALG_ID algorithm, DWORD digestLength) {
    char actual[65] = {};
    if (!getCheckSum(file, actual, sizeof(actual), algorithm, digestLength))
        return false;
    // The terminating zero takes part, so a longer or shorter text differs.
    if (expected && std::strncmp(actual, expected, 2 * static_cast<size_t>(digestLength) + 1) == 0)
        return true;
    TDS_LOG_ERROR("verifyCheckSum",
                  "Checksum verification for \"%s\" file failed: expected=[%s]; actual=[%s]; "
                  "algorithm=%d.",
                  orNull(file), orNull(expected), actual, static_cast<int>(algorithm));
    return false;
}
