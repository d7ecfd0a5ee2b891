#include "foundation/registry_view.h"

#include <atomic>

#include "foundation/registry_view_internal.h"
#include "foundation/sys_info.h"

namespace {
std::atomic<int> running32BitOverride{-1};
}

namespace registry_view_internal {
void setRunning32BitForTesting(int value) { running32BitOverride = value; }
}  // namespace registry_view_internal

bool IsRunning32Bit() {
    const int forced = running32BitOverride;
    if (forced >= 0)
        return forced != 0;
    return SysInfo::is32BitProcessOrSystem();
}

REGSAM GetSystemViewRegAccess(bool write) {
    const REGSAM view = IsRunning32Bit() ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    return view | (write ? KEY_WRITE : KEY_READ);
}
