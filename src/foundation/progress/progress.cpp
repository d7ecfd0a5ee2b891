#include "foundation/progress/progress.h"

#include <algorithm>

#include "foundation/ipc/assertion.h"

namespace progress {

void ProgressUpdater::increment() { setPosition(getPosition() + 1); }

void Chunks::set(uint32_t id, uint32_t weight) {
    TDS_ASSERT(id != 0, "id != 0");
    auto it = std::find_if(items_.begin(), items_.end(), [id](const Chunk& c) { return c.id == id; });
    if (it != items_.end()) {
        if (weight != 0)
            it->weight = weight;
        else
            items_.erase(it);
    } else if (weight != 0) {
        items_.push_back(Chunk{id, weight});
    }
}

std::unique_ptr<ChunkedProgress> ChunkedProgress::create(const Chunks& chunks, ProgressUpdater& sink) {
    return std::unique_ptr<ChunkedProgress>(new ChunkedProgress(chunks, sink));
}

ChunkedProgress::ChunkedProgress(const Chunks& chunks, ProgressUpdater& sink)
    : chunks_(chunks.items()), sink_(sink), scale_(sink.getRange()), total_(0),
      currentWeight_(chunks_.empty() ? 0 : chunks_.front().weight) {
    for (const Chunk& c : chunks_)
        total_ += c.weight;
}

uint32_t ChunkedProgress::getCurrentChunkId() const { return chunks_.empty() ? 0 : chunks_.front().id; }

void ChunkedProgress::setPosition(uint32_t position) {
    if (chunks_.empty() || position >= currentWeight_ || position == position_)
        return;
    position_ = position;
    report();
}

void ChunkedProgress::complete() {
    if (chunks_.empty())
        return;
    chunks_.erase(chunks_.begin());
    position_ = currentWeight_;
    report();
    done_ += currentWeight_;
    position_ = 0;
    if (!chunks_.empty())
        currentWeight_ = chunks_.front().weight;
}

bool ChunkedProgress::hasRemainingChunk(uint32_t id) const {
    return id != 0 &&
           std::any_of(chunks_.begin(), chunks_.end(), [id](const Chunk& c) { return c.id == id; });
}

bool ChunkedProgress::skipTo(uint32_t id) {
    if (id == 0) {
        while (!chunks_.empty())
            complete();
        return true;
    }
    auto it = std::find_if(chunks_.begin(), chunks_.end(), [id](const Chunk& c) { return c.id == id; });
    if (it == chunks_.end())
        return false;
    for (auto ahead = it - chunks_.begin(); ahead > 0; --ahead)
        complete();
    return true;
}

void ChunkedProgress::report() {
    const uint64_t s = done_ + position_;
    if (s == total_) {
        sink_.complete();
        return;
    }
    const double scaled = static_cast<double>(s) / static_cast<double>(total_) * scale_ + 0.5;
    sink_.setPosition(static_cast<uint32_t>(scaled));
}

}  // namespace progress
