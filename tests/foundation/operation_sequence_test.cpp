// The operation sequence: record handling step by step, the poll loop over
// real shared memory, and passes driven by the real writers of the fixed
// record (the scriptable msiexec and the sample package's custom action).
#include "foundation/progress/operation_sequence.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/test_util.h"
#include "common/text_conversion.h"
#include "foundation/fake_clock.h"
#include "foundation/ipc/errors.h"
#include "foundation/ipc/thread.h"
#include "foundation/progress/operation_sequence_internal.h"
#include "foundation/recording_sink.h"
#include "foundation/tds_error.h"
#include "support/fake_msiexec_control.h"

namespace {

using Access = OperationSequenceTestAccess;
using Calls = std::vector<std::string>;

TEST(OperationTest, Layout_IsIdThenStateLittleEndian) {
    const Operation op(0x04030201u, 2);
    unsigned char bytes[8];
    std::memcpy(bytes, &op, sizeof bytes);
    const unsigned char expected[8] = {1, 2, 3, 4, 2, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, expected, 8), 0);
    EXPECT_EQ(Operation().getId(), 0u);
    EXPECT_EQ(Operation().getState(), static_cast<uint32_t>(Operation::Invalid));
}

TEST(OperationSequenceConfigTest, SetDuration_SecondsToMillisecondsAndZeroRemoves) {
    OperationSequence::Config config;
    EXPECT_EQ(config.timerInterval, 100u);
    EXPECT_EQ(config.pollInterval, 100u);
    config.setDuration(1, 50);
    config.setDuration(2, 10);
    config.setDuration(3, 5000000);  // beyond 32 bits of ms: cut, not wrapped
    config.setDuration(2, 0);
    ASSERT_EQ(config.chunks.items().size(), 2u);
    EXPECT_EQ(config.chunks.items()[0].weight, 50000u);
    EXPECT_EQ(config.chunks.items()[1].weight, 0xFFFFFFFFu);
}

// A sequence over a private record (unique name), with chunks 1..3 of
// 1000, 1000 and 2000 ms and a sink of range 400, on a fake clock.
class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        memory_ = ipc::SharedMemory<Operation>::create(ipc::SharedMemoryUnsafe::createGuid().c_str());
        config_.clock = &clock_;
        config_.setDuration(1, 1);
        config_.setDuration(2, 1);
        config_.setDuration(3, 2);
        sequence_ = OperationSequence::create(config_, memory_->unsafe(), sink_);
    }
    void handle(uint32_t id, uint32_t state) { Access::onOperation(*sequence_, Operation(id, state)); }
    uint32_t currentChunk() { return Access::progress(*sequence_).getCurrentChunkId(); }

    FakeClock clock_;
    RecordingSink sink_{400};
    OperationSequence::Config config_;
    std::unique_ptr<ipc::SharedMemory<Operation>> memory_;
    std::unique_ptr<OperationSequence> sequence_;
};

TEST_F(SequenceTest, Started_TimerMovesChunkByElapsedMilliseconds) {
    clock_.setNowMs(5000);
    handle(1, 1);
    EXPECT_TRUE(Access::hasTimer(*sequence_));
    EXPECT_EQ(Access::currentOperation(*sequence_), 1u);
    clock_.setNowMs(5250);
    ASSERT_TRUE(testutil::waitFor([&] { return sink_.getPosition() == 25; }));  // 250/4000*400
    handle(1, 1);  // the same report again: still the same timer
    EXPECT_TRUE(Access::hasTimer(*sequence_));
    EXPECT_EQ(Access::progress(*sequence_).getPosition(), 250u);
}

TEST_F(SequenceTest, Started_OperationLongerThanItsWeightWaitsBelowIt) {
    handle(1, 1);
    clock_.setNowMs(999);
    ASSERT_TRUE(testutil::waitFor([&] { return Access::progress(*sequence_).getPosition() == 999; }));
    clock_.setNowMs(60000);
    const size_t sleeps = clock_.sleeps().size();
    ASSERT_TRUE(testutil::waitFor([&] { return clock_.sleeps().size() > sleeps + 2; }));
    EXPECT_EQ(Access::progress(*sequence_).getPosition(), 999u);
    EXPECT_EQ(currentChunk(), 1u);
}

TEST_F(SequenceTest, Started_LaterOperationCompletesEarlierChunksAndRestartsTimer) {
    handle(1, 1);
    handle(3, 1);
    EXPECT_EQ(currentChunk(), 3u);
    EXPECT_EQ(Access::currentOperation(*sequence_), 3u);
    EXPECT_TRUE(Access::hasTimer(*sequence_));
    const Calls calls = sink_.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()), (Calls{"100", "200"}));
}

TEST_F(SequenceTest, Finished_WithoutStartCompletesUpToAndIncludingIt) {
    handle(2, 2);
    EXPECT_EQ(sink_.calls(), (Calls{"100", "200"}));
    EXPECT_EQ(currentChunk(), 3u);
    EXPECT_FALSE(Access::hasTimer(*sequence_));
    handle(2, 2);  // read again at the next poll: nothing left to do
    handle(1, 1);  // an operation already finished is ignored
    EXPECT_EQ(sink_.calls(), (Calls{"100", "200"}));
    EXPECT_FALSE(Access::finished(*sequence_));
}

TEST_F(SequenceTest, Finished_LastChunkCompletesSinkAndEndsSequence) {
    handle(3, 1);
    handle(3, 2);
    EXPECT_FALSE(Access::hasTimer(*sequence_));
    const Calls calls = sink_.calls();
    EXPECT_EQ(calls.back(), "complete");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "400"), 0);
    EXPECT_TRUE(Access::finished(*sequence_));
}

TEST_F(SequenceTest, SequenceEnded_UnknownIdDoesNotEnd) {
    handle(9, 3);
    EXPECT_FALSE(Access::finished(*sequence_));
    handle(2, 3);  // known: chunk 1 completes on the way, then the end
    EXPECT_TRUE(Access::finished(*sequence_));
    EXPECT_EQ(currentChunk(), 2u);
}

// The record is read again at every poll: a stale or unknown report must
// not stop the running operation's timer, or the bar freezes.
TEST_F(SequenceTest, Report_IdWithoutRemainingChunkLeavesTheTimerRunning) {
    clock_.setNowMs(1000);
    handle(2, 1);  // chunk 1 completes on the way; 2 is timed
    ASSERT_TRUE(Access::hasTimer(*sequence_));
    const struct { uint32_t id, state; } stale[] = {{9, 1}, {9, 2}, {9, 3}, {1, 1}, {1, 2}, {1, 3}, {9, 7}};
    for (const auto& r : stale) {
        SCOPED_TRACE(testing::Message() << "id " << r.id << " state " << r.state);
        handle(r.id, r.state);
        EXPECT_TRUE(Access::hasTimer(*sequence_));
        EXPECT_EQ(Access::currentOperation(*sequence_), 2u);
        EXPECT_EQ(currentChunk(), 2u);
        EXPECT_FALSE(Access::finished(*sequence_));
    }
    clock_.setNowMs(1600);
    EXPECT_TRUE(testutil::waitFor([&] { return Access::progress(*sequence_).getPosition() == 600; }))
        << Access::progress(*sequence_).getPosition();
}

TEST_F(SequenceTest, Report_ZeroStateOrZeroIdIsNoReport) {
    handle(2, 0);
    handle(0, 1);
    handle(0, 3);
    EXPECT_TRUE(sink_.calls().empty());
    EXPECT_FALSE(Access::hasTimer(*sequence_));
    EXPECT_FALSE(Access::finished(*sequence_));
}

// Runs a sequence's run() on a thread of its own and catches what it throws.
class RunThread : public ipc::Runnable {
public:
    explicit RunThread(OperationSequence& s) : s_(s) { thread_ = ipc::Thread::start(this, false); }
    ~RunThread() override {
        s_.stop();  // a failed test must not leave run() polling
        join();
    }
    void run() override {
        try {
            s_.run();
        } catch (const std::exception& e) {
            error_ = e.what();
        }
        returned_ = true;
    }
    bool returned() const { return returned_.load(); }
    void join() {
        if (thread_.isThread())
            thread_.join(30000);
        thread_ = ipc::Thread();
    }
    std::string error_;

private:
    OperationSequence& s_;
    ipc::Thread thread_;
    std::atomic<bool> returned_{false};
};

TEST_F(SequenceTest, Run_PollsEveryIntervalAndEndsWithLastChunk) {
    memory_->write(Operation(0, 0));
    {
        RunThread runner(*sequence_);
        // Polls go on with nothing to do; each one pauses pollInterval.
        ASSERT_TRUE(testutil::waitFor([&] { return clock_.sleeps().size() >= 5; }));
        EXPECT_TRUE(sink_.calls().empty());
        memory_->write(Operation(2, 1));
        ASSERT_TRUE(testutil::waitFor([&] { return sink_.getPosition() == 100; }));
        memory_->write(Operation(3, 2));
        ASSERT_TRUE(testutil::waitFor([&] { return runner.returned(); }));
        EXPECT_TRUE(runner.error_.empty()) << runner.error_;
    }
    EXPECT_EQ(sink_.calls().back(), "complete");
    const std::vector<uint32_t> sleeps = clock_.sleeps();
    EXPECT_TRUE(std::all_of(sleeps.begin(), sleeps.end(), [](uint32_t ms) { return ms == 100; }));
    // The reader never clears the record.
    EXPECT_EQ(memory_->read().getId(), 3u);
}

TEST_F(SequenceTest, Stop_DuringTimedOperationJoinsTimerAndReturns) {
    RunThread runner(*sequence_);
    memory_->write(Operation(1, 1));
    // Time moves on until the timer (started whenever the poll sees the
    // record) has reported a position.
    ASSERT_TRUE(testutil::waitFor([&] {
        clock_.setNowMs(clock_.counter() + 10);
        return !sink_.calls().empty();
    }));
    sequence_->stop();
    ASSERT_TRUE(testutil::waitFor([&] { return runner.returned(); }));
    const size_t calls = sink_.calls().size();
    clock_.setNowMs(clock_.counter() + 500);
    Sleep(100);  // time for a left-over timer to report
    EXPECT_EQ(sink_.calls().size(), calls);  // no timer thread is left
    EXPECT_EQ(Access::currentOperation(*sequence_), 0u);
}

// Passes driven by the real writers of the fixed record.
class RealWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        record_ = createOperationRecord();
        record_->write(Operation());
        config_.setDuration(1, 1);
        config_.setDuration(2, 1);
        config_.setDuration(3, 1);
        sequence_ = OperationSequence::create(config_, record_->unsafe(), sink_);
    }
    void TearDown() override {
        if (record_)
            record_->write(Operation());  // as the launcher leaves it after a pass
    }

    RecordingSink sink_{300};
    OperationSequence::Config config_;
    std::unique_ptr<ipc::SharedMemory<Operation>> record_;
    std::unique_ptr<OperationSequence> sequence_;
};

TEST_F(RealWriterTest, Run_FollowsScriptedMsiexecToTheEnd) {
    tds_test::FakeMsiexec fake(
        "record 1 1\nsleep 400\nrecord 1 2\nsleep 300\nrecord 2 1\nsleep 400\nrecord 3 2\n");
    RunThread runner(*sequence_);
    testutil::ProcessResult result =
        testutil::runProcess(testutil::quote(testutil::toUtf8(tds_test::FakeMsiexec::exePath())), 30000);
    ASSERT_TRUE(result.started);
    ASSERT_TRUE(testutil::waitFor([&] { return runner.returned(); }, 5000));
    EXPECT_TRUE(runner.error_.empty()) << runner.error_;
    const Calls calls = sink_.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "complete");
    // Chunk 1 moved on the timer before its end was reported; its end is 100.
    EXPECT_NE(std::find(calls.begin(), calls.end(), "100"), calls.end());
    EXPECT_GT(std::find(calls.begin(), calls.end(), "100") - calls.begin(), 0);
}

std::string progressActionPath() {
    std::string path = TDS_PROGRESS_ACTION_PATH;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path[0] == '\\' ? "Z:" + path : path;
}

TEST_F(RealWriterTest, Run_EndsOnPackageActionsSequenceEnd) {
    RunThread runner(*sequence_);
    testutil::ProcessResult result = testutil::runProcess(
        testutil::quote(progressActionPath()) + " 1:1 1:2 3:3", 30000);
    ASSERT_TRUE(result.started) << progressActionPath();
    EXPECT_EQ(result.exitCode, 0u);
    ASSERT_TRUE(testutil::waitFor([&] { return runner.returned(); }, 5000));
    EXPECT_TRUE(runner.error_.empty()) << runner.error_;
    // 1 finished, then the end reported with 3: chunk 2 is completed on the way.
    const Calls calls = sink_.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(Calls(calls.end() - 2, calls.end()), (Calls{"100", "200"}));
    EXPECT_EQ(record_->read().getState(), 3u);
}

}  // namespace
