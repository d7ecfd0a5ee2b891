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
};

}  // namespace ipc
