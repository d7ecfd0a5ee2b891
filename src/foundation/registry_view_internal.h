#pragma once
// Seam of the registry view for tests: there is no 32-bit Wine here.

namespace registry_view_internal {
// 1 or 0 makes IsRunning32Bit answer that; -1 restores the real answer.
void setRunning32BitForTesting(int value);
}  // namespace registry_view_internal
