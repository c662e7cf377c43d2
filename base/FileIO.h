// Small helpers for reading the program's files and their little-endian numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace tk {

// Reads up to `size` bytes; fewer only at the end of the file. -1 when a read fails.
ssize_t ReadUpTo(int fd, void* buf, size_t size);

// How ReadFileContent opens its file.
enum : unsigned {
    kReadAnything = 0,
    kReadRegularOnly = 1, // a FIFO or device would block or never end: refused (EINVAL)
    kReadNoFollow = 2,    // a symbolic link is refused (ELOOP)
    // A file the program keeps in its own folders: both.
    kReadProgramFile = kReadRegularOnly | kReadNoFollow,
};

// Reads a whole file of at most `maxSize` bytes into `out`. 0 on success, else the reason as
// an errno value: ENOENT when there is no file, EFBIG when it is larger than `maxSize`,
// EINVAL or ELOOP when `flags` refuse what is there.
int ReadFileContent(const std::string& path, std::string& out, size_t maxSize,
                    unsigned flags = kReadAnything);

// Reads what a descriptor (standard input) gives until its end, at most `maxSize` bytes.
// 0 on success, EFBIG when more came (the rest is not read), else the errno of the read.
int ReadStreamContent(int fd, std::string& out, size_t maxSize);

// Opens a file the program keeps in its own folders for reading: never through a symbolic
// link (errno ELOOP), never waiting on a FIFO and never anything but a regular file (EINVAL).
// The descriptor, or -1 with errno set (ENOENT when there is none).
int OpenProgramFile(const std::string& path);

uint32_t GetLE32(const uint8_t* p);
void PutLE32(uint8_t* p, uint32_t value);

} // namespace tk
