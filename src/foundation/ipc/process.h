#pragma once
// The current process and its child processes.

#include <cstdint>
#include <vector>

namespace ipc {

class Process {
public:
    // GetCurrentProcessId().
    static uint32_t getCurrent();
    // The ids of the processes whose parent id is pid, in snapshot order;
    // empty when there are none. A process that was started before pid's
    // process is left out: it names as its parent an earlier process that
    // has ended and whose id the system gave out again. Throws
    // TdsError<PlatformError> at "ipc::Process::getChildren" when the
    // process list cannot be read.
    static std::vector<uint32_t> getChildren(uint32_t pid);
};

}  // namespace ipc
