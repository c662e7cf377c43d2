#include "link/CfgBlocks.h"

#include "link/Commands.h"

#include <algorithm>

std::vector<CfgBlock> SplitIntoBlocks(uint32_t length) {
    std::vector<CfgBlock> blocks;
    for (uint32_t offset = 0; offset < length; offset += CFG_BLOCK_MAX)
        blocks.push_back({offset, std::min(length - offset, CFG_BLOCK_MAX)});
    return blocks;
}

void PutBlockHeader(uint8_t* request, uint8_t command, uint32_t offset, uint32_t size) {
    PutRequestHeader(request, command);
    request[4] = 0;
    request[5] = 0;
    request[6] = static_cast<uint8_t>(offset >> 8);
    request[7] = static_cast<uint8_t>(offset);
    request[8] = static_cast<uint8_t>(size >> 8);
    request[9] = static_cast<uint8_t>(size);
}
