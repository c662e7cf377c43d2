#include "link/CfgBlocks.h"

#include <gtest/gtest.h>

using Blocks = std::vector<CfgBlock>;

TEST(CfgBlocks, LayoutsSplitIntoBlocksOf170) {
    EXPECT_EQ(SplitIntoBlocks(340), (Blocks{{0, 170}, {170, 170}}));
    EXPECT_EQ(SplitIntoBlocks(341), (Blocks{{0, 170}, {170, 170}, {340, 1}}));
    EXPECT_TRUE(SplitIntoBlocks(0).empty()); // nothing to send, nothing asked
    const Blocks device = SplitIntoBlocks(1665);
    ASSERT_EQ(device.size(), 10u);
    EXPECT_EQ(device.back(), (CfgBlock{1530, 135}));
    EXPECT_EQ(SplitIntoBlocks(1659).back(), (CfgBlock{1530, 129}));
}

TEST(CfgBlocks, OffsetAndLengthAreBigEndian) {
    uint8_t request[CFG_BLOCK_HEADER] = {};
    PutBlockHeader(request, 0x28, 0x0154, 0x00AA);
    EXPECT_EQ(std::vector<uint8_t>(request, request + CFG_BLOCK_HEADER),
              (std::vector<uint8_t>{0x80, 0x28, 0x01, 0xFF, 0x00, 0x00, 0x01, 0x54, 0x00, 0xAA}));
}
