#include "foundation/tds_error.h"

#include <cctype>

#include "foundation/file_utils.h"
#include "foundation/logger.h"
#include "foundation/tstrings.h"

std::string makeErrorMessage(const char* ownText, const SourceLocation& loc) {
    return FileUtils::basename(loc.file ? loc.file : "") + "(" +
           tstrings::toString(static_cast<int32_t>(loc.line)) + ") at " +
           (loc.function ? loc.function : "") + "(): " + (ownText ? ownText : "");
}

std::string makeErrorMessage(const std::exception& e, const SourceLocation& loc) {
    return makeErrorMessage(e.what(), loc);
}

namespace {
bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}  // namespace

std::string appendSentence(const std::string& first, const std::string& second) {
    std::string out = first;
    while (!out.empty() && isSpace(out.back()))
        out.pop_back();
    std::string separator;
    if (!out.empty())
        separator = std::string(";.,:!?").find(out.back()) != std::string::npos ? " " : ". ";
    size_t b = 0, e = second.size();
    while (b < e && isSpace(second[b]))
        ++b;
    while (e > b && isSpace(second[e - 1]))
        --e;
    if (e == b)
        return out;
    return out + separator + second.substr(b, e - b);
}

SysError::SysError(const std::string& context, uint32_t code)
    : std::runtime_error(appendSentence(
          context, "System error [" + tstrings::toString(static_cast<unsigned long>(code)) + "]")) {}

void logException(const SourceLocation& loc, const std::exception& error) {
    const std::string base = FileUtils::basename(loc.file ? loc.file : "");
    Logger::getInstance().write(Logger::ERROR_LEVEL, base.c_str(), static_cast<uint32_t>(loc.line),
                                loc.function ? loc.function : "",
                                std::string("Exception with message '") + error.what() + "' caught");
}

void logUnknownException(const SourceLocation& loc) {
    const std::string base = FileUtils::basename(loc.file ? loc.file : "");
    Logger::getInstance().write(Logger::ERROR_LEVEL, base.c_str(), static_cast<uint32_t>(loc.line),
                                loc.function ? loc.function : "", "Unknown exception caught");
}
