#include "au/schedule.h"

#include <windows.h>

#include <cstdlib>

namespace au {

namespace {

// msvcrt keeps the rand() state per thread, so the seed is too: an unseeded
// thread would draw the same sequence on every machine.
void seedOnce() {
    thread_local bool seeded = false;
    if (seeded)
        return;
    seeded = true;
    std::srand(static_cast<unsigned>(GetTickCount() ^ (GetCurrentProcessId() << 16) ^
                                      GetCurrentThreadId()));
}

}  // namespace

Schedule::Schedule() {
    seedOnce();
    frequency = 0;
    hour = 0;
    minute = 0;
    const int d1 = std::rand() % 7;
    frequency = (frequency & ~0xFFu) | (1u << d1);
    frequency &= ~(0xFFu << 16);
    frequency &= ~(1u << 24);
    const int d2 = std::rand() % 7;
    frequency = (frequency & ~0xFF00u) | ((1u << d2) << 8);
    hour = static_cast<uint32_t>(std::rand() % 24);
    minute = static_cast<uint32_t>(std::rand() % 60);
}

}  // namespace au
