#pragma once
// The running program's path and the files beside it (where the build puts
// the helper programs and doubles): header only, plain Win32, so the
// doubles find their own folder without any library.

#include <windows.h>

#include <string>

#include "common/text_conversion.h"

namespace testutil {

// The running program's own path; empty when the system cannot tell it.
inline std::wstring selfPathWide() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (got == 0)
            return std::wstring();
        // A path that fills the buffer was cut: GetModuleFileName answers the
        // buffer size then, with or without an error.
        if (got < path.size()) {
            path.resize(got);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// selfPathWide in the ANSI code page.
inline std::string selfPath() { return toAnsi(selfPathWide()); }

// The folder of the running program, without a trailing backslash; empty
// when the system cannot tell the program's path.
inline std::wstring exeDirWide() {
    const std::wstring self = selfPathWide();
    const size_t slash = self.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : self.substr(0, slash);
}
inline std::string exeDir() { return toAnsi(exeDirWide()); }

// name (a file or a relative path) in the running program's folder.
inline std::wstring besideExe(const std::wstring& name) { return exeDirWide() + L"\\" + name; }
inline std::string besideExe(const std::string& name) { return exeDir() + "\\" + name; }

}  // namespace testutil
