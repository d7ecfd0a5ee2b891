#pragma once
// Units of work and the threads that run them.

#include <cstdint>
#include <memory>

namespace ipc {

// A unit of work that a thread runs.
class Runnable {
public:
    virtual ~Runnable() = default;
    virtual void run() = 0;
};

// Runs another Runnable that it owns, then deletes itself (and with it the
// held object), also when run() throws. Made only with new.
class RunnableOwner : public Runnable {
public:
    explicit RunnableOwner(Runnable* held) : held_(held) {}
    ~RunnableOwner() override { delete held_; }
    RunnableOwner(const RunnableOwner&) = delete;
    RunnableOwner& operator=(const RunnableOwner&) = delete;
    void run() override;

private:
    Runnable* held_;
};

// A thread known by its Win32 id; kNoThread means "no thread". A thread
// started here also keeps its handle (shared by copies), so joining it stays
// correct after it has ended and its id may have been given to another
// thread. A value built from a bare id reopens the thread by id.
class Thread {
public:
    static constexpr uint32_t kNoThread = 0xFFFFFFFFu;

    Thread() = default;
    explicit Thread(uint32_t id) : id_(id) {}

    uint32_t getId() const { return id_; }
    bool isThread() const { return id_ != kNoThread; }

    // The calling thread, by id.
    static Thread getCurrent();
    // Sleep(ms).
    static void sleep(uint32_t ms);

    // Starts runnable on a new thread at once; "no thread" for a null
    // runnable. With owned true the thread deletes the runnable once run()
    // has returned (or thrown). Throws TdsError<PlatformError> at
    // "ipc::Thread::start" when the thread cannot be started; an owned
    // runnable is deleted then.
    static Thread start(Runnable* runnable, bool owned);

    // Waits until the thread has ended, checking every min(timeoutMs, 100)
    // ms; timeoutMs 0xFFFFFFFF (INFINITE) waits without limit. Throws
    // TdsError<TimeoutExpiredError> when the time runs out and
    // TdsError<PlatformError> when the thread cannot be opened or queried
    // ("no thread" cannot be opened).
    void join(uint32_t timeoutMs) const;

private:
    uint32_t id_ = kNoThread;
    std::shared_ptr<void> handle_;
};

// WaitForSingleObject: returns when the object is signalled or abandoned;
// throws TdsError<TimeoutExpiredError> on a time-out and
// TdsError<PlatformError> when the wait fails, both at
// "ipc::waitForSingleObject".
void waitForSingleObject(void* handle, uint32_t timeoutMs);

}  // namespace ipc
