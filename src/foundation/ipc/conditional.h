#pragma once
// A condition variable over an ipc::Mutex with one event per waiter, woken
// first come, first served. Lock order: the caller's mutex (mutex()) first,
// then the conditional's own list mutex, never the reverse.

#include <cstdint>
#include <memory>

#include "foundation/ipc/mutex.h"

namespace ipc {

struct ConditionalTestAccess;

class Conditional {
public:
    // Throws TdsError<PlatformError> when a mutex cannot be created.
    Conditional();
    // No thread may still wait on it.
    ~Conditional();
    Conditional(const Conditional&) = delete;
    Conditional& operator=(const Conditional&) = delete;

    // The mutex that callers lock around wait() and their condition.
    Mutex& mutex() { return mutex_; }

    // lock holds mutex() on the calling thread, innermost. Releases it, waits
    // up to timeoutMs (0xFFFFFFFF: no limit) for a notify and takes it back.
    // A waiter that a notify took off the list returns normally, also when
    // its time ran out at the same moment (the notify is never lost).
    // Throws TdsError<TimeoutExpiredError> when no notify came in time and
    // TdsError<PlatformError> when an event or wait fails; the lock is held
    // again and the waiter is off the list in both cases. Callers re-check
    // their condition in a loop.
    void wait(Mutex::Lock& lock, uint32_t timeoutMs);

    // Wakes the longest-waiting waiter, if any. Throws TdsError<PlatformError>
    // when its event cannot be set.
    void notifyOne();
    // Wakes every waiter, in the order they began to wait.
    void notifyAll();

    class Impl;

private:
    friend struct ConditionalTestAccess;
    Mutex mutex_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ipc
