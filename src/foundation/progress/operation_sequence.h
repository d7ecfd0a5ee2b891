#pragma once
// Turns the operation reports that another process writes into the shared
// operation record into smooth progress: each operation id is a weighted
// chunk of a progress::ChunkedProgress, and between reports a timer moves
// the current chunk on by the milliseconds its operation has run.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "foundation/ipc/clock.h"
#include "foundation/ipc/shared_memory.h"
#include "foundation/progress/progress.h"

namespace ipc {
class Timer;
}

// The name of the shared memory that holds the record, machine-wide.
constexpr char kOperationSequenceSharedMemoryName[] = "TdsOperationSequenceSharedMemory";

// The 8-byte record written by the package's custom actions: id (bytes 0-3)
// and state (bytes 4-7), both little-endian. All zero is the empty record.
class Operation {
public:
    enum State : uint32_t { Invalid = 0, Started = 1, Finished = 2, SequenceEnded = 3 };
    static constexpr size_t kSize = 8;

    Operation() = default;
    Operation(uint32_t id, uint32_t state);

    uint32_t getId() const;
    uint32_t getState() const;
    // True when the record asks for handling: a state is set and the id is
    // nonzero (a state without an id breaks the record's contract and counts
    // as no report).
    bool isReport() const { return getState() != Invalid && getId() != 0; }

private:
    unsigned char bytes_[kSize] = {};
};
static_assert(sizeof(Operation) == Operation::kSize, "the record is exactly 8 bytes");
static_assert(std::is_trivially_copyable<Operation>::value, "the record is copied as bytes");

// The shared record, created (or opened, when the package made it first)
// with the fixed name and size. The only create path; the handle is closed
// when the result is destroyed. Throws TdsError<ipc::PlatformError>.
std::unique_ptr<ipc::SharedMemory<Operation>> createOperationRecord();

class OperationSequence {
public:
    struct Config {
        uint32_t timerInterval = 100;  // ms between moves of a running operation
        uint32_t pollInterval = 100;   // ms between reads of the record
        progress::Chunks chunks;
        // The clock of the polls, the timer and the elapsed times; null is
        // the real one. It must outlive the sequence.
        ipc::Clock* clock = nullptr;

        // Sets the chunk of id (nonzero, asserted) to seconds * 1000; 0
        // removes it. Durations beyond the 32-bit range of milliseconds are
        // cut to that range.
        void setDuration(uint32_t id, uint32_t seconds);
    };

    // The shared memory (8 bytes) and the sink are not owned and must outlive
    // the sequence.
    static std::unique_ptr<OperationSequence> create(const Config& config,
                                                     ipc::SharedMemoryUnsafe& sharedMemory,
                                                     progress::ProgressUpdater& sink);
    // Stops and joins the timer thread first. Never throws.
    ~OperationSequence();
    OperationSequence(const OperationSequence&) = delete;
    OperationSequence& operator=(const OperationSequence&) = delete;

    // Polls the record until the sequence ends: a record of state 3 for a
    // known id, the last chunk completed, or stop(). No timer thread is left
    // when it returns. Throws TdsError<ipc::PlatformError> when the record
    // cannot be mapped or the timer thread cannot be started.
    void run();
    // Ends run() after its current poll; any thread may call it.
    void stop() { finished_.store(true); }

private:
    friend struct OperationSequenceTestAccess;
    class ProgressUpdaterRunnable;

    OperationSequence(const Config& config, ipc::SharedMemoryUnsafe& sharedMemory,
                      progress::ProgressUpdater& sink);
    // The record as it stands in the mapped view.
    static Operation readRecord(const void* shared);
    void onOperation(const Operation& op);
    void completeCurrent();
    void destroyTimer();

    uint32_t timerInterval_;
    uint32_t pollInterval_;
    ipc::Clock& clock_;
    ipc::SharedMemoryUnsafe& sharedMemory_;
    std::unique_ptr<progress::ChunkedProgress> progress_;
    std::unique_ptr<ProgressUpdaterRunnable> runnable_;
    std::unique_ptr<ipc::Timer> timer_;
    uint32_t currentOperation_ = 0;
    std::atomic<bool> finished_{false};
};
