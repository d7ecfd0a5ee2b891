#include "foundation/progress/operation_sequence.h"

#include <limits>

#include "foundation/ipc/assertion.h"
#include "foundation/ipc/timer.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"

namespace {

void storeLittleEndian(unsigned char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t loadLittleEndian(const unsigned char* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

}  // namespace

Operation::Operation(uint32_t id, uint32_t state) {
    storeLittleEndian(bytes_, id);
    storeLittleEndian(bytes_ + 4, state);
}

uint32_t Operation::getId() const { return loadLittleEndian(bytes_); }

uint32_t Operation::getState() const { return loadLittleEndian(bytes_ + 4); }

std::unique_ptr<ipc::SharedMemory<Operation>> createOperationRecord() {
    return ipc::SharedMemory<Operation>::create(kOperationSequenceSharedMemoryName);
}

void OperationSequence::Config::setDuration(uint32_t id, uint32_t seconds) {
    TDS_ASSERT(id != 0, "id != 0");
    const uint64_t ms = static_cast<uint64_t>(seconds) * 1000u;
    chunks.set(id, ms > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                             : static_cast<uint32_t>(ms));
}

// Moves the chunk it was made for by the milliseconds since then; stops its
// timer once another chunk (or none) is current.
class OperationSequence::ProgressUpdaterRunnable : public ipc::Timer::Runnable {
public:
    ProgressUpdaterRunnable(progress::ChunkedProgress& progress, ipc::Clock& clock)
        : progress_(progress), clock_(clock), chunkId_(progress.getCurrentChunkId()),
          start_(clock.counter()), frequency_(static_cast<double>(clock.frequency())) {}

    void run(ipc::Timer& timer) override {
        const uint32_t current = progress_.getCurrentChunkId();
        if (current == 0 || current != chunkId_) {
            timer.stop(false);
            return;
        }
        const double elapsedMs = static_cast<double>(clock_.counter() - start_) * 1000.0 / frequency_;
        // Beyond the chunk's weight the progress ignores it anyway; the cut
        // only keeps the conversion defined.
        const double limit = static_cast<double>(std::numeric_limits<uint32_t>::max());
        progress_.setPosition(static_cast<uint32_t>(elapsedMs < limit ? elapsedMs : limit));
    }

private:
    progress::ChunkedProgress& progress_;
    ipc::Clock& clock_;
    uint32_t chunkId_;
    uint64_t start_;
    double frequency_;
};

std::unique_ptr<OperationSequence> OperationSequence::create(const Config& config,
                                                             ipc::SharedMemoryUnsafe& sharedMemory,
                                                             progress::ProgressUpdater& sink) {
    return std::unique_ptr<OperationSequence>(new OperationSequence(config, sharedMemory, sink));
}

OperationSequence::OperationSequence(const Config& config, ipc::SharedMemoryUnsafe& sharedMemory,
                                     progress::ProgressUpdater& sink)
    : timerInterval_(config.timerInterval),
      pollInterval_(config.pollInterval),
      clock_(config.clock ? *config.clock : ipc::Clock::system()),
      sharedMemory_(sharedMemory),
      progress_(progress::ChunkedProgress::create(config.chunks, sink)) {}

OperationSequence::~OperationSequence() {
    // ~Timer never throws; it joins the thread before the runnable and the
    // progress that thread uses go.
    timer_.reset();
    runnable_.reset();
    progress_.reset();
}

void OperationSequence::destroyTimer() {
    timer_.reset();
    currentOperation_ = 0;
}

void OperationSequence::run() {
    try {
        // One view for the whole run: mapping and unmapping on every poll
        // costs two server round trips under Wine and changes nothing, as
        // the view shows the writer's stores as they happen.
        ipc::SharedMemoryUnsafe::Snapshot view(sharedMemory_);
        TDS_ASSERT(view.getSize() == Operation::kSize, "snapshot.getSize() == sizeof(Operation)");
        while (!finished_.load()) {
            const Operation op = readRecord(view.data());
            if (op.isReport())
                onOperation(op);
            clock_.sleep(pollInterval_);
            if (finished_.load())
                timer_.reset();
        }
    } catch (...) {
        destroyTimer();
        throw;
    }
    currentOperation_ = 0;
}

Operation OperationSequence::readRecord(const void* shared) {
    // One 8-byte load from the page-aligned view: the writer shares no lock
    // with us, so the record is taken whole, and volatile makes every poll
    // read the memory again. x86-64 loads little-endian: the id is the low
    // half.
    const uint64_t bits = *static_cast<const volatile uint64_t*>(shared);
    return Operation(static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32));
}

void OperationSequence::onOperation(const Operation& op) {
    const uint32_t id = op.getId();
    const uint32_t state = op.getState();
    if (id == currentOperation_) {
        if (state == Operation::Finished || state == Operation::SequenceEnded) {
            destroyTimer();
            if (state == Operation::SequenceEnded) {
                finished_.store(true);
            } else if (progress_->getCurrentChunkId() == id) {
                completeCurrent();
            }
            return;
        }
        if (timer_)
            return;
    }
    // An id without a remaining chunk (unknown, or already finished) is no
    // news: the record is read again at every poll, so stopping the running
    // operation's timer here would freeze the bar until a known id arrives.
    if (!progress_->hasRemainingChunk(id))
        return;
    destroyTimer();
    if (!progress_->skipTo(id))
        return;
    if (state == Operation::Finished) {
        completeCurrent();
    } else if (state == Operation::SequenceEnded) {
        finished_.store(true);
    } else {
        TDS_ASSERT(progress_->getCurrentChunkId() != 0, "progress->getCurrentChunkId() != 0");
        currentOperation_ = progress_->getCurrentChunkId();
        // The old runnable may go only now: its timer has been joined above.
        runnable_.reset(new ProgressUpdaterRunnable(*progress_, clock_));
        timer_.reset(new ipc::Timer(runnable_.get(), timerInterval_, clock_));
    }
}

void OperationSequence::completeCurrent() {
    TDS_ASSERT(timer_ == nullptr, "!timer");
    progress_->complete();
    if (progress_->getCurrentChunkId() == 0)
        finished_.store(true);
}
