#pragma once
// An unnamed Win32 mutex with scoped Lock and Unlock. The mutex is recursive
// for its owning thread: nested Locks of one thread form a stack and must
// end in reverse order.

#include <cstdint>

namespace ipc {

struct MutexTestAccess;

class Mutex {
public:
    class Lock;

    // Creates the mutex, not owned. Throws TdsError<PlatformError> at
    // "ipc::Mutex::create".
    Mutex();
    // Never throws. When Locks still hold the mutex, they are told so and the
    // outermost one closes the handle when it ends.
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Holds the mutex for its scope, on the thread that made it.
    class Lock {
    public:
        // Waits without limit for the mutex. Throws TdsError<PlatformError>
        // when the wait fails; nothing is held then.
        explicit Lock(Mutex& mutex);
        // Never throws; releases the mutex once.
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

        Mutex& mutex() const { return mutex_; }

    private:
        friend class Mutex;
        friend class Unlock;
        static constexpr uint32_t kAlive = 0x87654321u;
        static constexpr uint32_t kMutexDestroyed = 0x12345678u;

        void link();
        void unlink();

        Mutex& mutex_;
        void* handle_;
        uint32_t state_ = kAlive;
        Lock* previous_ = nullptr;
        uint32_t tid_;
    };

    // Lets go of a Lock for its scope and takes the mutex back (waiting
    // without limit) when it ends. The lock must be the innermost one of the
    // calling thread.
    class Unlock {
    public:
        // Throws TdsError<PlatformError> when the mutex cannot be released.
        explicit Unlock(Lock& lock);
        // Never throws.
        ~Unlock();
        Unlock(const Unlock&) = delete;
        Unlock& operator=(const Unlock&) = delete;

    private:
        Lock& lock_;
    };

private:
    friend struct MutexTestAccess;

    void* handle_;
    // The innermost Lock holding the mutex, or null.
    Lock* state_ = nullptr;
};

}  // namespace ipc
