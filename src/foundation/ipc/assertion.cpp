#include "foundation/ipc/assertion.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/logger.h"
#include "foundation/tstrings.h"

namespace tds_assert {

void fail(const char* text, const char* file, int line) {
    try {
        TDS_LOG_ERROR("tds_assert::fail", "Assertion failed: %s (%s:%d)", text, file, line);
    } catch (...) {
        // Out of memory while logging: the message below still goes out.
    }
    std::fprintf(stderr, "Assertion failed: %s (%s:%d)\n", text, file, line);
    std::fflush(stderr);
    // _Exit and not abort: the C runtime's abort may show a message box on
    // Windows, which nobody answers during an unattended install.
    std::_Exit(3);
}

}  // namespace tds_assert
