#pragma once
// What the progress window does apart from drawing: the worker that waits for
// the package's start event, follows the shared operation record through an
// OperationSequence and moves the bar, and the state machine by which the
// main thread stops it. The window (CSetupProgressDialog) supplies the few
// window operations through the hooks below.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/ipc/clock.h"
#include "foundation/ipc/conditional.h"
#include "foundation/ipc/shared_memory.h"
#include "foundation/ipc/thread.h"
#include "foundation/progress/operation_sequence.h"
#include "foundation/progress/progress.h"

// The event that the package sets when its installation starts.
constexpr char kMsiStartedEventName[] = "KessaSetupMsiStarted";

// The sequence of one pass: the seven operations of the package with their
// expected seconds (176 s in all) over sharedMemory, reporting to sink. clock
// null is the real one. Throws TdsError<ipc::PlatformError>.
std::unique_ptr<OperationSequence> createOperationSequence(ipc::SharedMemoryUnsafe& sharedMemory,
                                                           progress::ProgressUpdater& sink,
                                                           ipc::Clock* clock = nullptr);

class SetupProgressTracker : public ipc::Runnable, public progress::ProgressUpdater {
public:
    enum State : uint32_t { Running = 0, CompleteCurrent = 1, CurrentCompleted = 2, Abort = 3 };
    // Answers of getWindowsInChildProcessesStatus.
    enum Status : int { ChildrenWithoutWindows = 0, NoChildren = 1, ChildWindowVisible = 2 };

    static constexpr uint16_t kRange = 1000;

    // twoPass splits the bar into two halves, one per pass. record is the
    // shared operation record (8 bytes); startEventName the event to wait
    // for. The clock times the passes and the child-process checks and must
    // outlive the tracker.
    SetupProgressTracker(bool twoPass, std::unique_ptr<ipc::SharedMemory<Operation>> record,
                         std::string startEventName, ipc::Clock& clock);
    // Ends the worker (finish) when the owner has not; never throws.
    ~SetupProgressTracker() override;
    SetupProgressTracker(const SetupProgressTracker&) = delete;
    SetupProgressTracker& operator=(const SetupProgressTracker&) = delete;

    // progress::ProgressUpdater: the bar, range 1000.
    uint32_t getPosition() const override { return position_.load(); }
    uint32_t getRange() const override { return range_; }
    // Throttled bar update: drops the position while no child process runs
    // or a child shows a visible window (checked at most every 500 ms), else
    // stores min(p, range) and posts it to the bar when it differs from the
    // position shown.
    void setPosition(uint32_t p) override;
    void complete() override {}

    // ipc::Runnable: the worker's body. Never throws.
    void run() override;

    // Starts the worker (not owned). Throws TdsError<ipc::PlatformError>.
    void startWorker();
    bool hasWorker() const { return worker_.isThread(); }
    bool isMsiStarted() const { return msiStarted_.load(); }
    State getState();

    // Main thread only: waits until a pass runs (or the worker has ended),
    // stops it, clears the shared record and moves to newState (Abort or
    // CompleteCurrent). Does nothing without a worker. Throws
    // TdsError<ipc::PlatformError> when the record cannot be cleared.
    void setState(State newState);
    // Main thread only: releases a worker that still waits for the start
    // event, aborts tracking and joins the worker. A second call does
    // nothing. Throws TdsError<ipc::PlatformError>.
    void finish();

    // The processes started by this one and whether one of them shows a
    // visible top-level window. Throws TdsError<std::runtime_error>
    // "EnumWindows failed" and TdsError<ipc::PlatformError>.
    static Status getWindowsInChildProcessesStatus();

protected:
    // Worker thread, once the start event fired (not when finish released
    // it): show the window and bring it forward. Must not wait for the main
    // thread, which may be joining the worker.
    virtual void onMsiStarted() = 0;
    // Worker thread, after tracking: hide the window. Same rule.
    virtual void onTrackingEnded() = 0;
    // Timer or worker thread: show position on the bar. Same rule.
    virtual void postBarPosition(uint16_t position) = 0;
    // The child-process check; tests answer from a script.
    virtual Status childProcessStatus() { return getWindowsInChildProcessesStatus(); }

    ipc::SharedMemory<Operation>& record() { return *record_; }
    ipc::Clock& clock() { return clock_; }

private:
    class ProgressUpdaterFilter;
    void trackProgress();
    void runPass(progress::ProgressUpdater& sink);
    double msSince(uint64_t counter);

    const uint32_t ctorThread_;
    std::unique_ptr<ipc::SharedMemory<Operation>> record_;
    std::string startEventName_;
    ipc::Clock& clock_;
    ipc::Thread worker_;
    std::atomic<uint64_t> lastStatusCheck_;
    double counterFrequency_;
    std::atomic<int> childStatus_{0};  // 0 unchecked this pass, 1 move, 2 hold
    ipc::Conditional conditional_;
    // Under conditional_'s mutex:
    OperationSequence* currentSequence_ = nullptr;
    State state_ = Running;
    bool workerEnded_ = false;
    // Lock-free: written by the timer thread and the worker alike.
    std::atomic<uint16_t> position_{0};
    const uint16_t range_ = kRange;
    const bool twoPass_;
    std::atomic<bool> msiStarted_{false};
    std::atomic<bool> closing_{false};
};
