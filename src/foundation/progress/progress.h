#pragma once
// The progress model: whoever knows how far a job has come reports to a
// ProgressUpdater; ChunkedProgress spreads a sink updater's range over
// weighted chunks of work. Portable code.

#include <cstdint>
#include <memory>
#include <vector>

namespace progress {

class Progress {
public:
    virtual ~Progress() = default;
    // The current position, below getRange() while work remains.
    virtual uint32_t getPosition() const = 0;
    // The number of positions.
    virtual uint32_t getRange() const = 0;
};

class ProgressUpdater : public Progress {
public:
    // setPosition(getPosition() + 1).
    virtual void increment();
    virtual void setPosition(uint32_t position) = 0;
    // The unit of work is done.
    virtual void complete() = 0;
};

struct Chunk {
    uint32_t id;
    uint32_t weight;
};

// An ordered list of chunks with nonzero, unique ids.
class Chunks {
public:
    // id 0 is an assertion failure. An existing id gets the new weight in
    // place, or is removed for weight 0; a new id with a nonzero weight is
    // appended; a new id with weight 0 changes nothing.
    void set(uint32_t id, uint32_t weight);

    const std::vector<Chunk>& items() const { return items_; }

private:
    std::vector<Chunk> items_;
};

// Positions inside the current chunk, reported to the sink as positions of
// its whole range. Not thread-safe by itself: the operation sequence calls
// setPosition on its timer thread and complete only after that thread ended.
class ChunkedProgress : public ProgressUpdater {
public:
    // Copies chunks; the sink is not owned and must outlive the result. Its
    // range is read once, here.
    static std::unique_ptr<ChunkedProgress> create(const Chunks& chunks, ProgressUpdater& sink);

    // The position inside the current chunk.
    uint32_t getPosition() const override { return position_; }
    // The current chunk's weight (the last chunk's once all are done; 0
    // without chunks).
    uint32_t getRange() const override { return currentWeight_; }
    // The current chunk's id; 0 when no chunk is left.
    uint32_t getCurrentChunkId() const;
    // True when a chunk not yet completed has id (never for 0).
    bool hasRemainingChunk(uint32_t id) const;

    // Ignored when no chunk is left, when position is at or beyond the
    // chunk's weight, or when it is the position already held; otherwise
    // reports the new overall position to the sink.
    void setPosition(uint32_t position) override;
    // Completes the current chunk (the sink sees it full, or completes when
    // it was the last one); ignored when no chunk is left.
    void complete() override;
    // Completes every chunk in front of id so that it becomes current; true
    // then, false (and no change) when no remaining chunk has that id. 0
    // completes all remaining chunks.
    bool skipTo(uint32_t id);

private:
    ChunkedProgress(const Chunks& chunks, ProgressUpdater& sink);
    void report();

    std::vector<Chunk> chunks_;  // remaining; the first one is current
    ProgressUpdater& sink_;
    uint32_t scale_;
    // Sums of weights are kept in 64 bits: a few long chunks in ms would
    // overflow 32 bits and report nonsense.
    uint64_t total_;
    uint64_t done_ = 0;
    uint32_t currentWeight_;
    uint32_t position_ = 0;
};

}  // namespace progress
