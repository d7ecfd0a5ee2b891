// The native half of the logger, used only where the portable code is built
// and tested natively. Lines go to $TMPDIR (or /tmp), with "\n" as written.
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "foundation/file_utils.h"
#include "foundation/logger_internal.h"

namespace logger_internal {

LocalTime localTime() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm t{};
    localtime_r(&tv.tv_sec, &t);
    return {static_cast<unsigned>(t.tm_year + 1900), static_cast<unsigned>(t.tm_mon + 1),
            static_cast<unsigned>(t.tm_mday), static_cast<unsigned>(t.tm_hour),
            static_cast<unsigned>(t.tm_min), static_cast<unsigned>(t.tm_sec),
            static_cast<unsigned>(tv.tv_usec / 1000)};
}

uint32_t currentProcessId() { return static_cast<uint32_t>(getpid()); }
uint32_t currentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

int openForAppend(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
}

void writeAndClose(int fd, const std::string& text) {
    ssize_t ignored = ::write(fd, text.data(), text.size());
    (void)ignored;
    close(fd);
}

std::string defaultLogPath(const char* fileName) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + fileName;
}

std::string processName() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "Unknown";
    buf[n] = 0;
    return FileUtils::basename(buf);
}

void sleepMilliseconds(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace logger_internal
