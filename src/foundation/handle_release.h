#pragma once
// Release functions for Windows, internet and registry handles, and the
// owning holder that calls one of them exactly once.

#include <windows.h>

#include <utility>

typedef void* InternetHandle;  // HINTERNET without pulling in wininet.h

// CloseHandle unless the handle is null or INVALID_HANDLE_VALUE (the two
// invalid values that different creating calls answer).
void closeWin32Handle(HANDLE handle);
// InternetCloseHandle unless null.
void closeInternetHandle(InternetHandle handle);
// RegCloseKey unless null.
void closeRegKey(HKEY key);

// Owns one handle and releases it when destroyed, unless release() passed
// ownership on. Move-only.
template <class H, void (*Release)(H)>
class ScopedHolder {
public:
    explicit ScopedHolder(H handle = H()) : handle_(handle) {}
    ~ScopedHolder() { Release(handle_); }
    ScopedHolder(ScopedHolder&& other) noexcept : handle_(other.release()) {}
    ScopedHolder& operator=(ScopedHolder&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ScopedHolder(const ScopedHolder&) = delete;
    ScopedHolder& operator=(const ScopedHolder&) = delete;

    H get() const { return handle_; }
    // Gives up ownership; the holder then holds nothing.
    H release() { return std::exchange(handle_, H()); }
    // Releases the current handle and takes the new one.
    void reset(H handle = H()) { Release(std::exchange(handle_, handle)); }

private:
    H handle_;
};

using ScopedWin32Handle = ScopedHolder<HANDLE, closeWin32Handle>;
using ScopedInternetHandle = ScopedHolder<InternetHandle, closeInternetHandle>;
using ScopedRegKey = ScopedHolder<HKEY, closeRegKey>;
