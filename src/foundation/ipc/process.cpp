#include "foundation/ipc/process.h"

#include <windows.h>

#include <tlhelp32.h>

#include "foundation/handle_release.h"
#include "foundation/ipc/errors.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ipc {

uint32_t Process::getCurrent() { return GetCurrentProcessId(); }

std::vector<uint32_t> Process::getChildren(uint32_t pid) {
    // CreateToolhelp32Snapshot fails with INVALID_HANDLE_VALUE, not NULL;
    // the holder closes neither.
    ScopedWin32Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("ipc::Process::getChildren", "%s failed with %s", "CreateToolhelp32Snapshot",
                      formatSystemError(error).c_str());
        throw TdsError<PlatformError>(PlatformError(), TDS_HERE("ipc::Process::getChildren"));
    }
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    if (!Process32First(snapshot.get(), &entry)) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("ipc::Process::getChildren", "%s failed with %s", "Process32First",
                      formatSystemError(error).c_str());
        throw TdsError<PlatformError>(PlatformError(), TDS_HERE("ipc::Process::getChildren"));
    }
    std::vector<uint32_t> children;
    do {
        if (entry.th32ParentProcessID == pid)
            children.push_back(entry.th32ProcessID);
        entry.dwSize = sizeof(entry);
    } while (Process32Next(snapshot.get(), &entry));
    return children;
}

}  // namespace ipc
