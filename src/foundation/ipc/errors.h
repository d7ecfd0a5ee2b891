#pragma once
// The errors of the ipc classes. They carry no Win32 error code: they are
// always thrown as TdsError<PlatformError> or TdsError<TimeoutExpiredError>
// stamped with the failing site, and the failed call is logged there.

#include <exception>

namespace ipc {

class Error : public std::exception {
public:
    const char* what() const noexcept override { return "ipc error"; }
};

// A Win32 call failed.
class PlatformError : public Error {};

// A wait ran out of time.
class TimeoutExpiredError : public Error {};

}  // namespace ipc
