#include "connections/ConnectDsc.h"

#include "app/ProgramFolder.h"
#include "app/SafeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <unistd.h>

namespace {

constexpr char kFileName[] = "Connection.dat";
constexpr size_t kHeaderSize = 12;
constexpr size_t kRecordSize = sizeof(CConnectDsc);

template <size_t N>
void SetField(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    if (text != nullptr)
        std::memcpy(field, text, strnlen(text, N - 1));
}

void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// True when all `size` bytes were read.
bool ReadWhole(int fd, uint8_t* buf, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buf + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

void CConnectDsc::SetNum(const char* num) {
    SetField(m_szNum, num);
}

void CConnectDsc::SetPIN(const char* pin) {
    SetField(m_szPIN, pin);
}

void CConnectDscMng::Clear() {
    m_aDsc.clear();
    m_nSel = -1;
}

int CConnectDscMng::Add(const CConnectDsc& dsc) {
    if (m_aDsc.size() >= static_cast<size_t>(CONNECT_MAX))
        return -1;
    try {
        m_aDsc.push_back(std::make_unique<CConnectDsc>(dsc));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return GetCount() - 1;
}

void CConnectDscMng::Delete(int index) {
    if (index < 0 || index >= GetCount())
        return;
    m_aDsc.erase(m_aDsc.begin() + index);
}

CConnectDsc* CConnectDscMng::Get(int index) {
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_aDsc[static_cast<size_t>(index)].get();
}

const CConnectDsc* CConnectDscMng::Get(int index) const {
    return const_cast<CConnectDscMng*>(this)->Get(index);
}

int CConnectDscMng::Load() {
    Clear();
    const std::string path = tk::DataFile(kFileName);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;

    int result = 0;
    uint8_t header[kHeaderSize];
    if (ReadWhole(fd, header, sizeof header) && GetLE32(header) == CONNECT_FILE_VERSION) {
        const auto sel = static_cast<int32_t>(GetLE32(header + 4));
        const uint32_t count = GetLE32(header + 8);
        uint32_t added = 0;
        uint8_t rec[kRecordSize];
        // A count above CONNECT_MAX ends at the first Add that fails.
        while (added < count && ReadWhole(fd, rec, sizeof rec)) {
            CConnectDsc dsc;
            std::memcpy(dsc.m_szNum, rec, sizeof dsc.m_szNum);
            std::memcpy(dsc.m_szPIN, rec + sizeof dsc.m_szNum, sizeof dsc.m_szPIN);
            // A damaged file must not give texts without their end.
            dsc.m_szNum[sizeof dsc.m_szNum - 1] = '\0';
            dsc.m_szPIN[sizeof dsc.m_szPIN - 1] = '\0';
            if (Add(dsc) < 0)
                break;
            ++added;
        }
        if (added == count) {
            m_nSel = sel;
            result = 1;
        }
    }
    ::close(fd);
    if (result != 1) {
        Clear();
        // The list is saved over this file at the end: keep what could not be read.
        tk::PreserveDamagedFile(path);
    }
    return result;
}

int CConnectDscMng::Save() const {
    const std::string folder = tk::DataFolder();
    if (!tk::EnsureFolder(folder))
        return 0;

    std::vector<uint8_t> bytes(kHeaderSize + kRecordSize * m_aDsc.size());
    PutLE32(bytes.data(), CONNECT_FILE_VERSION);
    PutLE32(bytes.data() + 4, static_cast<uint32_t>(m_nSel));
    PutLE32(bytes.data() + 8, static_cast<uint32_t>(m_aDsc.size()));
    uint8_t* p = bytes.data() + kHeaderSize;
    for (const auto& dsc : m_aDsc) {
        std::memcpy(p, dsc->m_szNum, sizeof dsc->m_szNum);
        std::memcpy(p + sizeof dsc->m_szNum, dsc->m_szPIN, sizeof dsc->m_szPIN);
        p += kRecordSize;
    }
    return tk::WriteFileAtomically(tk::DataFile(kFileName), bytes.data(), bytes.size(), 0600) ? 1
                                                                                              : 0;
}
