// The timer, named shared memory and the child-process list. This program
// is also its own child process (see main).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/program_folder.h"
#include "common/test_process.h"
#include "common/test_util.h"
#include "foundation/fake_clock.h"
#include "foundation/ipc/errors.h"
#include "foundation/ipc/process.h"
#include "foundation/ipc/process_internal.h"
#include "foundation/ipc/shared_memory.h"
#include "foundation/ipc/timer.h"
#include "foundation/tds_error.h"

namespace {

class CountingRunnable : public ipc::Timer::Runnable {
public:
    explicit CountingRunnable(FakeClock& clock, int stopAfter = 0, bool throws = false)
        : clock_(clock), stopAfter_(stopAfter), throws_(throws) {}
    void run(ipc::Timer& timer) override {
        sleepsBefore.push_back(clock_.sleeps().size());
        const int n = ++calls;
        if (throws_)
            throw std::runtime_error("callback failed");
        if (stopAfter_ != 0 && n == stopAfter_)
            timer.stop(false);
    }
    std::atomic<int> calls{0};
    std::vector<size_t> sleepsBefore;  // touched by the timer thread only until it ends

private:
    FakeClock& clock_;
    int stopAfter_;
    bool throws_;
};

TEST(TimerTest, Run_FirstCallAtOnceThenOnePerInterval) {
    FakeClock clock;
    CountingRunnable callback(clock, 5);
    {
        ipc::Timer timer(&callback, 100, clock);
        ASSERT_TRUE(testutil::waitFor([&] { return callback.calls.load() == 5; }));
        timer.stop(true);
    }
    EXPECT_EQ(callback.calls.load(), 5);
    EXPECT_EQ(callback.sleepsBefore, (std::vector<size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(clock.sleeps(), std::vector<uint32_t>(5, 100));
}

TEST(TimerTest, Stop_FromCallbackRunsOnceSleepsOnceAndFinishes) {
    FakeClock clock;
    CountingRunnable callback(clock, 1);
    {
        ipc::Timer timer(&callback, 250, clock);
        ASSERT_TRUE(testutil::waitFor([&] { return callback.calls.load() == 1; }));
    }  // ~Timer waits for the thread
    EXPECT_EQ(callback.calls.load(), 1);
    EXPECT_EQ(clock.sleeps(), (std::vector<uint32_t>{250}));
}

TEST(TimerTest, Destroy_AfterCallbackThrewReturns) {
    FakeClock clock;
    CountingRunnable callback(clock, 0, true);
    {
        ipc::Timer timer(&callback, 100, clock);
        ASSERT_TRUE(testutil::waitFor([&] { return callback.calls.load() == 1; }));
    }
    EXPECT_EQ(callback.calls.load(), 1);
}

TEST(TimerTest, Destroy_StopsRunningTimerOnRealClock) {
    struct Count : ipc::Timer::Runnable {
        void run(ipc::Timer&) override { ++calls; }
        std::atomic<int> calls{0};
    } callback;
    const DWORD start = GetTickCount();
    {
        ipc::Timer timer(&callback, 20);
        ASSERT_TRUE(testutil::waitFor([&] { return callback.calls.load() >= 3; }));
    }
    const int seen = callback.calls.load();
    Sleep(100);  // five periods for a left-over timer thread to call
    EXPECT_EQ(callback.calls.load(), seen);  // no thread left behind
    EXPECT_LT(GetTickCount() - start, 5000u);
}

// A callback that waits for the test's go, then stops or destroys its own
// timer. It keeps a handle of its thread, so the test can see that thread end.
class SelfEndingRunnable : public ipc::Timer::Runnable {
public:
    enum class How { StopAndWait, Destroy };
    explicit SelfEndingRunnable(How how) : how_(how), go_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~SelfEndingRunnable() override {
        CloseHandle(go_);
        if (thread)
            CloseHandle(thread);
    }
    void run(ipc::Timer& timer) override {
        if (!thread)
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, SYNCHRONIZE,
                            FALSE, 0);
        ++calls;
        WaitForSingleObject(go_, 10000);
        if (how_ == How::Destroy)
            delete &timer;
        else
            timer.stop(true);
        returned = true;
    }
    void go() { SetEvent(go_); }
    HANDLE thread = nullptr;  // read by the test once run() has returned
    std::atomic<int> calls{0};
    std::atomic<bool> returned{false};

private:
    How how_;
    HANDLE go_;
};

TEST(TimerTest, Destroy_FromItsOwnCallbackReturnsAndTheThreadEnds) {
    FakeClock clock;
    SelfEndingRunnable callback(SelfEndingRunnable::How::Destroy);
    new ipc::Timer(&callback, 100, clock);  // the callback deletes it
    callback.go();
    ASSERT_TRUE(testutil::waitFor([&] { return callback.returned.load(); }, 10000))
        << "the destructor waited for the thread it runs on";
    ASSERT_NE(callback.thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(callback.thread, 10000), WAIT_OBJECT_0);
    // The thread left at once: no pause, no further call.
    EXPECT_EQ(callback.calls.load(), 1);
    EXPECT_TRUE(clock.sleeps().empty());
}

TEST(TimerTest, StopAndWait_FromItsOwnCallbackReturns) {
    FakeClock clock;
    SelfEndingRunnable callback(SelfEndingRunnable::How::StopAndWait);
    auto* timer = new ipc::Timer(&callback, 100, clock);
    callback.go();
    if (!testutil::waitFor([&] { return callback.returned.load(); }, 10000)) {
        // The thread waits for itself; destroying the timer would wait too.
        FAIL() << "stop(true) waited for the thread it runs on";
    }
    delete timer;
    EXPECT_EQ(callback.calls.load(), 1);
    EXPECT_EQ(clock.sleeps(), (std::vector<uint32_t>{100}));
}

bool isGuidText(const std::string& s) {
    if (s.size() != 36)
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return false;
        } else if (!std::isxdigit(c) || std::isupper(c)) {
            return false;
        }
    }
    return true;
}

TEST(SharedMemoryTest, CreateGuid_GivesFreshLowerCaseGuidText) {
    const std::string a = ipc::SharedMemoryUnsafe::createGuid();
    const std::string b = ipc::SharedMemoryUnsafe::createGuid();
    EXPECT_TRUE(isGuidText(a)) << a;
    EXPECT_NE(a, b);
}

struct Pair {
    uint32_t a;
    uint32_t b;
};

TEST(SharedMemoryTest, Write_IsSeenThroughAnotherHandleOfTheSameName) {
    const std::string name = ipc::SharedMemoryUnsafe::createGuid();
    auto first = ipc::SharedMemory<Pair>::create(name.c_str());
    auto second = ipc::SharedMemory<Pair>::create(name.c_str());
    EXPECT_EQ(first->read().a, 0u);  // page-file memory starts zeroed
    first->write(Pair{7, 9});
    EXPECT_EQ(second->read().b, 9u);
    EXPECT_EQ(second->unsafe().getSize(), 8u);
    EXPECT_EQ(second->unsafe().getName(), name);
}

TEST(SharedMemoryTest, Create_OpensMemoryAnotherProcessCreated) {
    const std::string name = ipc::SharedMemoryUnsafe::createGuid();
    testutil::ChildProcess child;
    ASSERT_TRUE(child.start(testutil::quote(testutil::selfPath()) + " --shm-child " + name));
    // The child creates the memory and writes {1, 2}; it then waits for {3, 4}.
    ASSERT_TRUE(testutil::waitFor([&] {
        HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
        if (h == nullptr)
            return false;
        CloseHandle(h);
        return true;
    }));
    auto shared = ipc::SharedMemory<Pair>::create(name.c_str());
    ASSERT_TRUE(testutil::waitFor([&] { return shared->read().b == 2; }));
    shared->write(Pair{3, 4});
    ASSERT_TRUE(child.wait(10000));
    EXPECT_EQ(child.exitCode(), 0u);
}

TEST(SharedMemoryTest, Snapshot_LargerThanExistingObjectFailsInsteadOfOverrunning) {
    const std::string name = ipc::SharedMemoryUnsafe::createGuid();
    auto small = ipc::SharedMemoryUnsafe::create(name.c_str(), 8);
    auto large = ipc::SharedMemoryUnsafe::create(name.c_str(), 1 << 20);
    EXPECT_THROW(ipc::SharedMemoryUnsafe::Snapshot view(*large), TdsError<ipc::PlatformError>);
}

TEST(SharedMemoryDeathTest, Create_ZeroSizeOrNoNameIsAssertionFailure) {
    EXPECT_DEATH(ipc::SharedMemoryUnsafe::create("tds-zero", 0), "size");
    EXPECT_DEATH(ipc::SharedMemoryUnsafe::create(nullptr, 8), "name");
}

TEST(ProcessTest, GetChildren_ListsStartedChildrenOnly) {
    const uint32_t self = ipc::Process::getCurrent();
    EXPECT_EQ(self, GetCurrentProcessId());
    EXPECT_TRUE(ipc::Process::getChildren(self).empty());
    testutil::ChildProcess a, b;
    ASSERT_TRUE(a.start(testutil::quote(testutil::selfPath()) + " --sleep-child 20000"));
    ASSERT_TRUE(b.start(testutil::quote(testutil::selfPath()) + " --sleep-child 20000"));
    std::vector<uint32_t> children = ipc::Process::getChildren(self);
    EXPECT_EQ(children.size(), 2u);
    EXPECT_NE(std::find(children.begin(), children.end(), a.pid()), children.end());
    EXPECT_NE(std::find(children.begin(), children.end(), b.pid()), children.end());
    EXPECT_TRUE(ipc::Process::getChildren(a.pid()).empty());
    a.terminate();
    b.terminate();
}

// A process whose parent has ended keeps naming it; once the system gives
// the ended parent's id to a new process, the orphan is no child of that one.
TEST(ProcessTest, IsChildEntry_LeavesOutProcessesOlderThanTheParent) {
    const struct {
        uint32_t entryId, entryParent;
        uint64_t parentStart, entryStart;
        bool child;
    } cases[] = {
        {20, 10, 1000, 2000, true},   // started after its parent
        {20, 10, 1000, 1000, true},   // in the same clock tick
        {20, 10, 1000, 999, false},   // older than the parent: its parent had the id before
        {20, 11, 1000, 2000, false},  // another parent
        {10, 10, 1000, 2000, false},  // the process itself
        {20, 10, 0, 999, true},       // the parent's start unknown: the ids decide
        {20, 10, 1000, 0, true},      // the entry's start unknown: the ids decide
    };
    for (const auto& c : cases)
        EXPECT_EQ(ipc::process_internal::isChildEntry(10, c.parentStart, c.entryId, c.entryParent, c.entryStart),
                  c.child)
            << c.entryId << " of " << c.entryParent << ", started " << c.entryStart << " vs " << c.parentStart;
}

int shmChild(const char* name) {
    auto shared = ipc::SharedMemory<Pair>::create(name);
    shared->write(Pair{1, 2});
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        const Pair p = shared->read();
        if (p.a == 3 && p.b == 4)
            return 0;
        Sleep(10);
    }
    return 5;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--shm-child") == 0)
        return shmChild(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--sleep-child") == 0) {
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        return 0;
    }
    testutil::isolateTestProcess();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    testutil::finishTestProcess(result == 0);
    return result;
}
