#include "foundation/ipc/thread.h"

#include <windows.h>

#include <process.h>

#include <algorithm>

#include "foundation/handle_release.h"
#include "foundation/ipc/clock.h"
#include "foundation/ipc/errors.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ipc {
namespace {

constexpr uint32_t kJoinSliceMs = 100;

[[noreturn]] void throwPlatformError(const char* call, DWORD error, const SourceLocation& loc) {
    TDS_LOG_ERROR(loc.function, "%s failed with %s", call, formatSystemError(error).c_str());
    throw TdsError<PlatformError>(PlatformError(), loc);
}

unsigned __stdcall ThreadFunction(void* argument) {
    Runnable* runnable = static_cast<Runnable*>(argument);
    try {
        runnable->run();
        return 0;
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ipc::ThreadFunction", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ipc::ThreadFunction");
    }
    return 1;
}

}  // namespace

void RunnableOwner::run() {
    // Deleted on every way out, so a throwing run() does not leak the pair.
    std::unique_ptr<RunnableOwner> self(this);
    held_->run();
}

Thread Thread::getCurrent() { return Thread(GetCurrentThreadId()); }

void Thread::sleep(uint32_t ms) { Sleep(ms); }

Thread Thread::start(Runnable* runnable, bool owned) {
    if (runnable == nullptr)
        return Thread();
    Runnable* body = owned ? new RunnableOwner(runnable) : runnable;
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, &ThreadFunction, body, 0, &id);
    if (handle == 0) {
        const DWORD error = GetLastError();
        if (owned)
            delete body;
        throwPlatformError("_beginthreadex", error, TDS_HERE("ipc::Thread::start"));
    }
    Thread thread(id);
    thread.handle_.reset(reinterpret_cast<void*>(handle), [](void* h) { closeWin32Handle(h); });
    return thread;
}

void Thread::join(uint32_t timeoutMs) const {
    ScopedWin32Handle opened;
    HANDLE handle = handle_.get();
    if (handle == nullptr) {
        opened.reset(OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, id_));
        if (opened.get() == nullptr)
            throwPlatformError("OpenThread", GetLastError(), TDS_HERE("ipc::Thread::join"));
        handle = opened.get();
    }
    const uint32_t slice = timeoutMs == INFINITE ? kJoinSliceMs : std::min(timeoutMs, kJoinSliceMs);
    Clock& clock = Clock::system();
    const double frequency = static_cast<double>(clock.frequency());
    const uint64_t start = clock.counter();
    for (;;) {
        DWORD exitCode = 0;
        if (!GetExitCodeThread(handle, &exitCode))
            throwPlatformError("GetExitCodeThread", GetLastError(), TDS_HERE("ipc::Thread::join"));
        if (exitCode != STILL_ACTIVE)
            return;
        try {
            waitForSingleObject(handle, slice);
            return;
        } catch (const TdsError<TimeoutExpiredError>&) {
            const double elapsedMs = static_cast<double>(clock.counter() - start) * 1000.0 / frequency;
            if (timeoutMs != INFINITE && elapsedMs >= static_cast<double>(timeoutMs))
                throw;
        }
    }
}

void waitForSingleObject(void* handle, uint32_t timeoutMs) {
    const DWORD result = WaitForSingleObject(handle, timeoutMs);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
        return;
    if (result == WAIT_TIMEOUT)
        throw TdsError<TimeoutExpiredError>(TimeoutExpiredError(), TDS_HERE("ipc::waitForSingleObject"));
    throwPlatformError("WaitForSingleObject", GetLastError(), TDS_HERE("ipc::waitForSingleObject"));
}

}  // namespace ipc
