#include "foundation/ipc/process.h"

#include <windows.h>

#include <tlhelp32.h>

#include "foundation/handle_release.h"
#include "foundation/ipc/errors.h"
#include "foundation/ipc/process_internal.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ipc {

namespace {

// The process's start time as a FILETIME value, or 0 when it cannot be read
// (the process has ended, or it may not be opened).
uint64_t startTime(uint32_t pid) {
    ScopedWin32Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    FILETIME created, exited, kernel, user;
    if (!process.get() || !GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

namespace process_internal {

bool isChildEntry(uint32_t pid, uint64_t parentStart, uint32_t entryId, uint32_t entryParentId,
                  uint64_t entryStart) {
    if (entryParentId != pid || entryId == pid)
        return false;
    return parentStart == 0 || entryStart == 0 || entryStart >= parentStart;
}

}  // namespace process_internal

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
    // Parent ids are never updated: a process whose parent has ended keeps
    // naming it, and the system gives that id to a new process in time. A
    // real child starts after its parent. Only the entries that name pid are
    // opened for their start time.
    const uint64_t parentStart = startTime(pid);
    std::vector<uint32_t> children;
    do {
        if (entry.th32ParentProcessID == pid &&
            process_internal::isChildEntry(pid, parentStart, entry.th32ProcessID, entry.th32ParentProcessID,
                                           startTime(entry.th32ProcessID)))
            children.push_back(entry.th32ProcessID);
        entry.dwSize = sizeof(entry);
    } while (Process32Next(snapshot.get(), &entry));
    return children;
}

}  // namespace ipc
