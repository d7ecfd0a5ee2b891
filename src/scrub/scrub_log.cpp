#include "scrub/scrub_log.h"

#include <cstdio>
#include <cstring>

#include "foundation/system_error_text.h"

namespace tscrub {
namespace {
const char kLogName[] = "TolvaScrub.log";
const size_t kPathCapacity = 240;
}  // namespace

HANDLE openScrubLog(DWORD desiredAccess, DWORD creationDisposition) {
    char path[kPathCapacity] = {};
    const DWORD length = GetTempPathA(static_cast<DWORD>(sizeof(path)), path);
    if (length == 0) {
        // Without a temporary folder the name stays unexpanded, as a user
        // would write it.
        strcpy(path, "%TEMP%");
    } else if (length >= sizeof(path)) {
        // GetTempPathA answered the size it needs: the folder alone does not fit.
        return INVALID_HANDLE_VALUE;
    }
    const size_t used = strlen(path);
    if (used + sizeof(kLogName) > sizeof(path))
        return INVALID_HANDLE_VALUE;
    memcpy(path + used, kLogName, sizeof(kLogName));

    HANDLE file = CreateFileA(path, desiredAccess, FILE_SHARE_READ, nullptr, creationDisposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        fprintf(stderr, "Create-File-Wrapper:%s", getSystemErrorDescription(error).c_str());
    }
    return file;
}

bool writeScrubLog(HANDLE file, const std::string& text) {
    if (file == INVALID_HANDLE_VALUE || file == nullptr)
        return false;
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

}  // namespace tscrub
