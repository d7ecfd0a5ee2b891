#pragma once
// Checks of programming errors that stay on in every build: a failed check
// logs "Assertion failed: <text>" at ERROR, writes the same to the standard
// error stream and ends the process with exit code 3 (no debugger or fault
// box: under Wine or on a user's machine nothing would answer it).

namespace tds_assert {

// Never returns.
[[noreturn]] void fail(const char* text, const char* file, int line);

}  // namespace tds_assert

// text is the condition as the log should show it.
#define TDS_ASSERT(condition, text)                                  \
    do {                                                             \
        if (!(condition))                                            \
            ::tds_assert::fail((text), __FILE__, __LINE__);          \
    } while (0)
