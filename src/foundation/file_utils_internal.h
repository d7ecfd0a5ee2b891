#pragma once
// Seams of FileUtils for tests.

#include <cstdint>
#include <functional>
#include <string>

namespace fileutils_internal {
// Replaces GetTickCount in createTempFile (nullptr restores it).
void setTickCountHookForTesting(std::function<uint32_t()> hook);
// Called by deleteFile in place of DeleteFileA, with the same answer and last
// error (nullptr restores it): a test opens the file there, as a virus
// scanner would, before it deletes it.
void setDeleteFileHookForTesting(std::function<bool(const std::string& path)> hook);
}  // namespace fileutils_internal
