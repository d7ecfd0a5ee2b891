#pragma once
// An owned, loaded library and lookups of its functions.

#include <windows.h>

#include <string>

class Dll {
public:
    struct System {};

    // Loads the library at path. Throws TdsError<SysError>
    // "LoadLibraryW(<path>) failed. System error [<code>]".
    explicit Dll(const std::wstring& path);
    // Loads the copy of a system library (by name) from the system folder only.
    Dll(const std::wstring& name, System);
    ~Dll();
    Dll(const Dll&) = delete;
    Dll& operator=(const Dll&) = delete;

    // The function's address; null when missing and !throwIfMissing, else throws
    // TdsError<SysError> "GetProcAddress(<path>, <name>) failed. System error [...]".
    FARPROC getFunction(const std::string& name, bool throwIfMissing) const;

    template <class Fn>
    Fn getFunction(const std::string& name, bool throwIfMissing) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(getFunction(name, throwIfMissing)));
    }

    HMODULE handle() const { return module_; }

private:
    void load();

    HMODULE module_ = nullptr;
    bool loaded_ = false;
    std::wstring path_;
};
