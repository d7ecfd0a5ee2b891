#pragma once
// A Clock for tests: time moves only when the test says so (or, with
// autoAdvance, by each sleep's length), and every sleep is recorded. A sleep
// still yields for a real millisecond so that other threads run.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "foundation/ipc/clock.h"

class FakeClock : public ipc::Clock {
public:
    explicit FakeClock(bool autoAdvance = false) : autoAdvance_(autoAdvance) {}

    uint64_t counter() override { return nowMs_.load(); }
    uint64_t frequency() override { return 1000; }
    void sleep(uint32_t ms) override {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            sleeps_.push_back(ms);
        }
        if (autoAdvance_)
            nowMs_ += ms;
        Sleep(1);
    }

    void setNowMs(uint64_t ms) { nowMs_ = ms; }
    std::vector<uint32_t> sleeps() {
        std::lock_guard<std::mutex> guard(mutex_);
        return sleeps_;
    }

private:
    bool autoAdvance_;
    std::atomic<uint64_t> nowMs_{0};
    std::mutex mutex_;
    std::vector<uint32_t> sleeps_;
};
