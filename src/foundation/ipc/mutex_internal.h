#pragma once
// The Win32 handle of an ipc::Mutex, for tests that follow what becomes of it.

#include "foundation/ipc/mutex.h"

namespace ipc {

struct MutexTestAccess {
    // The mutex's handle, owned by the mutex (or by its Locks once it is gone).
    static void* handle(const Mutex& mutex) { return mutex.handle_; }
};

}  // namespace ipc
