#pragma once
// The process-wide log: every line is appended to "tusched.log" in the user's
// temporary folder, one open-append-close per line.

#include <cstdint>
#include <string>

#include "foundation/tstrings.h"

class Logger {
public:
    enum Level : int32_t { TRACE = 0, INFO = 1, WARNING = 2, ERROR_LEVEL = 3 };

    // The one logger of the process; its path and the process name are worked
    // out on first use.
    static Logger& getInstance();

    // True when a message of this level is written (level >= threshold).
    bool isEnabled(int32_t level) const { return level >= threshold_; }

    // Appends one line. Never throws except for memory exhaustion; a line the
    // file cannot take after ten tries is dropped.
    void write(int32_t level, const char* file, uint32_t line, const char* function,
               const std::string& message) const;
    void write(int32_t level, const char* file, uint32_t line, const char* function,
               const char* message) const;
    // The text gathered in a string stream (tstrings::fromStream).
    template <class Stream, class = std::enable_if_t<tstrings::IsTextStream<Stream>::value>>
    void write(int32_t level, const char* file, uint32_t line, const char* function,
               const Stream& message) const {
        write(level, file, line, function, tstrings::fromStream(message));
    }

    // The log file's full path; empty switches logging off.
    const std::string& path() const { return path_; }

    // Level names as they appear in the log ("UNKNOWN" for other values).
    static const char* levelName(int32_t level);

private:
    Logger();
    friend struct LoggerTestAccess;

    int32_t threshold_ = 0;
    std::string path_;
    std::string processName_;
};

// Logs message at INFO from the foundation's utility unit.
void logit(const char* message);
void logit(const std::string& message);

// Logs "Entering <text>" when built and "Exiting <text> (entered at
// <file>:<line>)" when it ends, both at the given level.
class FunctionTracer {
public:
    FunctionTracer(const Logger& logger, int32_t level, const char* file, uint32_t line,
                   const char* function, std::string text);
    ~FunctionTracer();
    FunctionTracer(const FunctionTracer&) = delete;
    FunctionTracer& operator=(const FunctionTracer&) = delete;

private:
    const Logger& logger_;
    int32_t level_;
    bool enabled_;
    std::string file_;
    uint32_t line_;
    std::string function_;
    std::string text_;
};

// Logs a message built by tstrings::format, only when the level is enabled.
// The function name is the literal the log should show.
#define TDS_LOG(level, function, ...)                                              \
    do {                                                                           \
        const Logger& tdsLogger_ = Logger::getInstance();                          \
        if (tdsLogger_.isEnabled(level))                                           \
            tdsLogger_.write((level), __FILE__, __LINE__, (function),              \
                             tstrings::format(__VA_ARGS__));                       \
    } while (0)

#define TDS_LOG_TRACE(function, ...) TDS_LOG(Logger::TRACE, function, __VA_ARGS__)
#define TDS_LOG_INFO(function, ...) TDS_LOG(Logger::INFO, function, __VA_ARGS__)
#define TDS_LOG_WARNING(function, ...) TDS_LOG(Logger::WARNING, function, __VA_ARGS__)
#define TDS_LOG_ERROR(function, ...) TDS_LOG(Logger::ERROR_LEVEL, function, __VA_ARGS__)
