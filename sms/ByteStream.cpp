#include "sms/ByteStream.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

size_t CMemoryReader::Read(void* data, size_t size) {
    const size_t n = size < m_nSize - m_nPos ? size : m_nSize - m_nPos;
    if (n > 0) {
        std::memcpy(data, m_pData + m_nPos, n);
        m_nPos += n;
    }
    return n;
}

bool CMemoryWriter::Write(const void* data, size_t size) {
    if (size == 0)
        return true;
    const auto* p = static_cast<const uint8_t*>(data);
    try {
        m_aData.insert(m_aData.end(), p, p + size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

size_t CFdReader::Read(void* data, size_t size) {
    auto* p = static_cast<uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool ReadU32LE(CByteReader& file, uint32_t& value) {
    uint8_t b[4];
    if (file.Read(b, sizeof b) != sizeof b)
        return false;
    value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
            static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool WriteU32LE(CByteWriter& file, uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return file.Write(b, sizeof b);
}
