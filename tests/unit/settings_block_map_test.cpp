#include <gtest/gtest.h>

#include <set>

#include "settings/block_map.h"

using etc::settings::Block;
using etc::settings::BlockMap;
using etc::settings::BlockSpan;
using etc::settings::kBlocks;

namespace {

struct SpanCase {
    Block block;
    int address;
    int words;
};

// Word address and length of every block of the supported families.
const SpanCase kSpans[] = {
    {Block::Curve1, 0, 11},
    {Block::Curve2, 11, 11},
    {Block::CurveOptions, 22, 2},
    {Block::ThrottleLimit, 24, 11},
    {Block::Etc, 35, 39},
    {Block::PedalCorrection, 74, 255},
    {Block::Hardware, 329, 3},
    {Block::Rpm, 332, 22},
    {Block::Als, 354, 2},
    {Block::Launch, 356, 2},
    {Block::ThrottleSettings, 358, 18},
    {Block::CanSettings, 376, 3},
    {Block::CanMessages, 379, 60},
    {Block::CanChannels, 439, 127},
    {Block::Pwm, 566, 1},
    {Block::IdleTable, 567, 11},
    {Block::IdleStart, 578, 1},
    {Block::Calibration, 896, 128},
};

TEST(SettingsBlockMap, IsEmptyUntilSetAndGivesNoAddresses) {
    const BlockMap map;
    EXPECT_FALSE(map.isSet());
    for (Block b : kBlocks) {
        EXPECT_EQ(map.span(b), (BlockSpan{0, 0})) << static_cast<int>(b);
        EXPECT_EQ(map.address(b), 0);
        EXPECT_EQ(map.words(b), 0);
    }
}

TEST(SettingsBlockMap, SetGivesEveryBlockItsAddressAndLength) {
    BlockMap map;
    map.set();
    ASSERT_TRUE(map.isSet());
    for (const SpanCase& c : kSpans) {
        EXPECT_EQ(map.address(c.block), c.address) << static_cast<int>(c.block);
        EXPECT_EQ(map.words(c.block), c.words) << static_cast<int>(c.block);
        // The fixed layout is there whether or not the map is set.
        EXPECT_EQ(BlockMap::layout(c.block), (BlockSpan{c.address, c.words}));
    }
}

TEST(SettingsBlockMap, BlocksFollowEachOtherInDecodingOrderWithTheGapBeforeCalibration) {
    ASSERT_EQ(kBlocks.front(), Block::Curve1);
    ASSERT_EQ(kBlocks.back(), Block::Calibration);
    int end = 0;
    for (Block b : kBlocks) {
        const BlockSpan s = BlockMap::layout(b);
        if (b == Block::Calibration) {
            EXPECT_EQ(end, BlockMap::kGap.address);
            end += BlockMap::kGap.words;
        }
        EXPECT_EQ(s.address, end) << static_cast<int>(b);
        end = s.address + s.words;
    }
    EXPECT_EQ(end, BlockMap::kTotalWords);
    // The 20 boundaries are the starts of the 18 blocks and the gap, then the end.
    std::set<int> starts;
    for (Block b : kBlocks)
        starts.insert(BlockMap::layout(b).address);
    starts.insert(BlockMap::kGap.address);
    starts.insert(BlockMap::kTotalWords);
    EXPECT_EQ(std::set<int>(BlockMap::kBoundaries.begin(), BlockMap::kBoundaries.end()), starts);
}

TEST(SettingsBlockMap, BlockNumbersAreTheUploadSteps) {
    for (const SpanCase& c : kSpans)
        EXPECT_EQ(BlockMap::fromNumber(static_cast<int>(c.block)), c.block);
    EXPECT_FALSE(BlockMap::fromNumber(2).has_value());
    EXPECT_FALSE(BlockMap::fromNumber(20).has_value());
    EXPECT_FALSE(BlockMap::fromNumber(59).has_value());
    EXPECT_EQ(BlockMap::layout(static_cast<Block>(20)), (BlockSpan{0, 0}));
}

}  // namespace
