#pragma once
// What the fuzz targets share: property checks that end the run as a crash
// (so libFuzzer keeps the input that broke the property), and a way to keep
// the settings library's per-line messages on the standard error stream out
// of a run that parses millions of faulty lines.

#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz_support {

// The standard error stream as it was at start; reports go there even while
// QuietStderr has the stream itself sent to /dev/null.
inline int& reportFd() {
    static int fd = -1;
    return fd;
}

// Call once from LLVMFuzzerInitialize.
inline void initReports() {
    if (reportFd() != -1)
        return;
    reportFd() = dup(2);
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(reportFd())));
}

[[noreturn]] inline void fail(const char* file, int line, const char* condition, const std::string& detail) {
    const int fd = reportFd() != -1 ? reportFd() : 2;
    dprintf(fd, "\n==== property broken at %s:%d\n     %s\n     %s\n", file, line, condition, detail.c_str());
    std::abort();
}

// Printable form of a byte string for reports: C escapes for everything
// outside printable ASCII.
inline std::string show(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

// Sends the standard error stream to /dev/null for its lifetime.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        static const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
    }
    ~QuietStderr() {
        std::fflush(stderr);
        dup2(reportFd(), 2);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;
};

}  // namespace fuzz_support

#define FUZZ_CHECK(condition, detail)                                            \
    do {                                                                         \
        if (!(condition))                                                        \
            ::fuzz_support::fail(__FILE__, __LINE__, #condition, (detail));      \
    } while (0)
