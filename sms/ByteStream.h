// Small byte streams for the SMS file and the text export: the records are read from and
// written to these instead of a file handle, so that the same code serves a file on disk and
// a buffer in memory (a damaged "SMS.dat" can then be fed in as bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CByteReader {
public:
    virtual ~CByteReader() = default;
    // Copies up to `size` bytes to `data`; returns how many were copied. Fewer than asked
    // means the end of the data (or a read error, which ends it as well).
    virtual size_t Read(void* data, size_t size) = 0;
};

class CByteWriter {
public:
    virtual ~CByteWriter() = default;
    // False when the bytes could not all be written.
    virtual bool Write(const void* data, size_t size) = 0;
};

// Numbers in the program's own files are little-endian.
bool ReadU32LE(CByteReader& file, uint32_t& value);
bool WriteU32LE(CByteWriter& file, uint32_t value);

// Reads from a buffer that the caller keeps alive.
class CMemoryReader final : public CByteReader {
public:
    CMemoryReader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(data ? size : 0) {}
    explicit CMemoryReader(const std::vector<uint8_t>& data)
        : CMemoryReader(data.data(), data.size()) {}
    size_t Read(void* data, size_t size) override;

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
};

// Collects the bytes in memory; the whole content is then saved in one go.
class CMemoryWriter final : public CByteWriter {
public:
    bool Write(const void* data, size_t size) override;
    const std::vector<uint8_t>& Data() const { return m_aData; }

private:
    std::vector<uint8_t> m_aData;
};

// Reads an open file descriptor from its current position. The descriptor stays the
// caller's.
class CFdReader final : public CByteReader {
public:
    explicit CFdReader(int fd) : m_fd(fd) {}
    size_t Read(void* data, size_t size) override;

private:
    int m_fd;
};
