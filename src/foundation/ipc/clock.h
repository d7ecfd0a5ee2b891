#pragma once
// The time seam of the ipc and progress code: every poll, retry and timer
// loop reads the performance counter and sleeps through a Clock, so tests
// can run "every 100 ms" loops at once and count their rounds.

#include <cstdint>

namespace ipc {

class Clock {
public:
    virtual ~Clock() = default;
    // The performance counter now. Throws TdsError<PlatformError> when the
    // counter cannot be read.
    virtual uint64_t counter() = 0;
    // Counter ticks per second, nonzero. Throws TdsError<PlatformError> when
    // it cannot be read.
    virtual uint64_t frequency() = 0;
    // Pauses the calling thread for about ms milliseconds.
    virtual void sleep(uint32_t ms) = 0;

    // The real clock: QueryPerformanceCounter, QueryPerformanceFrequency and
    // Sleep. Lives for the whole process.
    static Clock& system();
};

}  // namespace ipc
