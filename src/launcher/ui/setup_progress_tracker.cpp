#include "launcher/ui/setup_progress_tracker.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "foundation/handle_release.h"
#include "foundation/ipc/assertion.h"
#include "foundation/ipc/errors.h"
#include "foundation/ipc/mutex.h"
#include "foundation/ipc/process.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {

// Expected seconds of the package's operations, by id.
struct OperationDuration {
    uint32_t id;
    uint32_t seconds;
};
constexpr OperationDuration kDurations[] = {{1, 50}, {2, 10}, {3, 50}, {4, 20},
                                            {5, 10}, {6, 30}, {7, 6}};

constexpr double kChildCheckIntervalMs = 500.0;

struct WindowSearch {
    const std::vector<uint32_t>* children;
    bool found;
};

BOOL CALLBACK findVisibleChildWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (!IsWindowVisible(window))
        return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (std::find(search->children->begin(), search->children->end(), pid) == search->children->end())
        return TRUE;
    search->found = true;
    return FALSE;
}

}  // namespace

std::unique_ptr<OperationSequence> createOperationSequence(ipc::SharedMemoryUnsafe& sharedMemory,
                                                           progress::ProgressUpdater& sink,
                                                           ipc::Clock* clock) {
    OperationSequence::Config config;
    for (const OperationDuration& row : kDurations)
        config.setDuration(row.id, row.seconds);
    config.clock = clock;
    return OperationSequence::create(config, sharedMemory, sink);
}

// Maps the positions of one pass onto a part of the bar (two-pass mode).
class SetupProgressTracker::ProgressUpdaterFilter : public progress::ProgressUpdater {
public:
    ProgressUpdaterFilter(SetupProgressTracker& sink, uint32_t offset, uint32_t span)
        : sink_(sink), offset_(offset), span_(span) {}
    uint32_t getPosition() const override { return position_; }
    uint32_t getRange() const override { return span_; }
    void setPosition(uint32_t p) override {
        position_ = p;
        sink_.setPosition(p + offset_);
    }
    void complete() override {}

private:
    SetupProgressTracker& sink_;
    uint32_t offset_;
    uint32_t span_;
    std::atomic<uint32_t> position_{0};
};

SetupProgressTracker::SetupProgressTracker(bool twoPass,
                                           std::unique_ptr<ipc::SharedMemory<Operation>> record,
                                           std::string startEventName, ipc::Clock& clock)
    : ctorThread_(ipc::Thread::getCurrent().getId()), record_(std::move(record)),
      startEventName_(std::move(startEventName)), clock_(clock), lastStatusCheck_(clock.counter()),
      counterFrequency_(static_cast<double>(clock.frequency())), twoPass_(twoPass) {
    TDS_ASSERT(record_ != nullptr, "sharedMemory");
}

SetupProgressTracker::~SetupProgressTracker() {
    try {
        finish();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("CSetupProgressDialog::~CSetupProgressDialog", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("CSetupProgressDialog::~CSetupProgressDialog");
    }
}

void SetupProgressTracker::startWorker() {
    TDS_ASSERT(!worker_.isThread(), "worker == no thread");
    worker_ = ipc::Thread::start(this, false);
}

SetupProgressTracker::State SetupProgressTracker::getState() {
    ipc::Mutex::Lock lock(conditional_.mutex());
    return state_;
}

double SetupProgressTracker::msSince(uint64_t counter) {
    return static_cast<double>(clock_.counter() - counter) * 1000.0 / counterFrequency_;
}

void SetupProgressTracker::setPosition(uint32_t p) {
    if (childStatus_.load() == 0 || msSince(lastStatusCheck_.load()) > kChildCheckIntervalMs) {
        const Status answer = childProcessStatus();
        childStatus_ = answer == ChildrenWithoutWindows ? 1 : 2;
        lastStatusCheck_ = clock_.counter();
    }
    if (childStatus_.load() == 2)
        return;
    const uint16_t shown = static_cast<uint16_t>(std::min<uint32_t>(p, range_));
    // A chunk's milliseconds move the bar's thousandths only every few ticks;
    // the bar is told only when its position changes.
    if (position_.exchange(shown) != shown)
        postBarPosition(shown);
}

void SetupProgressTracker::run() {
    try {
        ScopedWin32Handle event(CreateEventA(nullptr, TRUE, FALSE, startEventName_.c_str()));
        if (event.get() == nullptr) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("CSetupProgressDialog::run", "%s failed with %s", "CreateEventA",
                          formatSystemError(error).c_str());
        } else {
            ipc::waitForSingleObject(event.get(), INFINITE);
            msiStarted_ = true;
            // Released by finish, not by the package: the window is going
            // away and must not flash up, and there is nothing to track.
            const bool released = closing_.load();
            if (!released)
                onMsiStarted();
            ResetEvent(event.get());
            if (!released)
                trackProgress();
            onTrackingEnded();
        }
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("CSetupProgressDialog::run", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("CSetupProgressDialog::run");
    }
    // setState waits for a pass to start or end; a worker that ends early
    // (no event, a failed pass) must tell it so, or the window's closing
    // would wait for ever.
    try {
        ipc::Mutex::Lock lock(conditional_.mutex());
        workerEnded_ = true;
        conditional_.notifyAll();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("CSetupProgressDialog::run", e);
    }
}

void SetupProgressTracker::trackProgress() {
    if (!twoPass_) {
        runPass(*this);
        return;
    }
    {
        ProgressUpdaterFilter first(*this, 0, range_ / 2);
        runPass(first);
    }
    {
        ipc::Mutex::Lock lock(conditional_.mutex());
        while (state_ == CurrentCompleted)
            conditional_.wait(lock, INFINITE);
        if (state_ == Abort)
            return;
    }
    ProgressUpdaterFilter second(*this, range_ / 2, range_ - range_ / 2);
    runPass(second);
}

void SetupProgressTracker::runPass(progress::ProgressUpdater& sink) {
    childStatus_ = 0;
    std::unique_ptr<OperationSequence> sequence = createOperationSequence(record_->unsafe(), sink, &clock_);
    {
        ipc::Mutex::Lock lock(conditional_.mutex());
        if (state_ == Abort)
            return;  // aborted while the pass was being built
        state_ = Running;
        currentSequence_ = sequence.get();
        conditional_.notifyAll();
    }
    // The sequence is withdrawn on every way out, a throwing run included:
    // setState waits for exactly that.
    struct Withdraw {
        SetupProgressTracker& tracker;
        ~Withdraw() {
            try {
                ipc::Mutex::Lock lock(tracker.conditional_.mutex());
                tracker.currentSequence_ = nullptr;
                if (tracker.state_ != Abort)
                    tracker.state_ = CurrentCompleted;
                tracker.conditional_.notifyAll();
            } catch (const std::exception& e) {
                TDS_LOG_EXCEPTION("CSetupProgressDialog::runPass", e);
            }
        }
    } withdraw{*this};
    sequence->run();
}

void SetupProgressTracker::setState(State newState) {
    TDS_ASSERT(ipc::Thread::getCurrent().getId() == ctorThread_, "ctorThread == Thread::getCurrent()");
    TDS_ASSERT(newState == Abort || newState == CompleteCurrent,
               "newState == Abort || newState == CompleteCurrent");
    if (!worker_.isThread())
        return;
    {
        ipc::Mutex::Lock lock(conditional_.mutex());
        while (currentSequence_ == nullptr && state_ == Running && !workerEnded_)
            conditional_.wait(lock, INFINITE);
        if (currentSequence_ != nullptr) {
            currentSequence_->stop();
            while (currentSequence_ != nullptr && !workerEnded_)
                conditional_.wait(lock, INFINITE);
        }
    }
    // Only now that no sequence reads it: clear the record for the next pass
    // (or the next launcher).
    record_->write(Operation());
    ipc::Mutex::Lock lock(conditional_.mutex());
    state_ = newState;
    conditional_.notifyOne();
}

void SetupProgressTracker::finish() {
    if (!worker_.isThread())
        return;
    TDS_ASSERT(ipc::Thread::getCurrent().getId() == ctorThread_, "ctorThread == Thread::getCurrent()");
    closing_ = true;
    ScopedWin32Handle event(CreateEventA(nullptr, TRUE, FALSE, startEventName_.c_str()));
    if (event.get() != nullptr) {
        SetEvent(event.get());
    } else {
        const DWORD error = GetLastError();
        TDS_LOG_ERROR("CSetupProgressDialog::finish", "%s failed with %s", "CreateEventA",
                      formatSystemError(error).c_str());
    }
    const ipc::Thread worker = worker_;
    try {
        setState(Abort);
    } catch (...) {
        // The worker is stopped or ended by now; it must still be joined
        // before this object can go.
        worker.join(INFINITE);
        worker_ = ipc::Thread();
        throw;
    }
    worker.join(INFINITE);
    worker_ = ipc::Thread();
}

SetupProgressTracker::Status SetupProgressTracker::getWindowsInChildProcessesStatus() {
    const std::vector<uint32_t> children = ipc::Process::getChildren(ipc::Process::getCurrent());
    if (children.empty())
        return NoChildren;
    WindowSearch search{&children, false};
    if (!EnumWindows(findVisibleChildWindow, reinterpret_cast<LPARAM>(&search)) && !search.found)
        throw TdsError<std::runtime_error>(std::runtime_error("EnumWindows failed"),
                                           TDS_HERE("CSetupProgressDialog::getWindowsInChildProcessesStatus"));
    return search.found ? ChildWindowVisible : ChildrenWithoutWindows;
}
