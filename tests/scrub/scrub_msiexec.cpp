// A scriptable stand-in for msiexec.exe, built as "msiexec.exe" in a folder
// of its own. Environment:
//   SCRUB_MSIEXEC_LOG    file to append "<own path>|<command line>" lines to
//   SCRUB_MSIEXEC_EXITS  "<product code>=<exit code>;..." for "/x <code>" runs
//   SCRUB_MSIEXEC_EXIT   exit code of any other run (default 1605)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/scoped_environment.h"

using testutil::environmentValue;

int main() {
    const std::string commandLine = GetCommandLineA();
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string log = environmentValue("SCRUB_MSIEXEC_LOG");
    if (!log.empty()) {
        FILE* f = fopen(log.c_str(), "ab");
        if (f) {
            fprintf(f, "%s|%s\n", self, commandLine.c_str());
            fclose(f);
        }
    }
    std::string code;
    const size_t x = commandLine.find(" /x ");
    if (x != std::string::npos) {
        code = commandLine.substr(x + 4);
        code = code.substr(0, code.find(' '));
    }
    const std::string exits = environmentValue("SCRUB_MSIEXEC_EXITS");
    if (!code.empty()) {
        const size_t at = exits.find(code + "=");
        if (at != std::string::npos)
            return static_cast<int>(strtoul(exits.c_str() + at + code.size() + 1, nullptr, 10));
    }
    const std::string fallback = environmentValue("SCRUB_MSIEXEC_EXIT");
    return fallback.empty() ? 1605 : static_cast<int>(strtoul(fallback.c_str(), nullptr, 10));
}
