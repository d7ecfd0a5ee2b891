#pragma once
// Registers the stand-in browser control in the test prefix's HKLM for the
// whole test program and puts back what was there at the end. Programs that
// include it carry the CTest RESOURCE_LOCK "browser_standin".

#include <gtest/gtest.h>

#include "support/browser_standin/browser_standin.h"
#include "support/browser_standin/standin_registration.h"

namespace enginetest {

class StandinEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(RegisterBrowserStandin(BrowserStandinPath())); }
    void TearDown() override { UnregisterBrowserStandin(); }
};

// One registration per program, made before the first test runs.
inline ::testing::Environment* const g_standinEnvironment =
    ::testing::AddGlobalTestEnvironment(new StandinEnvironment);

}  // namespace enginetest
