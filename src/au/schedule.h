#pragma once
// The automatic updater's check schedule: three words stored as the policy
// values Frequency, UpdateSchedule and UpdateMin.

#include <cstdint>

namespace au {

struct Schedule {
    // A random default: one weekly day bit (0-6) in the low byte of the
    // frequency, one day bit (0-6) in its second byte, third byte and bit 24
    // clear; hour 0-23, minute 0-59. The generator is seeded once per thread
    // before the first draw, so machines do not all pick the same minute.
    Schedule();
    Schedule(uint32_t frequency, uint32_t hour, uint32_t minute)
        : frequency(frequency), hour(hour), minute(minute) {}

    uint32_t frequency = 0;
    uint32_t hour = 0;
    uint32_t minute = 0;
};

}  // namespace au
