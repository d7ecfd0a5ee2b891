#pragma once
// The child test of ipc::Process::getChildren, for the tests.

#include <cstdint>

namespace ipc {
namespace process_internal {

// Whether a process list entry (entryId, naming entryParentId as its parent,
// started at entryStart) is a child of process pid, started at parentStart.
// Start times are FILETIME values; 0 stands for one that could not be read,
// and then only the ids decide. An entry that started before pid's process
// names an earlier process that had pid's id before it, not pid.
bool isChildEntry(uint32_t pid, uint64_t parentStart, uint32_t entryId, uint32_t entryParentId,
                  uint64_t entryStart);

}  // namespace process_internal
}  // namespace ipc
