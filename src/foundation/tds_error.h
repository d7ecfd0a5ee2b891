#pragma once
// Error types of the system: TdsError<E> stamps any error class with the
// site that threw it; SysError carries a failed Windows call's context and
// code in its text; the catch-site loggers report what a catch block caught.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "foundation/tstrings.h"

struct SourceLocation {
    SourceLocation(const char* file, const char* function, int32_t line)
        : file(file), function(function), line(line) {}
    const char* file;
    const char* function;
    int32_t line;
};

// The site of the expansion; the function name is the literal to show.
#define TDS_HERE(function) SourceLocation(__FILE__, (function), __LINE__)

// Base name of loc.file + "(" + line + ") at " + function + "(): " + e.what().
std::string makeErrorMessage(const std::exception& e, const SourceLocation& loc);
// The same from the error's own text.
std::string makeErrorMessage(const char* ownText, const SourceLocation& loc);

template <class E>
class TdsError : public E {
public:
    TdsError(const E& e, const SourceLocation& loc) : E(e), message_(makeErrorMessage(e, loc)) {}

    // Message constructors, for E = std::runtime_error. The base's own text is
    // read with a qualified (non-virtual) call: what() of this object would
    // read message_ before it exists.
    template <class X = E, class = std::enable_if_t<std::is_same<X, std::runtime_error>::value>>
    TdsError(const std::string& message, const SourceLocation& loc)
        : E(message), message_(makeErrorMessage(this->E::what(), loc)) {}
    template <class X = E, class = std::enable_if_t<std::is_same<X, std::runtime_error>::value>>
    TdsError(const char* message, const SourceLocation& loc)
        : E(message), message_(makeErrorMessage(this->E::what(), loc)) {}
    // The text gathered in a string stream.
    template <class Stream, class X = E,
              class = std::enable_if_t<std::is_same<X, std::runtime_error>::value &&
                                       tstrings::IsTextStream<Stream>::value>>
    TdsError(const Stream& message, const SourceLocation& loc)
        : E(tstrings::fromStream(message)), message_(makeErrorMessage(this->E::what(), loc)) {}

    ~TdsError() override = default;
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Joins two texts as sentences: the first without trailing white space, then
// " " after one of ";.,:!?" or ". " otherwise, then the second trimmed; no
// separator when either side is empty.
std::string appendSentence(const std::string& first, const std::string& second);

// A failed Windows call: context + "System error [<code>]". Always thrown as
// TdsError<SysError>.
class SysError : public std::runtime_error {
public:
    SysError(const std::string& context, uint32_t code);
    // The context gathered in a string stream.
    template <class Stream, class = std::enable_if_t<tstrings::IsTextStream<Stream>::value>>
    SysError(const Stream& context, uint32_t code) : SysError(tstrings::fromStream(context), code) {}
};

// Catch-site loggers, at ERROR with the catch site's location.
void logException(const SourceLocation& loc, const std::exception& error);
void logUnknownException(const SourceLocation& loc);

#define TDS_LOG_EXCEPTION(function, e) logException(TDS_HERE(function), (e))
#define TDS_LOG_UNKNOWN_EXCEPTION(function) logUnknownException(TDS_HERE(function))
