#include "foundation/ipc/conditional.h"

#include <windows.h>

#include "foundation/handle_release.h"
#include "foundation/ipc/assertion.h"
#include "foundation/ipc/conditional_internal.h"
#include "foundation/ipc/errors.h"
#include "foundation/ipc/thread.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace ipc {

Conditional::Impl::AfterEventWait Conditional::Impl::afterEventWait = nullptr;
void* Conditional::Impl::afterEventWaitContext = nullptr;

Conditional::Conditional() : impl_(new Impl(*this)) {}

Conditional::~Conditional() = default;

void Conditional::wait(Mutex::Lock& lock, uint32_t timeoutMs) {
    TDS_ASSERT(&lock.mutex() == &mutex_, "&lock.mutex() == &mutex");
    impl_->wait(lock, timeoutMs);
}

void Conditional::notifyOne() { impl_->notify(true); }

void Conditional::notifyAll() { impl_->notify(false); }

void Conditional::Impl::unlink(Waiter& waiter) {
    waiter.previous->next = waiter.next;
    waiter.next->previous = waiter.previous;
    waiter.previous = waiter.next = &waiter;
}

size_t Conditional::Impl::waiterCount() {
    Mutex::Lock guard(listMutex_);
    size_t count = 0;
    for (Waiter* w = head_.next; w != &head_; w = w->next)
        ++count;
    return count;
}

void Conditional::Impl::wait(Mutex::Lock& lock, uint32_t timeoutMs) {
    Waiter waiter;
    ScopedWin32Handle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (event.get() == nullptr) {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("ipc::Conditional::Impl::wait", "%s failed with %s", "CreateEventA",
                      formatSystemError(error).c_str());
        throw TdsError<PlatformError>(PlatformError(), TDS_HERE("ipc::Conditional::Impl::wait"));
    }
    waiter.event = event.get();
    {
        // Taken inside the caller's mutex: the one allowed order.
        Mutex::Lock guard(listMutex_);
        waiter.previous = head_.previous;
        waiter.next = &head_;
        head_.previous->next = &waiter;
        head_.previous = &waiter;
    }
    // A notify between here and the wait is kept by the manual-reset event.
    Mutex::Unlock unlock(lock);
    // True when a notify took the waiter off the list: from then on the
    // wake-up is this waiter's, whatever its own wait answered.
    bool notified = false;
    auto leaveList = [&] {
        if (afterEventWait)
            afterEventWait(afterEventWaitContext);
        Mutex::Lock guard(listMutex_);
        notified = waiter.next == &waiter;
        if (!notified)
            unlink(waiter);
        waiter.event = nullptr;
        event.reset();
    };
    try {
        waitForSingleObject(waiter.event, timeoutMs);
    } catch (const TimeoutExpiredError&) {
        leaveList();
        // A notify that came as the time ran out has unlinked this waiter
        // and will wake no other: reporting a time-out would lose it.
        if (notified)
            return;
        throw;  // ~Unlock takes the caller's mutex back first
    } catch (...) {
        leaveList();
        throw;
    }
    leaveList();
}

void Conditional::Impl::notify(bool one) {
    for (;;) {
        Mutex::Lock guard(listMutex_);
        if (head_.next == &head_)
            return;
        Waiter* w = head_.next;
        TDS_ASSERT(w->event != nullptr, "w->event");
        if (!SetEvent(w->event)) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("ipc::Conditional::Impl::notify", "%s failed with %s", "SetEvent",
                          formatSystemError(error).c_str());
            throw TdsError<PlatformError>(PlatformError(), TDS_HERE("ipc::Conditional::Impl::notify"));
        }
        unlink(*w);
        Sleep(0);
        if (one)
            return;
    }
}

}  // namespace ipc
