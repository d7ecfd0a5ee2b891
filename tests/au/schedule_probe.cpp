// Prints one default schedule as "<frequency> <hour> <minute>".
#include <cstdio>

#include "au/schedule.h"

int main() {
    const au::Schedule s;
    std::printf("%u %u %u\n", s.frequency, s.hour, s.minute);
    return 0;
}
