// The main of every test program under Wine: the process gets its own
// temporary folder (and so its own log) before the first test runs.
#include <gtest/gtest.h>

#include "common/test_process.h"

int main(int argc, char** argv) {
    testutil::isolateTestProcess();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    testutil::finishTestProcess(result == 0);
    return result;
}
