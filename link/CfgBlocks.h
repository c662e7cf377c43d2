// The configuration travels to and from the unit in blocks of at most 170 bytes, each request
// naming the block's offset and length.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr uint32_t CFG_BLOCK_MAX = 170;
// 80 cc 01 FF, 00 00, offset, length (16-bit big-endian each); the data follows.
inline constexpr uint32_t CFG_BLOCK_HEADER = 10;

struct CfgBlock {
    uint32_t offset;
    uint32_t size;
    bool operator==(const CfgBlock&) const = default;
};

// The blocks of a layout of `length` bytes: ceil(length / 170) of them, the last one shorter.
std::vector<CfgBlock> SplitIntoBlocks(uint32_t length);

// Writes the ten header bytes of a block request.
void PutBlockHeader(uint8_t* request, uint8_t command, uint32_t offset, uint32_t size);
