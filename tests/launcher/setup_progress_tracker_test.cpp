// The progress window's worker and state machine without a window: a
// private record and start event (unique names), scripted child-process
// answers and a fake clock.
#include "launcher/ui/setup_progress_tracker.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/program_folder.h"
#include "common/log_capture.h"
#include "common/test_util.h"
#include "foundation/fake_clock.h"
#include "foundation/ipc/shared_memory.h"

namespace {

using Status = SetupProgressTracker::Status;

// What a worker left behind, kept past its tracker's end: the worker thread
// itself (duplicated when it reached its end) and whether it showed.
struct WorkerEnd {
    HANDLE thread = nullptr;
    bool shown = false;
    ~WorkerEnd() {
        if (thread)
            CloseHandle(thread);
    }
};

class ScriptedTracker : public SetupProgressTracker {
public:
    ScriptedTracker(bool twoPass, const std::string& recordName, const std::string& eventName,
                    ipc::Clock& clock)
        : SetupProgressTracker(twoPass, ipc::SharedMemory<Operation>::create(recordName.c_str()), eventName,
                               clock) {}
    // The hooks must stay callable until the worker is joined.
    ~ScriptedTracker() override { finish(); }

    std::atomic<int> shows{0};
    std::atomic<int> hides{0};
    std::atomic<int> checks{0};
    std::atomic<int> answer{ChildrenWithoutWindows};
    WorkerEnd* workerEnd = nullptr;

    std::vector<uint16_t> posted() {
        std::lock_guard<std::mutex> guard(mutex_);
        return posted_;
    }
    uint16_t lastPosted() {
        std::lock_guard<std::mutex> guard(mutex_);
        return posted_.empty() ? 0xFFFF : posted_.back();
    }

protected:
    void onMsiStarted() override {
        ++shows;
        if (workerEnd)
            workerEnd->shown = true;
    }
    void onTrackingEnded() override {
        ++hides;
        if (workerEnd)
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &workerEnd->thread,
                            SYNCHRONIZE, FALSE, 0);
    }
    void postBarPosition(uint16_t position) override {
        std::lock_guard<std::mutex> guard(mutex_);
        posted_.push_back(position);
    }
    Status childProcessStatus() override {
        ++checks;
        return static_cast<Status>(answer.load());
    }

private:
    std::mutex mutex_;
    std::vector<uint16_t> posted_;
};

class TrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        recordName_ = ipc::SharedMemoryUnsafe::createGuid();
        eventName_ = "TdsTest" + ipc::SharedMemoryUnsafe::createGuid();
        writer_ = ipc::SharedMemory<Operation>::create(recordName_.c_str());
        event_ = CreateEventA(nullptr, TRUE, FALSE, eventName_.c_str());
        ASSERT_NE(event_, nullptr);
    }
    void TearDown() override { CloseHandle(event_); }

    std::unique_ptr<ScriptedTracker> make(bool twoPass, ipc::Clock& clock) {
        return std::make_unique<ScriptedTracker>(twoPass, recordName_, eventName_, clock);
    }
    void report(uint32_t id, uint32_t state) { writer_->write(Operation(id, state)); }

    std::string recordName_;
    std::string eventName_;
    std::unique_ptr<ipc::SharedMemory<Operation>> writer_;
    HANDLE event_ = nullptr;
};

TEST(CreateOperationSequenceTest, Chunks_AreTheSevenOperationsIn176Seconds) {
    auto memory = ipc::SharedMemory<Operation>::create(ipc::SharedMemoryUnsafe::createGuid().c_str());
    struct Sink : progress::ProgressUpdater {
        uint32_t getPosition() const override { return last; }
        uint32_t getRange() const override { return 1000; }
        void setPosition(uint32_t p) override { last = p; }
        void complete() override { completed = true; }
        uint32_t last = 0;
        bool completed = false;
    } sink;
    FakeClock clock(true);
    auto sequence = createOperationSequence(memory->unsafe(), sink, &clock);
    std::atomic<bool> done{false};
    // Finished(6) completes 1-6: 170 of 176 s; then 7 ends the sequence.
    memory->write(Operation(6, Operation::Finished));
    struct Runner : ipc::Runnable {
        explicit Runner(OperationSequence& s, std::atomic<bool>& d) : s_(s), d_(d) {}
        void run() override {
            s_.run();
            d_ = true;
        }
        OperationSequence& s_;
        std::atomic<bool>& d_;
    } runner(*sequence, done);
    ipc::Thread thread = ipc::Thread::start(&runner, false);
    ASSERT_TRUE(testutil::waitFor([&] { return sink.last == 966; }, 5000)) << sink.last;
    memory->write(Operation(7, Operation::Finished));
    ASSERT_TRUE(testutil::waitFor([&] { return done.load(); }, 5000));
    thread.join(INFINITE);
    EXPECT_TRUE(sink.completed);
}

TEST_F(TrackerTest, Run_WaitsForStartThenFollowsRecordToTheEnd) {
    FakeClock clock(true);
    auto tracker = make(false, clock);
    tracker->startWorker();
    // Time for a worker that does not wait for the start event to show.
    Sleep(100);
    EXPECT_EQ(tracker->shows.load(), 0);
    EXPECT_FALSE(tracker->isMsiStarted());

    report(1, Operation::Started);
    SetEvent(event_);
    ASSERT_TRUE(testutil::waitFor([&] { return tracker->shows.load() == 1; }, 5000));
    EXPECT_TRUE(tracker->isMsiStarted());
    // Operation 1 moves on the timer; its 50 s show as up to 284 of 1000.
    ASSERT_TRUE(testutil::waitFor([&] { return tracker->lastPosted() != 0xFFFF && tracker->lastPosted() > 0; }, 5000));
    report(4, Operation::Finished);  // 1-4 done: 130 of 176 s
    ASSERT_TRUE(testutil::waitFor([&] { return tracker->getPosition() == 739; }, 5000)) << tracker->getPosition();
    report(7, Operation::Finished);  // the last chunk: the pass ends
    ASSERT_TRUE(testutil::waitFor([&] { return tracker->hides.load() == 1; }, 5000));
    EXPECT_EQ(tracker->getState(), SetupProgressTracker::CurrentCompleted);
    // The worker's own event handle is gone; the event is unset again.
    EXPECT_EQ(WaitForSingleObject(event_, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    const std::vector<uint16_t> posted = tracker->posted();
    for (size_t i = 1; i < posted.size(); ++i)
        EXPECT_LT(posted[i - 1], posted[i]) << "each message moves the bar on, never back";

    tracker->finish();
    EXPECT_FALSE(tracker->hasWorker());
    EXPECT_EQ(tracker->getState(), SetupProgressTracker::Abort);
    EXPECT_EQ(writer_->read().getState(), 0u) << "the record is cleared once the pass is over";
    tracker->finish();  // a second call does nothing
}

TEST_F(TrackerTest, Finish_BeforeStartEndsWorkerWithoutShowing) {
    FakeClock clock(true);
    auto tracker = make(false, clock);
    tracker->startWorker();
    // Most often the worker waits for the event by now, and finish releases
    // it from there (the case the launcher meets); either way it must end
    // without showing.
    Sleep(50);
    tracker->finish();
    EXPECT_FALSE(tracker->hasWorker());
    EXPECT_EQ(tracker->shows.load(), 0) << "a window that goes away must not flash up";
    EXPECT_TRUE(tracker->posted().empty());
}

TEST_F(TrackerTest, Finish_DuringPassStopsSequenceAndClearsRecord) {
    FakeClock clock(true);
    auto tracker = make(false, clock);
    tracker->startWorker();
    report(2, Operation::Started);
    SetEvent(event_);
    ASSERT_TRUE(testutil::waitFor([&] { return !tracker->posted().empty(); }, 5000));
    tracker->finish();
    EXPECT_FALSE(tracker->hasWorker());
    EXPECT_EQ(tracker->hides.load(), 1);
    EXPECT_EQ(tracker->getState(), SetupProgressTracker::Abort);
    EXPECT_EQ(writer_->read().getState(), 0u);
}

TEST_F(TrackerTest, Finish_WhenStartEventCannotBeMadeStillReturns) {
    // A name in a namespace that does not exist: CreateEventA fails, the
    // worker ends at once and no pass ever starts.
    FakeClock clock(true);
    testutil::LogCapture log;
    auto tracker = std::make_unique<ScriptedTracker>(false, recordName_, "NoSuchNamespace\\TdsEvent", clock);
    tracker->startWorker();
    ASSERT_TRUE(testutil::waitFor([&] { return log.contains("ERROR: CreateEventA failed with"); }, 5000))
        << "the worker did not report that it cannot make the event: " << log.text();
    tracker->finish();
    EXPECT_FALSE(tracker->hasWorker());
    EXPECT_EQ(tracker->shows.load(), 0);
}

TEST_F(TrackerTest, Destructor_WithoutFinishEndsWorker) {
    FakeClock clock(true);
    WorkerEnd end;
    {
        auto tracker = make(false, clock);
        tracker->workerEnd = &end;
        tracker->startWorker();
    }
    // Released from its wait for the start event, the worker ran to its end
    // before the tracker was gone, and never showed the window.
    ASSERT_NE(end.thread, nullptr) << "the worker never reached its end";
    EXPECT_EQ(WaitForSingleObject(end.thread, 0), WAIT_OBJECT_0) << "the worker outlived its tracker";
    EXPECT_FALSE(end.shown);
}

TEST_F(TrackerTest, TwoPass_SecondPassOnUpperHalfAfterCompleteCurrent) {
    FakeClock clock(true);
    auto tracker = make(true, clock);
    tracker->startWorker();
    report(7, Operation::Finished);
    SetEvent(event_);
    // Pass 1 ends at once; its positions stay below the middle.
    ASSERT_TRUE(testutil::waitFor(
        [&] { return tracker->getState() == SetupProgressTracker::CurrentCompleted; }, 5000));
    for (uint16_t p : tracker->posted())
        EXPECT_LT(p, 500);
    tracker->setState(SetupProgressTracker::CompleteCurrent);
    EXPECT_EQ(writer_->read().getState(), 0u);
    ASSERT_TRUE(testutil::waitFor([&] { return tracker->getState() == SetupProgressTracker::Running; }, 5000));
    report(4, Operation::Finished);  // 130/176 of the upper half: 500 + 369
    ASSERT_TRUE(testutil::waitFor([&] { return tracker->getPosition() == 869; }, 5000)) << tracker->getPosition();
    tracker->finish();
    EXPECT_EQ(tracker->getState(), SetupProgressTracker::Abort);
    EXPECT_EQ(tracker->hides.load(), 1);
}

TEST_F(TrackerTest, TwoPass_AbortAfterFirstPassEndsTracking) {
    FakeClock clock(true);
    auto tracker = make(true, clock);
    tracker->startWorker();
    report(7, Operation::Finished);
    SetEvent(event_);
    ASSERT_TRUE(testutil::waitFor(
        [&] { return tracker->getState() == SetupProgressTracker::CurrentCompleted; }, 5000));
    tracker->finish();
    EXPECT_EQ(tracker->hides.load(), 1);
    EXPECT_FALSE(tracker->hasWorker());
}

// setPosition on its own: the child check at most every 500 ms, and a bar
// message only when the bar's position changes.
struct ThrottleStep {
    uint64_t nowMs;
    int answer;        // what the check would answer
    uint32_t position; // handed to setPosition
    bool checked;      // whether a check is made
    uint16_t shown;    // the bar's position afterwards
    size_t posts;      // bar messages so far
};

TEST_F(TrackerTest, SetPosition_ChecksChildrenAtMostEvery500Ms) {
    FakeClock clock;
    auto tracker = make(false, clock);
    const ThrottleStep steps[] = {
        {0, Status::ChildrenWithoutWindows, 0, true, 0, 0},         // the bar starts at 0: nothing to tell
        {0, Status::ChildrenWithoutWindows, 10, false, 10, 1},      // first move of the pass
        {100, Status::ChildWindowVisible, 20, false, 20, 2},        // too soon to look again
        {200, Status::ChildWindowVisible, 20, false, 20, 2},        // same position: no message
        {500, Status::ChildWindowVisible, 30, false, 30, 3},        // 500 is not "more than 500"
        {501, Status::ChildWindowVisible, 40, true, 30, 3},         // the child's window holds the bar
        {900, Status::ChildrenWithoutWindows, 50, false, 30, 3},    // still held until the next look
        {1002, Status::ChildrenWithoutWindows, 2000, true, 1000, 4},  // moves again, capped
        {1100, Status::ChildrenWithoutWindows, 1500, false, 1000, 4}, // capped to the same: no message
        {1600, Status::NoChildren, 60, true, 1000, 4},              // installer gone: dropped
    };
    int checks = 0;
    for (const ThrottleStep& step : steps) {
        clock.setNowMs(step.nowMs);
        tracker->answer = step.answer;
        tracker->setPosition(step.position);
        if (step.checked)
            ++checks;
        EXPECT_EQ(tracker->checks.load(), checks) << "at " << step.nowMs;
        EXPECT_EQ(tracker->getPosition(), step.shown) << "at " << step.nowMs;
        EXPECT_EQ(tracker->posted().size(), step.posts) << "at " << step.nowMs;
        if (step.posts > 0) {
            EXPECT_EQ(tracker->lastPosted(), step.shown) << "at " << step.nowMs;
        }
    }
    EXPECT_EQ(tracker->getRange(), 1000u);
    tracker->increment();  // the shared increment goes through the same path
    EXPECT_EQ(tracker->getPosition(), 1000u);
}

TEST(ChildProcessStatusTest, GetWindowsInChildProcessesStatus_FollowsChildren) {
    EXPECT_EQ(SetupProgressTracker::getWindowsInChildProcessesStatus(), SetupProgressTracker::NoChildren);
    {
        testutil::ChildProcess child;
        ASSERT_TRUE(child.start(testutil::quote(testutil::besideExe("fake-browsers\\chrome\\chrome.exe"))));
        ASSERT_TRUE(testutil::waitFor(
            [] { return SetupProgressTracker::getWindowsInChildProcessesStatus() ==
                        SetupProgressTracker::ChildWindowVisible; },
            10000));
        child.terminate();
        child.wait(5000);
    }
    {
        testutil::ChildProcess child;
        ASSERT_TRUE(child.start("cmd.exe /c ping -n 30 127.0.0.1 >nul"));
        EXPECT_EQ(SetupProgressTracker::getWindowsInChildProcessesStatus(),
                  SetupProgressTracker::ChildrenWithoutWindows);
        child.terminate();
        child.wait(5000);
    }
}

}  // namespace
