// The random default schedule and its seeding.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "au/schedule.h"
#include "common/child_process.h"
#include "common/program_folder.h"
#include "common/test_util.h"

namespace {

int singleBit(uint32_t byte) {
    for (int bit = 0; bit < 8; ++bit)
        if (byte == (1u << bit))
            return bit;
    return -1;
}

TEST(Schedule, DefaultSchedule_KeepsWordFormat) {
    std::set<int> lowDays;
    std::set<int> secondDays;
    for (int i = 0; i < 500; ++i) {
        const au::Schedule s;
        const int low = singleBit(s.frequency & 0xFF);
        const int second = singleBit((s.frequency >> 8) & 0xFF);
        ASSERT_GE(low, 0);
        ASSERT_LE(low, 6);
        ASSERT_GE(second, 0);
        ASSERT_LE(second, 6);
        ASSERT_EQ(s.frequency & 0xFFFF0000u, 0u);
        ASSERT_LT(s.hour, 24u);
        ASSERT_LT(s.minute, 60u);
        lowDays.insert(low);
        secondDays.insert(second);
    }
    // Every weekday is drawn somewhere in 500 draws.
    EXPECT_EQ(lowDays.size(), 7u);
    EXPECT_EQ(secondDays.size(), 7u);
}

TEST(Schedule, DefaultSchedule_IsNotReseededPerDraw) {
    std::set<std::tuple<uint32_t, uint32_t, uint32_t>> seen;
    for (int i = 0; i < 20; ++i) {
        const au::Schedule s;
        seen.insert({s.frequency, s.hour, s.minute});
    }
    EXPECT_GT(seen.size(), 1u);
}

TEST(Schedule, TwoProcesses_DrawDifferentSchedules) {
    // Unseeded, every process draws the same first schedule.
    std::set<std::string> outputs;
    for (int i = 0; i < 3; ++i) {
        std::string out;
        const auto r = testutil::runProcessCapture(testutil::quote(testutil::besideExe("au_schedule_probe.exe")), out);
        ASSERT_TRUE(r.started);
        ASSERT_EQ(r.exitCode, 0u);
        outputs.insert(out);
        Sleep(20);  // a later start as well as another process id, as real runs have
    }
    EXPECT_GT(outputs.size(), 1u);
}

}  // namespace
