// Only the tiles whose bytes differ from what the link queued before go out.
#include "app/link/TileMemory.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// One record per (address, fill): every column byte is the fill.
std::vector<uint8_t> Records(std::vector<std::pair<int, uint8_t>> tiles) {
    std::vector<uint8_t> block;
    for (auto [address, fill] : tiles) {
        block.push_back(uint8_t(address));
        block.insert(block.end(), wire::kTileColumns, fill);
    }
    return block;
}

TEST(TileMemory, OnlyChangedTilesGoOutUntilItForgets) {
    std::vector<std::pair<int, uint8_t>> all;
    for (int a = 0; a < wire::kTiles; ++a)
        all.push_back({a, 0x00});
    const std::vector<uint8_t> white = Records(all), flips = Records({{5, 1}, {9, 1}, {9, 0}});
    std::vector<uint8_t> oddBytes = Records({{0x40, 0x11}}); // no address, and a stray tail
    oddBytes.insert(oddBytes.end(), {7, 7});
    const struct {
        bool forget;
        std::vector<uint8_t> block, sent;
    } steps[] = {
        {false, white, white}, // a new link: the first picture goes out whole
        {false, white, {}},
        {false, flips, flips},
        {false, Records({{5, 1}, {9, 1}}), Records({{9, 1}})},
        {true, white, white}, // a whole-picture resend
        {false, oddBytes, oddBytes},
    };
    TileMemory memory;
    for (const auto& step : steps) {
        if (step.forget)
            memory.Forget();
        std::vector<uint8_t> sent;
        KeepChangedTiles(memory, step.block, sent);
        EXPECT_EQ(sent, step.sent) << "step " << (&step - steps);
    }
}

TEST(TileMemory, ARefusedBlockIsSentAgainLater) {
    TileMemory memory;
    std::vector<std::vector<uint8_t>> queued;
    bool refuse = true;
    auto enqueue = [&](const std::vector<uint8_t>& block) {
        if (!refuse)
            queued.push_back(block);
        return refuse ? -1 : 0;
    };
    const std::vector<uint8_t> block = Records({{3, 0xAA}, {4, 0xAA}});
    EXPECT_LT(QueueChangedTiles(memory, block, enqueue), 0);
    refuse = false;
    EXPECT_EQ(QueueChangedTiles(memory, block, enqueue), 0);
    EXPECT_EQ(QueueChangedTiles(memory, block, enqueue), 0); // unchanged now: not handed over
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], block);
}

} // namespace
