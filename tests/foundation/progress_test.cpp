// The weighted progress model (portable: also runs natively).
#include "foundation/progress/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/recording_sink.h"

namespace {

using Calls = std::vector<std::string>;

progress::Chunks makeChunks(std::initializer_list<progress::Chunk> list) {
    progress::Chunks chunks;
    for (const auto& c : list)
        chunks.set(c.id, c.weight);
    return chunks;
}

std::vector<uint32_t> ids(const progress::Chunks& chunks) {
    std::vector<uint32_t> out;
    for (const auto& c : chunks.items())
        out.push_back(c.id);
    return out;
}

TEST(ChunksTest, Set_KeepsOrderReplacesAndRemoves) {
    progress::Chunks chunks = makeChunks({{3, 1}, {5, 2}, {9, 3}});
    chunks.set(5, 7);
    EXPECT_EQ(ids(chunks), (std::vector<uint32_t>{3, 5, 9}));
    EXPECT_EQ(chunks.items()[1].weight, 7u);
    chunks.set(4, 0);  // unknown id with weight 0: nothing
    EXPECT_EQ(ids(chunks), (std::vector<uint32_t>{3, 5, 9}));
    chunks.set(3, 0);
    EXPECT_EQ(ids(chunks), (std::vector<uint32_t>{5, 9}));
    chunks.set(1, 4);
    EXPECT_EQ(ids(chunks), (std::vector<uint32_t>{5, 9, 1}));
}

TEST(ChunksDeathTest, Set_ZeroIdIsAssertionFailure) {
    progress::Chunks chunks;
    EXPECT_DEATH(chunks.set(0, 5), "id != 0");
}

TEST(ChunkedProgressTest, SetPosition_ReportsRoundedShareOfSinkRange) {
    RecordingSink sink(1000);
    auto p = progress::ChunkedProgress::create(makeChunks({{1, 50000}, {2, 10000}}), sink);
    p->setPosition(25000);
    p->complete();
    EXPECT_EQ(sink.calls(), (Calls{"417", "833"}));
    EXPECT_EQ(p->getCurrentChunkId(), 2u);
    EXPECT_EQ(p->getRange(), 10000u);
    EXPECT_EQ(p->getPosition(), 0u);
}

TEST(ChunkedProgressTest, SetPosition_HalfRoundsUp) {
    RecordingSink sink(1000);
    auto p = progress::ChunkedProgress::create(makeChunks({{1, 176000}}), sink);
    p->setPosition(88);
    EXPECT_EQ(sink.calls(), (Calls{"1"}));
}

TEST(ChunkedProgressTest, SetPosition_IgnoresSameAndOutOfChunkValues) {
    RecordingSink sink(100);
    auto p = progress::ChunkedProgress::create(makeChunks({{1, 10}, {2, 10}}), sink);
    p->setPosition(0);   // the position it has
    p->setPosition(10);  // the chunk's weight: only complete() finishes it
    p->setPosition(11);
    EXPECT_TRUE(sink.calls().empty());
    p->increment();
    p->increment();
    EXPECT_EQ(sink.calls(), (Calls{"5", "10"}));
    EXPECT_EQ(p->getCurrentChunkId(), 1u);
}

TEST(ChunkedProgressTest, Complete_LastChunkCompletesSinkWithoutFinalPosition) {
    RecordingSink sink(1000);
    auto p = progress::ChunkedProgress::create(makeChunks({{1, 10}, {2, 30}}), sink);
    p->complete();
    p->setPosition(15);
    p->complete();
    EXPECT_EQ(sink.calls(), (Calls{"250", "625", "complete"}));
    EXPECT_EQ(p->getCurrentChunkId(), 0u);
    p->complete();
    p->setPosition(1);
    EXPECT_EQ(sink.calls().size(), 3u);
}

TEST(ChunkedProgressTest, SkipTo_CompletesChunksInFrontOnly) {
    RecordingSink sink(100);
    auto p = progress::ChunkedProgress::create(makeChunks({{1, 1}, {2, 1}, {3, 2}}), sink);
    EXPECT_TRUE(p->skipTo(1));
    EXPECT_TRUE(sink.calls().empty());
    EXPECT_TRUE(p->skipTo(3));
    EXPECT_EQ(sink.calls(), (Calls{"25", "50"}));
    EXPECT_FALSE(p->skipTo(2));  // completed already
    EXPECT_FALSE(p->skipTo(7));
    EXPECT_EQ(sink.calls().size(), 2u);
    EXPECT_EQ(p->getCurrentChunkId(), 3u);
    EXPECT_TRUE(p->skipTo(0));
    EXPECT_EQ(sink.calls(), (Calls{"25", "50", "complete"}));
}

TEST(ChunkedProgressTest, Create_WithoutChunksIgnoresEverything) {
    RecordingSink sink(100);
    auto p = progress::ChunkedProgress::create(progress::Chunks(), sink);
    EXPECT_EQ(p->getCurrentChunkId(), 0u);
    EXPECT_EQ(p->getRange(), 0u);
    p->setPosition(1);
    p->complete();
    EXPECT_FALSE(p->skipTo(1));
    EXPECT_TRUE(sink.calls().empty());
}

TEST(ChunkedProgressTest, Report_WeightsBeyond32BitSumStayInRange) {
    // Three operations of about 23 days in ms: their sum needs 33 bits.
    RecordingSink sink(1000);
    const uint32_t w = 2000000000u;
    auto p = progress::ChunkedProgress::create(makeChunks({{1, w}, {2, w}, {3, w}}), sink);
    p->complete();
    p->complete();
    p->setPosition(w / 2);
    EXPECT_EQ(sink.calls(), (Calls{"333", "667", "833"}));
    p->complete();
    EXPECT_EQ(sink.calls().back(), "complete");
}

}  // namespace
