#include "foundation/ipc/clock.h"

#include <windows.h>

#include "foundation/ipc/errors.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ipc {
namespace {

uint64_t queryPerformanceCounter() {
    LARGE_INTEGER value;
    if (!QueryPerformanceCounter(&value)) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("ipc::queryPerformanceCounter", "%s failed with %s",
                      "QueryPerformanceCounter", formatSystemError(error).c_str());
        throw TdsError<PlatformError>(PlatformError(), TDS_HERE("ipc::queryPerformanceCounter"));
    }
    return static_cast<uint64_t>(value.QuadPart);
}

class SystemClock : public Clock {
public:
    uint64_t counter() override { return queryPerformanceCounter(); }
    uint64_t frequency() override {
        LARGE_INTEGER value;
        if (!QueryPerformanceFrequency(&value) || value.QuadPart <= 0) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("ipc::Thread::join", "%s failed with %s", "QueryPerformanceFrequency",
                          formatSystemError(error).c_str());
            throw TdsError<PlatformError>(PlatformError(), TDS_HERE("ipc::Thread::join"));
        }
        return static_cast<uint64_t>(value.QuadPart);
    }
    void sleep(uint32_t ms) override { Sleep(ms); }
};

}  // namespace

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

}  // namespace ipc
