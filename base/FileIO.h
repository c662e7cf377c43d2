// Small helpers for reading the program's files and their little-endian numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace tk {

// Reads up to `size` bytes; fewer only at the end of the file. -1 when a read fails.
ssize_t ReadUpTo(int fd, void* buf, size_t size);

// Reads a whole file of at most `maxSize` bytes into `out`. 0 on success, else the reason as
// an errno value: ENOENT when there is no file, EFBIG when it is larger than `maxSize`,
// EINVAL when `regularOnly` is set and it is no regular file (a FIFO or device would block
// or never end).
int ReadFileContent(const std::string& path, std::string& out, size_t maxSize,
                    bool regularOnly = false);

uint32_t GetLE32(const uint8_t* p);
void PutLE32(uint8_t* p, uint32_t value);

} // namespace tk
