// Stand-in for the runtime's deployment library "stager.dll": exports
// RegisterStagerEx(request, result) and answers as the calling process's
// environment says, read at every call:
//   TDS_STAGER_ANSWER  the answer written to byte 44 of the first answer
//                      record (decimal, may be negative; default 1)
//   TDS_STAGER_STATUS  the value returned (default 1)
//   TDS_STAGER_LOG     file that gets one line per call:
//     "request=<11 words> result=<zero>,<count>,<reserved> answers-zero=<0|1>
//      runtime=<path of the loaded msvcr100.dll>"
// A request that is not 44 bytes, or a result without an answer record,
// is refused (returns 0) after its line is logged.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/scoped_environment.h"

extern "C" __declspec(dllimport) int tdsRuntimeMarker();

namespace {

long numberOr(const char* name, long fallback) {
    const std::string text = testutil::environmentValue(name);
    if (text.empty())
        return fallback;
    return std::strtol(text.c_str(), nullptr, 10);
}

uint32_t word(const unsigned char* bytes, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

}  // namespace

extern "C" __declspec(dllexport) int32_t WINAPI RegisterStagerEx(void* request, void* result) {
    if (!request || !result)
        return 0;
    const unsigned char* req = static_cast<const unsigned char*>(request);
    unsigned char* res = static_cast<unsigned char*>(result);
    const uint32_t size = word(req, 0);
    const uint32_t count = word(res, 4);
    unsigned char* answers = nullptr;
    std::memcpy(&answers, res + 16, sizeof answers);

    std::string line = "request=";
    const size_t words = size == 44 ? 11 : 1;
    for (size_t i = 0; i < words; ++i) {
        line += std::to_string(word(req, i * 4));
        if (i + 1 < words)
            line += ",";
    }
    uint64_t reserved = 0;
    std::memcpy(&reserved, res + 8, sizeof reserved);
    line += " result=" + std::to_string(word(res, 0)) + "," + std::to_string(count) + "," +
            std::to_string(reserved);
    bool zero = answers != nullptr;
    for (uint32_t r = 0; answers && r < count; ++r)
        for (size_t b = 0; b < 48; ++b)
            zero = zero && answers[r * 48 + b] == 0;
    line += std::string(" answers-zero=") + (zero ? "1" : "0");
    char runtime[MAX_PATH] = {};
    HMODULE crt = GetModuleHandleA("msvcr100.dll");
    if (crt && tdsRuntimeMarker() == 100)
        GetModuleFileNameA(crt, runtime, MAX_PATH);
    line += std::string(" runtime=") + runtime + "\r\n";

    const std::string logPath = testutil::environmentValue("TDS_STAGER_LOG");
    if (!logPath.empty()) {
        FILE* log = std::fopen(logPath.c_str(), "ab");
        if (log) {
            std::fwrite(line.data(), 1, line.size(), log);
            std::fclose(log);
        }
    }
    if (size != 44 || count < 1 || !answers)
        return 0;
    const int32_t answer = static_cast<int32_t>(numberOr("TDS_STAGER_ANSWER", 1));
    std::memcpy(answers + 44, &answer, sizeof answer);
    return static_cast<int32_t>(numberOr("TDS_STAGER_STATUS", 1));
}
