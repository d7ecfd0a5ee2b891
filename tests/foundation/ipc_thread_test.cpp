// Threads, the mutex with its scoped locks, and the conditional.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "common/log_capture.h"
#include "common/test_util.h"
#include "foundation/ipc/conditional.h"
#include "foundation/ipc/conditional_internal.h"
#include "foundation/ipc/errors.h"
#include "foundation/ipc/mutex.h"
#include "foundation/ipc/mutex_internal.h"
#include "foundation/ipc/thread.h"
#include "foundation/tds_error.h"

namespace {

using ipc::Mutex;

// Runs a function object on an ipc::Thread.
template <class F>
class FnRunnable : public ipc::Runnable {
public:
    explicit FnRunnable(F f) : f_(std::move(f)) {}
    void run() override { f_(); }

private:
    F f_;
};

template <class F>
ipc::Thread startFn(F f) {
    return ipc::Thread::start(new FnRunnable<F>(std::move(f)), true);
}

struct ManualEvent {
    ManualEvent() : handle(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~ManualEvent() { CloseHandle(handle); }
    void set() { SetEvent(handle); }
    bool wait(DWORD ms) { return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
    HANDLE handle;
};

TEST(ThreadTest, Join_EndedThreadReturnsAtOnce) {
    ipc::Thread t = startFn([] {});
    ASSERT_TRUE(t.isThread());
    // The Thread keeps its handle, so the id names this thread until then.
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, t.getId());
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0) << "the empty thread did not end";
    CloseHandle(thread);
    const DWORD start = GetTickCount();
    t.join(INFINITE);
    EXPECT_LT(GetTickCount() - start, 100u);
}

TEST(ThreadTest, Join_RunningThreadTimesOutAfterItsTimeout) {
    auto release = std::make_shared<ManualEvent>();
    ipc::Thread t = startFn([release] { release->wait(INFINITE); });
    const DWORD start = GetTickCount();
    EXPECT_THROW(t.join(250), TdsError<ipc::TimeoutExpiredError>);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 240u);
    EXPECT_LT(elapsed, 1500u);
    release->set();
    t.join(INFINITE);
}

TEST(ThreadTest, Join_NoThreadThrowsPlatformError) {
    EXPECT_THROW(ipc::Thread().join(INFINITE), TdsError<ipc::PlatformError>);
    EXPECT_THROW(ipc::Thread(ipc::Thread::kNoThread).join(10), TdsError<ipc::PlatformError>);
}

TEST(ThreadTest, Join_ByBareIdOfRunningThread) {
    auto release = std::make_shared<ManualEvent>();
    ipc::Thread t = startFn([release] { release->wait(INFINITE); });
    ipc::Thread byId(t.getId());
    EXPECT_THROW(byId.join(50), TdsError<ipc::TimeoutExpiredError>);
    release->set();
    byId.join(5000);
}

TEST(ThreadTest, Start_NullRunnableGivesNoThread) {
    EXPECT_FALSE(ipc::Thread::start(nullptr, true).isThread());
}

class Probe : public ipc::Runnable {
public:
    Probe(std::atomic<DWORD>& runThread, std::atomic<DWORD>& destroyThread, bool throws)
        : runThread_(runThread), destroyThread_(destroyThread), throws_(throws) {}
    ~Probe() override { destroyThread_ = GetCurrentThreadId(); }
    void run() override {
        runThread_ = GetCurrentThreadId();
        if (throws_)
            throw std::runtime_error("probe failed");
    }

private:
    std::atomic<DWORD>& runThread_;
    std::atomic<DWORD>& destroyThread_;
    bool throws_;
};

class OwnedRunnableTest : public ::testing::TestWithParam<bool> {};

TEST_P(OwnedRunnableTest, Start_OwnedRunnableIsDestroyedOnItsThread) {
    std::atomic<DWORD> runThread{0}, destroyThread{0};
    ipc::Thread t = ipc::Thread::start(new Probe(runThread, destroyThread, GetParam()), true);
    t.join(5000);
    EXPECT_EQ(runThread.load(), t.getId());
    EXPECT_EQ(destroyThread.load(), t.getId());
}

INSTANTIATE_TEST_SUITE_P(Throwing, OwnedRunnableTest, ::testing::Bool());

TEST(ThreadTest, Start_ExceptionEndsThreadWithExitCode1) {
    auto go = std::make_shared<ManualEvent>();
    for (bool throws : {false, true}) {
        ipc::Thread t = startFn([go, throws] {
            go->wait(INFINITE);
            if (throws)
                throw 42;  // not a std::exception
        });
        HANDLE h = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, t.getId());
        ASSERT_NE(h, nullptr);
        go->set();
        t.join(5000);
        DWORD code = 99;
        GetExitCodeThread(h, &code);
        CloseHandle(h);
        EXPECT_EQ(code, throws ? 1u : 0u);
        ResetEvent(go->handle);
    }
}

TEST(MutexTest, Lock_NoUpdateIsLost) {
    Mutex m;
    int counter = 0;
    std::vector<ipc::Thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(startFn([&] {
            for (int n = 0; n < 200; ++n) {
                Mutex::Lock lock(m);
                const int seen = counter;
                if (n % 50 == 0)
                    Sleep(1);  // widen the window a missing lock would show
                counter = seen + 1;
            }
        }));
    for (auto& t : threads)
        t.join(30000);
    EXPECT_EQ(counter, 800);
}

TEST(MutexTest, Lock_NestedLocksReleaseOnceEach) {
    Mutex m;
    auto got = std::make_shared<ManualEvent>();
    std::atomic<bool> started{false};
    ipc::Thread other;
    {
        Mutex::Lock outer(m);
        {
            Mutex::Lock inner(m);
        }
        other = startFn([&m, got, &started] {
            started = true;
            Mutex::Lock lock(m);
            got->set();
        });
        ASSERT_TRUE(testutil::waitFor([&] { return started.load(); }));
        EXPECT_FALSE(got->wait(150));  // the outer lock still holds it
    }
    EXPECT_TRUE(got->wait(5000));
    other.join(5000);
}

TEST(MutexTest, Unlock_LetsOthersInAndTakesMutexBack) {
    Mutex m;
    Mutex::Lock lock(m);
    auto entered = std::make_shared<ManualEvent>();
    auto leave = std::make_shared<ManualEvent>();
    ipc::Thread other;
    {
        Mutex::Unlock unlock(lock);
        other = startFn([&m, entered, leave] {
            Mutex::Lock l(m);
            entered->set();
            leave->wait(INFINITE);
        });
        ASSERT_TRUE(entered->wait(5000));
        leave->set();
    }  // waits until the other thread let go
    other.join(5000);
    // Held again: a nested lock and an Unlock of it must both work.
    Mutex::Lock nested(m);
}

bool isOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

// Whether another thread can take the mutex at once (it lets go again).
bool freeForOthers(HANDLE mutex) {
    struct Probe {
        HANDLE mutex;
        DWORD result = WAIT_FAILED;
    } probe{mutex};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            auto* p = static_cast<Probe*>(param);
            p->result = WaitForSingleObject(p->mutex, 0);
            if (p->result == WAIT_OBJECT_0 || p->result == WAIT_ABANDONED)
                ReleaseMutex(p->mutex);
            return 0;
        },
        &probe, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    if (thread == nullptr)
        return false;
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    return probe.result == WAIT_OBJECT_0;
}

TEST(MutexTest, Destroy_WhileLockedHandsHandleToLocks) {
    testutil::LogCapture log;
    auto m = std::make_unique<Mutex>();
    // A handle of the test's own keeps the mutex object alive, so what the
    // locks did to it shows after they closed theirs.
    const HANDLE handle = ipc::MutexTestAccess::handle(*m);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    auto outer = std::make_unique<Mutex::Lock>(*m);
    auto inner = std::make_unique<Mutex::Lock>(*m);
    m.reset();
    EXPECT_TRUE(isOpen(handle)) << "the mutex closed the handle that its locks still use";
    inner.reset();
    EXPECT_TRUE(isOpen(handle)) << "the inner lock closed the handle";
    EXPECT_FALSE(freeForOthers(copy)) << "the inner lock let go of the outer lock's hold too";
    outer.reset();
    EXPECT_FALSE(isOpen(handle)) << "the outer lock did not close the handle";
    EXPECT_TRUE(freeForOthers(copy)) << "a hold of the mutex was never released";
    // A second release or close of the handle would have failed and said so.
    EXPECT_EQ(log.text().find("failed with"), std::string::npos) << log.text();
    CloseHandle(copy);
}

TEST(MutexDeathTest, Unlock_OfOuterLockIsAssertionFailure) {
    EXPECT_DEATH(
        {
            Mutex m;
            Mutex::Lock outer(m);
            Mutex::Lock inner(m);
            Mutex::Unlock unlock(outer);
        },
        "&l.state == l.m.state");
}

TEST(ConditionalTest, Wait_TimeoutKeepsLockAndLeavesListEmpty) {
    ipc::Conditional c;
    Mutex::Lock lock(c.mutex());
    EXPECT_THROW(c.wait(lock, 0), TdsError<ipc::TimeoutExpiredError>);
    EXPECT_EQ(ipc::ConditionalTestAccess::waiterCount(c), 0u);
    // Still held by this thread: another one cannot get in.
    auto got = std::make_shared<ManualEvent>();
    ipc::Thread other = startFn([&c, got] {
        Mutex::Lock l(c.mutex());
        got->set();
    });
    EXPECT_FALSE(got->wait(150));
    {
        Mutex::Unlock unlock(lock);
        EXPECT_TRUE(got->wait(5000));
        other.join(5000);
    }
}

// The notifier runs in the waiter's window between its timed-out event
// wait and its leaving the list: the two threads meet there through the
// seam, so the race happens on every run rather than once in a while.
struct RaceAtTimeout {
    ManualEvent timedOut;
    ManualEvent notified;
    std::atomic<bool> first{true};
    static void meet(void* context) {
        auto* race = static_cast<RaceAtTimeout*>(context);
        if (!race->first.exchange(false))
            return;
        race->timedOut.set();
        race->notified.wait(10000);
    }
};

TEST(ConditionalTest, Wait_NotifyRacingTheTimeoutIsNotLost) {
    ipc::Conditional c;
    RaceAtTimeout race;
    ipc::ConditionalTestAccess::setAfterEventWait(&RaceAtTimeout::meet, &race);
    std::atomic<int> outcome{0};  // 1 woken, 2 timed out
    ipc::Thread waiter = startFn([&] {
        Mutex::Lock lock(c.mutex());
        try {
            c.wait(lock, 1);
            outcome = 1;
        } catch (const ipc::TimeoutExpiredError&) {
            outcome = 2;
        }
    });
    ASSERT_TRUE(race.timedOut.wait(10000));
    // The waiter's time is up, but it is still on the list: this notify is
    // its wake-up, and no other waiter will ever get it.
    EXPECT_EQ(ipc::ConditionalTestAccess::waiterCount(c), 1u);
    c.notifyOne();
    race.notified.set();
    waiter.join(10000);
    ipc::ConditionalTestAccess::setAfterEventWait(nullptr, nullptr);
    EXPECT_EQ(outcome.load(), 1) << "the waiter reported a time-out for a notify it consumed";
    EXPECT_EQ(ipc::ConditionalTestAccess::waiterCount(c), 0u);
}

TEST(ConditionalTest, NotifyOne_WithoutWaitersDoesNothing) {
    ipc::Conditional c;
    c.notifyOne();
    c.notifyAll();
    Mutex::Lock lock(c.mutex());
    EXPECT_THROW(c.wait(lock, 10), TdsError<ipc::TimeoutExpiredError>);
}

// Three threads wait one after the other; each records its number once it
// is woken and has the caller's mutex again.
class ThreeWaiters {
public:
    explicit ThreeWaiters(ipc::Conditional& c) : c_(c) {
        for (int i = 0; i < 3; ++i) {
            threads_.push_back(startFn([this, i] {
                Mutex::Lock lock(c_.mutex());
                c_.wait(lock, 10000);
                woken_.push_back(i);
            }));
            EXPECT_TRUE(testutil::waitFor(
                [&] { return ipc::ConditionalTestAccess::waiterCount(c_) == static_cast<size_t>(i + 1); }));
        }
    }
    ~ThreeWaiters() {
        for (auto& t : threads_)
            t.join(15000);
    }
    std::vector<int> woken() {
        Mutex::Lock lock(c_.mutex());
        return woken_;
    }

private:
    ipc::Conditional& c_;
    std::vector<ipc::Thread> threads_;
    std::vector<int> woken_;
};

TEST(ConditionalTest, NotifyOne_WakesLongestWaitingFirst) {
    ipc::Conditional c;
    ThreeWaiters waiters(c);
    for (size_t n = 1; n <= 3; ++n) {
        c.notifyOne();
        ASSERT_TRUE(testutil::waitFor([&] { return waiters.woken().size() == n; }));
    }
    EXPECT_EQ(waiters.woken(), (std::vector<int>{0, 1, 2}));
}

TEST(ConditionalTest, NotifyAll_WakesEveryWaiter) {
    ipc::Conditional c;
    ThreeWaiters waiters(c);
    c.notifyAll();
    EXPECT_EQ(ipc::ConditionalTestAccess::waiterCount(c), 0u);
    ASSERT_TRUE(testutil::waitFor([&] { return waiters.woken().size() == 3; }));
}

TEST(ConditionalTest, Wait_ProducerAndConsumersLoseNothing) {
    ipc::Conditional c;
    std::vector<int> queue;
    int consumed = 0;
    bool done = false;
    std::vector<ipc::Thread> consumers;
    for (int i = 0; i < 3; ++i)
        consumers.push_back(startFn([&] {
            Mutex::Lock lock(c.mutex());
            for (;;) {
                while (queue.empty() && !done)
                    c.wait(lock, INFINITE);
                if (queue.empty())
                    return;
                queue.pop_back();
                ++consumed;
            }
        }));
    for (int n = 0; n < 500; ++n) {
        Mutex::Lock lock(c.mutex());
        queue.push_back(n);
        c.notifyOne();
    }
    {
        Mutex::Lock lock(c.mutex());
        done = true;
        c.notifyAll();
    }
    for (auto& t : consumers)
        t.join(30000);
    EXPECT_EQ(consumed, 500);
}

}  // namespace
