#pragma once
// Seams of FileUtils for tests.

#include <cstdint>
#include <functional>

namespace fileutils_internal {
// Replaces GetTickCount in createTempFile (nullptr restores it).
void setTickCountHookForTesting(std::function<uint32_t()> hook);
}  // namespace fileutils_internal
