#pragma once
// Environment variables of a test process: reading one, and setting one for
// the length of a scope (children started meanwhile inherit it). Header
// only, plain Win32, so the doubles read their variables without any
// library.

#include <windows.h>

#include <string>

#include "common/text_conversion.h"

namespace testutil {

// The value of the variable name; empty when it is not set (or set empty).
inline std::wstring environmentValue(const wchar_t* name) {
    for (DWORD size = 256;;) {
        std::wstring value(size, L'\0');
        const DWORD got = GetEnvironmentVariableW(name, &value[0], size);
        if (got == 0)
            return std::wstring();
        if (got < size) {
            value.resize(got);
            return value;
        }
        // Too small: got is the size the value needs, with its terminator.
        size = got;
    }
}
inline std::string environmentValue(const char* name) { return toAnsi(environmentValue(fromAnsi(name).c_str())); }

// Sets (or removes) one variable of this process and puts back what it was
// (or removes it again) when the scope ends; set and unset may change it
// again meanwhile. The variable is process-wide: a test that starts children
// while another thread changes it gets either value.
class ScopedEnvironment {
public:
    // Leaves the variable as it is until set or unset.
    explicit ScopedEnvironment(const std::wstring& name) : name_(name) {
        const DWORD size = GetEnvironmentVariableW(name_.c_str(), nullptr, 0);
        if (size == 0)
            return;
        std::wstring old(size, L'\0');
        const DWORD got = GetEnvironmentVariableW(name_.c_str(), &old[0], size);
        if (got < size) {
            old.resize(got);
            old_ = old;
            had_ = true;
        }
    }
    explicit ScopedEnvironment(const std::string& name) : ScopedEnvironment(fromAnsi(name)) {}
    ScopedEnvironment(const std::wstring& name, const std::wstring& value) : ScopedEnvironment(name) { set(value); }
    ScopedEnvironment(const std::string& name, const std::string& value) : ScopedEnvironment(fromAnsi(name)) {
        set(value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Gives the variable value (an empty value stays set, empty); false when
    // the system refused it.
    bool set(const std::wstring& value) { return SetEnvironmentVariableW(name_.c_str(), value.c_str()) != FALSE; }
    bool set(const std::string& value) { return set(fromAnsi(value)); }
    // Removes the variable.
    void unset() { SetEnvironmentVariableW(name_.c_str(), nullptr); }

private:
    std::wstring name_;
    std::wstring old_;
    bool had_ = false;
};

}  // namespace testutil
