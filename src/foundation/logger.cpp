#include "foundation/logger.h"

#include <utility>

#include "foundation/file_utils.h"
#include "foundation/logger_internal.h"
#include "foundation/tstrings.h"

namespace {

const char kLogFileName[] = "tusched.log";

std::function<void(unsigned)>& retrySleepHook() {
    static std::function<void(unsigned)> hook;
    return hook;
}

}  // namespace

namespace logger_internal {
void setRetrySleepHookForTesting(std::function<void(unsigned)> hook) {
    retrySleepHook() = std::move(hook);
}
}  // namespace logger_internal

Logger::Logger()
    // Same order as the start-up objects of the launchers: file name, path,
    // then the process name.
    : path_(logger_internal::defaultLogPath(kLogFileName)),
      processName_(logger_internal::processName()) {}

Logger& Logger::getInstance() {
    static Logger instance;
    return instance;
}

const char* Logger::levelName(int32_t level) {
    switch (level) {
    case TRACE: return "TRACE";
    case INFO: return "INFO";
    case WARNING: return "WARNING";
    case ERROR_LEVEL: return "ERROR";
    default: return "UNKNOWN";
    }
}

void Logger::write(int32_t level, const char* file, uint32_t line, const char* function,
                   const std::string& message) const {
    if (path_.empty())
        return;
    const logger_internal::LocalTime t = logger_internal::localTime();
    const std::string text = tstrings::format(
        "[%04u/%02u/%02u %02u:%02u:%02u.%03u, %s (PID: %u, TID: %u), %s:%u (%s)]\n\t%s: %s\n",
        t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond,
        processName_.c_str(), logger_internal::currentProcessId(),
        logger_internal::currentThreadId(), FileUtils::basename(file ? file : "").c_str(),
        line, function ? function : "", levelName(level), message.c_str());

    // No lock: the file's deny-write sharing keeps lines whole, and a writer
    // that finds the file taken tries again a little later.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = logger_internal::openForAppend(path_);
        if (fd != -1) {
            logger_internal::writeAndClose(fd, text);
            return;
        }
        if (retrySleepHook())
            retrySleepHook()(1);
        else
            logger_internal::sleepMilliseconds(1);
    }
}

void Logger::write(int32_t level, const char* file, uint32_t line, const char* function,
                   const char* message) const {
    write(level, file, line, function, std::string(message ? message : ""));
}

// The utility unit's own location, as the log has always shown it.
static const char kUtilityUnit[] = "install/src/windows/common/AllUtils";

void logit(const char* message) {
    const Logger& logger = Logger::getInstance();
    if (logger.isEnabled(Logger::INFO))
        logger.write(Logger::INFO, kUtilityUnit, 141, "logit", message);
}

void logit(const std::string& message) {
    const Logger& logger = Logger::getInstance();
    if (logger.isEnabled(Logger::INFO))
        logger.write(Logger::INFO, kUtilityUnit, 145, "logit", message);
}

FunctionTracer::FunctionTracer(const Logger& logger, int32_t level, const char* file,
                               uint32_t line, const char* function, std::string text)
    : logger_(logger), level_(level), enabled_(logger.isEnabled(level)),
      file_(file ? file : ""), line_(line), function_(function ? function : ""),
      text_(std::move(text)) {
    if (enabled_)
        logger_.write(level_, file_.c_str(), line_, function_.c_str(), "Entering " + text_);
}

FunctionTracer::~FunctionTracer() {
    if (!enabled_)
        return;
    try {
        logger_.write(level_, file_.c_str(), 0, function_.c_str(),
                      "Exiting " + text_ + " (entered at " + FileUtils::basename(file_) + ":" +
                          tstrings::toString(static_cast<unsigned long>(line_)) + ")");
    } catch (...) {
        // Out of memory while leaving a scope: the exit line is lost, nothing more.
    }
}
