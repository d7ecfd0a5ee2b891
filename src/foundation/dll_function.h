#pragma once
// A function of a loaded library, bound by name at run time. Calling it when
// the library lacks it throws instead of jumping through a null pointer.

#include <stdexcept>
#include <string>

#include "foundation/dll.h"
#include "foundation/tds_error.h"

template <class Fn>
class DllFunction {
public:
    // Looks the function up; a missing function leaves it unbound.
    DllFunction(const Dll& dll, const std::string& name)
        : name_(name), function_(dll.getFunction<Fn>(name, false)) {}

    bool isAvailable() const { return function_ != nullptr; }
    Fn get() const { return function_; }

    // Calls the function. Throws TdsError<std::runtime_error>
    // "function <name> is not available" when it is unbound.
    template <class... Args>
    auto operator()(Args... args) const -> decltype(std::declval<Fn>()(args...)) {
        if (!function_)
            throw TdsError<std::runtime_error>("function " + name_ + " is not available",
                                               TDS_HERE("DllFunction::operator ()"));
        return function_(args...);
    }

private:
    std::string name_;
    Fn function_;
};
