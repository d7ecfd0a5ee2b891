#pragma once
// Points the process log at a scratch file for the length of a scope, so a
// test can read the lines the code under test wrote.

#include <string>

#include "common/files.h"
#include "common/test_util.h"
#include "foundation/logger_internal.h"

namespace testutil {

class LogCapture {
public:
    LogCapture() : dir_("log"), original_(Logger::getInstance().path()) {
        LoggerTestAccess::setPath(dir_.file("capture.log"));
    }
    ~LogCapture() { LoggerTestAccess::setPath(original_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const {
        return fileExists(dir_.file("capture.log")) ? readFileText(dir_.file("capture.log")) : std::string();
    }
    bool contains(const std::string& fragment) const { return text().find(fragment) != std::string::npos; }

private:
    ScratchDir dir_;
    std::string original_;
};

}  // namespace testutil
