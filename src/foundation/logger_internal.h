#pragma once
// Seams of the logger for tests and the platform layer behind it.

#include <cstdint>
#include <functional>
#include <string>

#include "foundation/logger.h"

namespace logger_internal {

// The platform half (logger_platform_*.cpp).
struct LocalTime {
    unsigned year, month, day, hour, minute, second, millisecond;
};
LocalTime localTime();
uint32_t currentProcessId();
uint32_t currentThreadId();
// Opens the log for appending in text mode, denying other writers; -1 on failure.
int openForAppend(const std::string& path);
void writeAndClose(int fd, const std::string& text);
// The temporary folder joined with the file name; empty when unknown.
std::string defaultLogPath(const char* fileName);
// The base name of the program's own file, "Unknown" when it cannot be read.
std::string processName();
void sleepMilliseconds(unsigned ms);

// Replaces the 1 ms sleep between open attempts (nullptr restores it).
void setRetrySleepHookForTesting(std::function<void(unsigned)> hook);

}  // namespace logger_internal

// Lets tests point the logger elsewhere; the launchers never change it.
struct LoggerTestAccess {
    static void setPath(const std::string& path) { Logger::getInstance().path_ = path; }
};
