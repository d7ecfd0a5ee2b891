#include "foundation/ipc/timer.h"

#include <windows.h>

#include "foundation/ipc/assertion.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"

namespace ipc {

class Timer::Worker : public ipc::Runnable {
public:
    Worker(Timer& timer, Timer::Runnable& runnable) : timer_(timer), runnable_(runnable) {}

    void run() override {
        try {
            while (!timer_.stopRequested_.load()) {
                runnable_.run(timer_);
                timer_.clock_.sleep(timer_.interval_);
            }
        } catch (const std::exception& e) {
            // The loop ends, but `finished` must still be set below: the
            // timer's owner waits for it without limit.
            TDS_LOG_EXCEPTION("ipc::Timer::Worker::run", e);
        } catch (...) {
            TDS_LOG_UNKNOWN_EXCEPTION("ipc::Timer::Worker::run");
        }
        Mutex::Lock lock(timer_.conditional_.mutex());
        timer_.finished_ = true;
        timer_.conditional_.notifyAll();
    }

private:
    Timer& timer_;
    Timer::Runnable& runnable_;
};

Timer::Timer(Runnable* runnable, uint32_t intervalMs, Clock& clock)
    : interval_(intervalMs), clock_(clock) {
    TDS_ASSERT(runnable != nullptr, "runnable");
    thread_ = Thread::start(new Worker(*this, *runnable), true);
}

void Timer::stop(bool wait) {
    stopRequested_.store(true);
    if (wait)
        waitFinished();
}

void Timer::waitFinished() {
    Mutex::Lock lock(conditional_.mutex());
    while (!finished_)
        conditional_.wait(lock, INFINITE);
}

Timer::~Timer() {
    try {
        stopRequested_.store(true);
        waitFinished();
        // The worker still returns from its notify and is deleted; joining
        // means no timer thread outlives the timer.
        if (thread_.isThread() && thread_.getId() != Thread::getCurrent().getId())
            thread_.join(INFINITE);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ipc::Timer::~Timer", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ipc::Timer::~Timer");
    }
}

}  // namespace ipc
