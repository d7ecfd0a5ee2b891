#include "foundation/ipc/timer.h"

#include <windows.h>

#include "foundation/ipc/assertion.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"

namespace ipc {

class Timer::Worker : public ipc::Runnable {
public:
    Worker(Timer& timer, Timer::Runnable& runnable) : timer_(timer), runnable_(runnable) {}

    // Called on the timer thread from ~Timer when the callback destroys its
    // own timer: from then on timer_ is gone.
    void abandon() { abandoned_ = true; }

    void run() override {
        timer_.threadId_.store(Thread::getCurrent().getId());
        try {
            while (!timer_.stopRequested_.load()) {
                runnable_.run(timer_);
                if (abandoned_)
                    break;
                timer_.clock_.sleep(timer_.interval_);
            }
        } catch (const std::exception& e) {
            // The loop ends, but `finished` must still be set below: the
            // timer's owner waits for it without limit.
            TDS_LOG_EXCEPTION("ipc::Timer::Worker::run", e);
        } catch (...) {
            TDS_LOG_UNKNOWN_EXCEPTION("ipc::Timer::Worker::run");
        }
        if (abandoned_)
            return;  // nobody waits, and the conditional went with the timer
        Mutex::Lock lock(timer_.conditional_.mutex());
        timer_.finished_ = true;
        timer_.conditional_.notifyAll();
    }

private:
    Timer& timer_;
    Timer::Runnable& runnable_;
    bool abandoned_ = false;  // only ever touched on the timer thread
};

Timer::Timer(Runnable* runnable, uint32_t intervalMs, Clock& clock)
    : interval_(intervalMs), clock_(clock) {
    TDS_ASSERT(runnable != nullptr, "runnable");
    // Kept before the thread starts: its first call may already end the timer.
    worker_ = new Worker(*this, *runnable);
    thread_ = Thread::start(worker_, true);
}

bool Timer::onOwnThread() const { return threadId_.load() == Thread::getCurrent().getId(); }

void Timer::stop(bool wait) {
    stopRequested_.store(true);
    // Waiting on the own thread would wait for this very call to return.
    if (wait && !onOwnThread())
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
        if (onOwnThread()) {
            // Inside the callback the worker is alive (its thread deletes it
            // only after run() returns), and it must not come back here.
            worker_->abandon();
            return;
        }
        waitFinished();
        // The worker still returns from its notify and is deleted; joining
        // means no timer thread outlives the timer.
        if (thread_.isThread())
            thread_.join(INFINITE);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ipc::Timer::~Timer", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ipc::Timer::~Timer");
    }
}

}  // namespace ipc
