#pragma once
// The kit's one msiexec command line, built with bounded appends: a text
// that does not fit is refused whole, never cut.

#include <cstddef>
#include <cstdint>
#include <string>

// Finds the property NAME=value among the blank-separated arguments of
// options (a double-quoted stretch is one piece with its blanks). The name
// is matched exactly, as msiexec matches property names. The last one wins,
// as in msiexec. True with its value (quotes kept) in *value when found.
bool FindPassedProperty(const char* options, const char* name, std::string* value);

// What a silent run adds to the options (capacity bytes): " /qn" unless
// they hold "/qn" already, and " ADDLOCAL=PublickessaFeature,ToolsFeature"
// unless addLocalGiven. False, options unchanged, when that does not fit.
bool AppendSilentKitOptions(char* options, size_t capacity, bool addLocalGiven);

// "\"<msiexec>\" /i \"<package>\" <options> WRAPPER=1" for English (1033),
// else "\"<msiexec>\" /i \"<package>\" TRANSFORMS=:<langId> <options> WRAPPER=1",
// into out (capacity bytes). False, out emptied, when it does not fit.
bool BuildKitCommandLine(const char* msiexecPath, const char* msiPath, uint16_t langId, const char* options,
                         char* out, size_t capacity);
