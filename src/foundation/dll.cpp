#include "foundation/dll.h"

#include "foundation/file_utils.h"
#include "foundation/sys_info.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {
std::string utf8OrEmpty(const std::wstring& text) {
    try {
        return tstrings::toUtf8(text);
    } catch (const std::exception&) {
        return std::string();
    }
}
}  // namespace

Dll::Dll(const std::wstring& path) : path_(path) { load(); }

Dll::Dll(const std::wstring& name, System)
    // A full path: the loader never searches the program's own folder or the
    // current folder, where a planted copy could wait.
    : path_(tstrings::toUtf16(FileUtils::combinePath(SysInfo::getSystem32Dir(), utf8OrEmpty(name)))) {
    load();
}

void Dll::load() {
    module_ = LoadLibraryW(path_.c_str());
    if (!module_) {
        const DWORD error = GetLastError();
        throw TdsError<SysError>(SysError("LoadLibraryW(" + utf8OrEmpty(path_) + ") failed", error),
                                 TDS_HERE("Dll::Dll"));
    }
    loaded_ = true;
}

Dll::~Dll() {
    if (module_)
        FreeLibrary(module_);
}

FARPROC Dll::getFunction(const std::string& name, bool throwIfMissing) const {
    FARPROC fn = GetProcAddress(module_, name.c_str());
    if (!fn && throwIfMissing) {
        const DWORD error = GetLastError();
        throw TdsError<SysError>(
            SysError("GetProcAddress(" + utf8OrEmpty(path_) + ", " + name + ") failed", error),
            TDS_HERE("Dll::getFunction"));
    }
    return fn;
}
