#pragma once
// Calls a callback object periodically on a thread of its own until stopped.

#include <atomic>
#include <cstdint>

#include "foundation/ipc/clock.h"
#include "foundation/ipc/conditional.h"
#include "foundation/ipc/thread.h"

namespace ipc {

class Timer {
public:
    // The callback; called on the timer thread with the timer itself.
    class Runnable {
    public:
        virtual ~Runnable() = default;
        virtual void run(Timer& timer) = 0;
    };

    // Starts the timer thread, which calls runnable->run(*this) at once and
    // then after every pause of intervalMs (slept through clock). The
    // runnable is not owned: the caller keeps it alive until the timer is
    // destroyed. A null runnable is an assertion failure. Throws
    // TdsError<PlatformError> when the thread cannot be started.
    Timer(Runnable* runnable, uint32_t intervalMs, Clock& clock = Clock::system());
    // Stops the timer and waits for its thread to end. On the timer's own
    // thread (the callback destroying its timer) it tests that first and
    // returns without waiting: the thread then leaves as soon as the callback
    // returns, without another pause and without touching the timer, the
    // runnable or the clock again. Never throws.
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Asks the thread to stop after its current call and pause. With wait
    // true, returns once the thread has left its loop; with false at once.
    // On the timer's own thread (from the callback) it never waits, whatever
    // wait says.
    void stop(bool wait);

    class Worker;

private:
    bool onOwnThread() const;
    void waitFinished();

    Conditional conditional_;
    bool finished_ = false;
    std::atomic<bool> stopRequested_{false};
    // Written by the timer thread before its first call, so a call of the
    // callback always sees its own id here.
    std::atomic<uint32_t> threadId_{Thread::kNoThread};
    uint32_t interval_;
    Clock& clock_;
    Worker* worker_ = nullptr;  // valid while the timer thread runs
    Thread thread_;
};

}  // namespace ipc
