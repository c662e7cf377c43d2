#include "connections/ConnectDsc.h"

#include "base/FileIO.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"

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
constexpr size_t kMaxFileSize = kHeaderSize + kRecordSize * CONNECT_MAX;

template <size_t N>
void SetField(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    if (text != nullptr)
        std::memcpy(field, text, strnlen(text, N - 1));
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
    // Stamped before reading: a save by another program meanwhile shows as a change later.
    const tk::FileStamp stamp = tk::StampOf(path);
    // Whatever the file gives (an empty list when it cannot be read) is no change of this
    // program's: it is not saved over the file.
    struct Remember {
        const CConnectDscMng& list;
        const tk::FileStamp& stamp;
        ~Remember() { list.RememberFile(stamp); }
    } remember{*this, stamp};
    const int fd = tk::OpenProgramFile(path);
    if (fd < 0)
        return 0; // missing, or a link or FIFO that Save refuses as well
    // A list of CONNECT_MAX descriptors is the longest file there is: a count above that is
    // refused anyway, so nothing beyond it needs reading.
    std::vector<uint8_t> file(kMaxFileSize);
    const ssize_t got = tk::ReadUpTo(fd, file.data(), file.size());
    ::close(fd);
    const int result = got < 0 ? 0 : LoadBytes(file.data(), static_cast<size_t>(got));
    if (result != 1) {
        // The list is saved over this file at the end: keep what could not be read.
        tk::PreserveDamagedFile(path, 1u << 20); // bounded well above any list
    }
    return result;
}

int CConnectDscMng::LoadBytes(const uint8_t* data, size_t size) {
    Clear();
    if (data == nullptr || size < kHeaderSize || tk::GetLE32(data) != CONNECT_FILE_VERSION)
        return 0;
    const auto sel = static_cast<int32_t>(tk::GetLE32(data + 4));
    const uint32_t count = tk::GetLE32(data + 8);
    // A count above CONNECT_MAX fails at the first Add beyond it, a count above what the data
    // holds at its end: a damaged file never leaves part of a list.
    if (count > (size - kHeaderSize) / kRecordSize)
        return 0;
    const uint8_t* rec = data + kHeaderSize;
    for (uint32_t i = 0; i < count; ++i, rec += kRecordSize) {
        CConnectDsc dsc;
        std::memcpy(dsc.m_szNum, rec, sizeof dsc.m_szNum);
        std::memcpy(dsc.m_szPIN, rec + sizeof dsc.m_szNum, sizeof dsc.m_szPIN);
        // A damaged file must not give texts without their end.
        dsc.m_szNum[sizeof dsc.m_szNum - 1] = '\0';
        dsc.m_szPIN[sizeof dsc.m_szPIN - 1] = '\0';
        if (Add(dsc) < 0) {
            Clear();
            return 0;
        }
    }
    m_nSel = sel;
    return 1;
}

std::vector<uint8_t> CConnectDscMng::SaveBytes() const {
    std::vector<uint8_t> bytes(kHeaderSize + kRecordSize * m_aDsc.size());
    tk::PutLE32(bytes.data(), CONNECT_FILE_VERSION);
    tk::PutLE32(bytes.data() + 4, static_cast<uint32_t>(m_nSel));
    tk::PutLE32(bytes.data() + 8, static_cast<uint32_t>(m_aDsc.size()));
    uint8_t* p = bytes.data() + kHeaderSize;
    for (const auto& dsc : m_aDsc) {
        std::memcpy(p, dsc->m_szNum, sizeof dsc->m_szNum);
        std::memcpy(p + sizeof dsc->m_szNum, dsc->m_szPIN, sizeof dsc->m_szPIN);
        p += kRecordSize;
    }
    return bytes;
}

int CConnectDscMng::Save() const {
    const std::string folder = tk::DataFolder();
    if (!tk::EnsureFolder(folder))
        return 0;
    std::vector<uint8_t> bytes;
    try {
        bytes = SaveBytes();
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!tk::WriteFileAtomically(tk::DataFile(kFileName), bytes.data(), bytes.size(), 0600))
        return 0;
    RememberFile(tk::StampOf(tk::DataFile(kFileName)));
    return 1;
}

void CConnectDscMng::RememberFile(const tk::FileStamp& stamp) const {
    m_stamp = stamp;
    m_base = SaveBytes();
}

bool CConnectDscMng::ChangedHere() const {
    return SaveBytes() != m_base;
}

int CConnectDscMng::SyncWithFile() {
    if (ChangedHere() || tk::StampOf(tk::DataFile(kFileName)) == m_stamp)
        return 0;
    Load();
    return 1;
}

namespace {

bool SameNum(const CConnectDsc& a, const CConnectDsc& b) {
    return std::strcmp(a.m_szNum, b.m_szNum) == 0;
}

// The first descriptor of `list` with this number not yet `taken`, or -1.
int FindNum(const CConnectDscMng& list, const CConnectDsc& dsc, std::vector<bool>& taken) {
    taken.resize(static_cast<size_t>(list.GetCount()), false);
    for (int i = 0; i < list.GetCount(); ++i) {
        if (!taken[static_cast<size_t>(i)] && SameNum(*list.Get(i), dsc)) {
            taken[static_cast<size_t>(i)] = true;
            return i;
        }
    }
    return -1;
}

// The chosen descriptor, or nullptr when none is chosen.
const CConnectDsc* Chosen(const CConnectDscMng& list) {
    return list.Get(list.GetSel());
}

} // namespace

void CConnectDscMng::MergeInto(CConnectDscMng& disk) const {
    CConnectDscMng base;
    base.LoadBytes(m_base.data(), m_base.size());
    // This program's changes: each descriptor it last read, matched by its number with one
    // of the list now; what is left over on either side was removed or added here.
    std::vector<bool> mineTaken;
    std::vector<std::pair<const CConnectDsc*, const CConnectDsc*>> changes; // (was, now)
    for (int i = 0; i < base.GetCount(); ++i) {
        const int at = FindNum(*this, *base.Get(i), mineTaken);
        if (at < 0)
            changes.emplace_back(base.Get(i), nullptr);
        else if (std::memcmp(base.Get(i), Get(at), sizeof(CConnectDsc)) != 0)
            changes.emplace_back(base.Get(i), Get(at));
    }
    mineTaken.resize(static_cast<size_t>(GetCount()), false);
    for (int i = 0; i < GetCount(); ++i) {
        if (!mineTaken[static_cast<size_t>(i)])
            changes.emplace_back(nullptr, Get(i));
    }

    // The chosen one by its number: indices move with the changes below.
    const CConnectDsc* chosenBase = Chosen(base);
    const CConnectDsc* chosenHere = Chosen(*this);
    const bool choiceChanged = (chosenBase == nullptr) != (chosenHere == nullptr) ||
                               (chosenHere && !SameNum(*chosenBase, *chosenHere));
    CConnectDsc chosen{};
    const CConnectDsc* pick = choiceChanged ? chosenHere : Chosen(disk);
    const bool hasChoice = pick != nullptr;
    if (hasChoice)
        chosen = *pick;

    for (const auto& [was, now] : changes) {
        std::vector<bool> taken;
        const int at = FindNum(disk, was ? *was : *now, taken);
        if (!now) {
            disk.Delete(at);
        } else if (at >= 0) {
            *disk.Get(at) = *now;
        } else {
            disk.Add(*now); // new here, or changed here and removed there: not lost
        }
    }
    int sel = -1;
    for (int i = 0; hasChoice && i < disk.GetCount() && sel < 0; ++i) {
        if (SameNum(*disk.Get(i), chosen))
            sel = i;
    }
    disk.SetSel(sel);
}

int CConnectDscMng::SaveChanges(int waitMs) {
    if (!ChangedHere())
        return 1;
    tk::CDataLock lock;
    if (!lock.Acquire(waitMs) && lock.Busy())
        return 0;
    // Another program saved meanwhile: its list with this program's own changes made over it,
    // so that neither loses what the other did.
    if (!(tk::StampOf(tk::DataFile(kFileName)) == m_stamp)) {
        CConnectDscMng disk;
        if (disk.Load() == 1) {
            MergeInto(disk);
            m_aDsc = std::move(disk.m_aDsc);
            m_nSel = disk.m_nSel;
        }
    }
    return Save();
}
