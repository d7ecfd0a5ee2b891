// The Windows half of the logger: the CRT's share-mode open in text mode, so
// every "\n" reaches the file as CR LF and other writers are kept out.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include "foundation/file_utils.h"
#include "foundation/logger_internal.h"
#include "foundation/sys_info.h"

namespace logger_internal {

LocalTime localTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

uint32_t currentProcessId() { return GetCurrentProcessId(); }
uint32_t currentThreadId() { return GetCurrentThreadId(); }

int openForAppend(const std::string& path) {
    int fd = -1;
    if (_sopen_s(&fd, path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_TEXT, _SH_DENYWR,
                 _S_IREAD | _S_IWRITE) != 0)
        return -1;
    return fd;
}

void writeAndClose(int fd, const std::string& text) {
    _write(fd, text.data(), static_cast<unsigned>(text.size()));
    _close(fd);
}

std::string defaultLogPath(const char* fileName) {
    return FileUtils::combinePath(SysInfo::getTempDir(), fileName);
}

std::string processName() {
    try {
        return FileUtils::basename(SysInfo::getProcessModulePath());
    } catch (...) {
        return "Unknown";
    }
}

void sleepMilliseconds(unsigned ms) { Sleep(ms); }

}  // namespace logger_internal
