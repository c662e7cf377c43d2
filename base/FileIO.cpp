#include "base/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk {

ssize_t ReadUpTo(int fd, void* buf, size_t size) {
    auto* bytes = static_cast<uint8_t*>(buf);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

int ReadFileContent(const std::string& path, std::string& out, size_t maxSize, bool regularOnly) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
    if (fd < 0)
        return errno;
    struct stat st {};
    if (regularOnly && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return EINVAL;
    }
    std::string content;
    char buf[4096];
    int result = 0;
    for (;;) {
        const ssize_t n = ReadUpTo(fd, buf, sizeof buf);
        if (n < 0) {
            result = errno != 0 ? errno : EIO;
            break;
        }
        content.append(buf, static_cast<size_t>(n));
        if (content.size() > maxSize) {
            result = EFBIG;
            break;
        }
        if (static_cast<size_t>(n) < sizeof buf)
            break;
    }
    ::close(fd);
    if (result == 0)
        out = std::move(content);
    return result;
}

uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLE32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

} // namespace tk
