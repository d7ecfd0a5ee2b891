#include "foundation/ipc/mutex.h"

#include <windows.h>

#include "foundation/ipc/assertion.h"
#include "foundation/ipc/errors.h"
#include "foundation/ipc/thread.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ipc {
namespace {

[[noreturn]] void throwPlatformError(const char* call, DWORD error, const SourceLocation& loc) {
    TDS_LOG_ERROR(loc.function, "%s failed with %s", call, formatSystemError(error).c_str());
    throw TdsError<PlatformError>(PlatformError(), loc);
}

void releaseMutex(HANDLE handle) {
    if (!ReleaseMutex(handle))
        throwPlatformError("ReleaseMutex", GetLastError(), TDS_HERE("ipc::Mutex::release"));
}

void closeMutex(HANDLE handle) {
    if (!CloseHandle(handle))
        throwPlatformError("CloseHandle", GetLastError(), TDS_HERE("ipc::Mutex::destroy"));
}

}  // namespace

Mutex::Mutex() : handle_(CreateMutexA(nullptr, FALSE, nullptr)) {
    if (handle_ == nullptr)
        throwPlatformError("CreateMutexA", GetLastError(), TDS_HERE("ipc::Mutex::create"));
}

Mutex::~Mutex() {
    try {
        if (state_ != nullptr) {
            // Every lock of the chain learns that the mutex is gone; each
            // releases once, and the outermost one closes the handle.
            for (Lock* lock = state_; lock != nullptr; lock = lock->previous_)
                lock->state_ = Lock::kMutexDestroyed;
            state_ = nullptr;
            return;
        }
        closeMutex(handle_);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ipc::Mutex::~Mutex", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ipc::Mutex::~Mutex");
    }
}

Mutex::Lock::Lock(Mutex& mutex)
    : mutex_(mutex), handle_(mutex.handle_), tid_(Thread::getCurrent().getId()) {
    TDS_ASSERT(tid_ != 0, "tid = Thread::getCurrent().getId()");
    waitForSingleObject(handle_, INFINITE);
    link();
}

void Mutex::Lock::link() {
    previous_ = mutex_.state_;
    mutex_.state_ = this;
}

void Mutex::Lock::unlink() {
    TDS_ASSERT(mutex_.state_ == this, "&state == m.state");
    mutex_.state_ = previous_;
}

Mutex::Lock::~Lock() {
    try {
        TDS_ASSERT(tid_ == Thread::getCurrent().getId(), "tid == Thread::getCurrent().getId()");
        if (state_ == kAlive) {
            unlink();
            releaseMutex(handle_);
        } else if (state_ == kMutexDestroyed) {
            // The mutex object is gone: only the copied handle may be used.
            releaseMutex(handle_);
            if (previous_ == nullptr)
                closeMutex(handle_);
        }
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ipc::Mutex::Lock::~Lock", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ipc::Mutex::Lock::~Lock");
    }
}

Mutex::Unlock::Unlock(Lock& lock) : lock_(lock) {
    TDS_ASSERT(lock.tid_ == Thread::getCurrent().getId(), "l.tid == Thread::getCurrent().getId()");
    TDS_ASSERT(lock.mutex_.state_ == &lock, "&l.state == l.m.state");
    lock.unlink();
    try {
        releaseMutex(lock.handle_);
    } catch (...) {
        lock.link();
        throw;
    }
}

Mutex::Unlock::~Unlock() {
    try {
        TDS_ASSERT(lock_.tid_ == Thread::getCurrent().getId(), "l.tid == Thread::getCurrent().getId()");
        waitForSingleObject(lock_.handle_, INFINITE);
        lock_.link();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ipc::Mutex::Unlock::~Unlock", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ipc::Mutex::Unlock::~Unlock");
    }
}

}  // namespace ipc
