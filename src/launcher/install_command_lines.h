#pragma once
// The msiexec command lines of the runtime install, built with bounded
// appends: a text that does not fit is refused whole, never cut, so a line
// can never end inside a quoted value.

#include <cstddef>
#include <cstdint>
#include <string>

// Appends text to the NUL-terminated buffer when all of it fits in capacity
// (terminator included). False, buffer unchanged, otherwise.
bool AppendBounded(char* buffer, size_t capacity, const char* text);

// " TRANSFORMS=:<langId>" for every language but English (1033), which the
// package carries without a transform; empty for English.
std::string TransformOption(uint16_t langId);

// second = "\"<msiexec>\" /i \"<package>\" <options> <transform> /qn" and
// first = second + " ", each within capacity. False (both emptied) when a
// line does not fit.
bool BuildInstallCommandLines(const char* msiexecPath, const char* msiPath, const char* options,
                              const char* transform, char* first, char* second, size_t capacity);

// Appends text to both lines; false (both unchanged) when it does not fit one.
bool AppendToBothLines(char* first, char* second, size_t capacity, const char* text);
