// The file-system half of FileUtils.
#include "foundation/file_utils.h"

#include <windows.h>

#include <stdexcept>

#include "foundation/file_utils_internal.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tstrings.h"

namespace {
std::function<uint32_t()>& tickCountHook() {
    static std::function<uint32_t()> hook;
    return hook;
}
std::function<bool(const std::string&)>& deleteFileHook() {
    static std::function<bool(const std::string&)> hook;
    return hook;
}
}  // namespace

namespace fileutils_internal {
void setTickCountHookForTesting(std::function<uint32_t()> hook) { tickCountHook() = std::move(hook); }
void setDeleteFileHookForTesting(std::function<bool(const std::string&)> hook) { deleteFileHook() = std::move(hook); }
}  // namespace fileutils_internal

namespace FileUtils {

bool isReadable(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string createTempFile(const std::string& prefix, const std::string& extension,
                           const std::string& directory) {
    // An empty folder would make the base "\" and put the file at the root
    // of the current drive.
    if (stripTrailingSeparators(directory).empty())
        throw std::runtime_error("cannot create temp file");
    const uint32_t t = tickCountHook() ? tickCountHook()() : GetTickCount();
    const std::string base = stripTrailingSeparators(directory) + "\\";
    for (int n = 0; n < 100; ++n) {
        // The tick count plus n, taken as a signed 32-bit number: past 2^31
        // ticks the name carries a minus sign.
        const int32_t number = static_cast<int32_t>(static_cast<uint32_t>(t) + static_cast<uint32_t>(n));
        const std::string path = base + prefix + tstrings::toString(number) + "." + extension;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return path;
        }
    }
    throw std::runtime_error("cannot create temp file");
}

void deleteFile(const std::string& path) {
    if (deleteFileHook() ? deleteFileHook()(path) : DeleteFileA(path.c_str()) != FALSE)
        return;
    const DWORD error = GetLastError();
    TDS_LOG_ERROR("FileUtils::deleteFile", "%s failed with %s", ("DeleteFile(" + path + ")").c_str(),
                  formatSystemError(error).c_str());
    throw std::runtime_error("DeleteFile failed");
}

bool tryDeleteFile(const std::string& path) {
    try {
        deleteFile(path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace FileUtils
