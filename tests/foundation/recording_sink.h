#pragma once
// A progress sink that records what it is told, safe to call from the timer
// thread while the test reads it.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/progress/progress.h"

class RecordingSink : public progress::ProgressUpdater {
public:
    explicit RecordingSink(uint32_t range = 1000) : range_(range) {}

    uint32_t getPosition() const override {
        std::lock_guard<std::mutex> guard(mutex_);
        return position_;
    }
    uint32_t getRange() const override { return range_; }
    void setPosition(uint32_t position) override {
        std::lock_guard<std::mutex> guard(mutex_);
        position_ = position;
        calls_.push_back(std::to_string(position));
    }
    void complete() override {
        std::lock_guard<std::mutex> guard(mutex_);
        calls_.push_back("complete");
    }

    // "complete" or the decimal position of each call, oldest first.
    std::vector<std::string> calls() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return calls_;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        calls_.clear();
    }

private:
    uint32_t range_;
    mutable std::mutex mutex_;
    uint32_t position_ = 0;
    std::vector<std::string> calls_;
};
