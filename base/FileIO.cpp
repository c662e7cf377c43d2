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

int OpenProgramFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

int ReadStreamContent(int fd, std::string& out, size_t maxSize) {
    std::string content;
    char buf[4096];
    for (;;) {
        const ssize_t n = ReadUpTo(fd, buf, sizeof buf);
        if (n < 0)
            return errno != 0 ? errno : EIO;
        if (content.size() + static_cast<size_t>(n) > maxSize)
            return EFBIG;
        content.append(buf, static_cast<size_t>(n));
        if (static_cast<size_t>(n) < sizeof buf)
            break;
    }
    out = std::move(content);
    return 0;
}

int ReadFileContent(const std::string& path, std::string& out, size_t maxSize, unsigned flags) {
    int fd = -1;
    if ((flags & kReadRegularOnly) != 0) {
        const int extra = (flags & kReadNoFollow) != 0 ? O_NOFOLLOW : 0;
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | extra);
        struct stat st {};
        if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            return EINVAL;
        }
    } else {
        fd = ::open(path.c_str(),
                    O_RDONLY | O_CLOEXEC | ((flags & kReadNoFollow) != 0 ? O_NOFOLLOW : 0));
    }
    if (fd < 0)
        return errno;
    const int result = ReadStreamContent(fd, out, maxSize);
    ::close(fd);
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
