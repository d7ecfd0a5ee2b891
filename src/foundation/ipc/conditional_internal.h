#pragma once
// The waiter list of ipc::Conditional, for tests that check it.

#include "foundation/ipc/conditional.h"

namespace ipc {

class Conditional::Impl {
public:
    struct Waiter {
        Waiter* previous = this;
        Waiter* next = this;
        void* event = nullptr;
    };

    // Called on a waiting thread once its event wait has ended (woken or
    // timed out), before it leaves the list; null in production.
    using AfterEventWait = void (*)(void* context);
    static AfterEventWait afterEventWait;
    static void* afterEventWaitContext;

    explicit Impl(Conditional& owner) : owner_(owner) {}
    void wait(Mutex::Lock& lock, uint32_t timeoutMs);
    void notify(bool one);
    // The number of threads on the list (takes the list mutex).
    size_t waiterCount();

private:
    static void unlink(Waiter& waiter);

    Conditional& owner_;
    Waiter head_;
    Mutex listMutex_;
};

// Test access to a conditional's waiter list.
struct ConditionalTestAccess {
    static size_t waiterCount(Conditional& c) { return c.impl_->waiterCount(); }
    // Runs hook(context) on every waiting thread between the end of its
    // event wait and its leaving the list: a notify there races the time-out.
    // Null removes it.
    static void setAfterEventWait(Conditional::Impl::AfterEventWait hook, void* context) {
        Conditional::Impl::afterEventWaitContext = context;
        Conditional::Impl::afterEventWait = hook;
    }
};

}  // namespace ipc
