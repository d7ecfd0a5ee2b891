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
    // Stops the timer and waits for its thread to end. Never throws.
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Asks the thread to stop after its current call and pause. With wait
    // true, returns once the thread has left its loop; with false at once
    // (the callback itself may call it so).
    void stop(bool wait);

    class Worker;

private:
    void waitFinished();

    Conditional conditional_;
    bool finished_ = false;
    std::atomic<bool> stopRequested_{false};
    uint32_t interval_;
    Clock& clock_;
    Thread thread_;
};

}  // namespace ipc
