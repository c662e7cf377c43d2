#include "sms/SMSMng.h"

#include "base/Cp1250.h"
#include "base/FileIO.h"
#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "base/Texts.h"
#include "sms/ByteStream.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kFileVersion = 1;
// Records beyond the lists' room that a load keeps for the archive; a file with more is no
// store that ever was, and its counts are not trusted further.
constexpr size_t kMaxSurplus = 4 * SMS_LIST_MAX * SMS_LIST_COUNT;
// No store is larger (5 messages of at most 640 characters and 10 numbers a list, three
// lists): the copy of a damaged file stops there.
constexpr size_t kMaxCopiedFile = 1u << 20;

} // namespace

int CSMSMng::Append(std::unique_ptr<CSMS> sms, int list) {
    auto& items = m_aList[static_cast<size_t>(list)];
    sms->SetList(list);
    try {
        items.push_back(std::move(sms));
    } catch (const std::bad_alloc&) {
        return -3;
    }
    return static_cast<int>(items.size()) - 1;
}

int CSMSMng::Add(const CSMS& sms, int list) {
    if (!IsList(list))
        return -1;
    if (GetCount(list) >= SMS_LIST_MAX)
        return -2;
    std::unique_ptr<CSMS> copy(new (std::nothrow) CSMS);
    if (!copy)
        return -3;
    *copy = sms;
    if (sms.GetText() && !copy->GetText())
        return -3;
    return Append(std::move(copy), list);
}

int CSMSMng::Add(std::unique_ptr<CSMS>& sms, int list) {
    if (!IsList(list) || !sms)
        return -1;
    if (GetCount(list) >= SMS_LIST_MAX)
        return -2;
    auto& items = m_aList[static_cast<size_t>(list)];
    try {
        items.push_back(nullptr); // the caller keeps the message if this fails
    } catch (const std::bad_alloc&) {
        return -3;
    }
    sms->SetList(list);
    items.back() = std::move(sms);
    return static_cast<int>(items.size()) - 1;
}

int CSMSMng::Delete(int index, int list) {
    if (!IsList(list) || index < 0 || index >= GetCount(list))
        return -1;
    auto& items = m_aList[static_cast<size_t>(list)];
    if (items[static_cast<size_t>(index)].get() == m_pArchivedKept)
        m_pArchivedKept = nullptr;
    items.erase(items.begin() + index);
    return 1;
}

void CSMSMng::Clear(int list) {
    if (!IsList(list))
        return;
    for (const auto& sms : m_aList[static_cast<size_t>(list)])
        if (sms.get() == m_pArchivedKept)
            m_pArchivedKept = nullptr;
    m_aList[static_cast<size_t>(list)].clear();
}

int CSMSMng::Move(int index, int from, int to) {
    if (!IsList(from) || !IsList(to) || index < 0 || index >= GetCount(from))
        return -1;
    auto& source = m_aList[static_cast<size_t>(from)];
    if (from == to && source.size() >= static_cast<size_t>(SMS_LIST_MAX))
        return -2;
    if (from == to) {
        // Within one list a move only takes the message to the end.
        std::rotate(source.begin() + index, source.begin() + index + 1, source.end());
        source.back()->SetList(to);
        return static_cast<int>(source.size()) - 1;
    }
    auto& target = m_aList[static_cast<size_t>(to)];
    if (target.size() >= static_cast<size_t>(SMS_LIST_MAX))
        return -2;
    try {
        target.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        return -3;
    }
    target.back() = std::move(source[static_cast<size_t>(index)]);
    target.back()->SetList(to);
    source.erase(source.begin() + index);
    return static_cast<int>(target.size()) - 1;
}

CSMS* CSMSMng::Get(int index, int list) {
    if (!IsList(list) || index < 0 || index >= GetCount(list))
        return nullptr;
    return m_aList[static_cast<size_t>(list)][static_cast<size_t>(index)].get();
}

const CSMS* CSMSMng::Get(int index, int list) const {
    return const_cast<CSMSMng*>(this)->Get(index, list);
}

int CSMSMng::GetCount(int list) const {
    return IsList(list) ? static_cast<int>(m_aList[static_cast<size_t>(list)].size()) : 0;
}

std::string CSMSMng::FilePath() {
    return tk::DataFile("SMS.dat");
}

int CSMSMng::Load() {
    // Stamped before reading: a save by another program meanwhile shows as a change later.
    const tk::FileStamp stamp = tk::StampOf(FilePath());
    const int result = ReadFile();
    RememberFile(stamp);
    return result;
}

int CSMSMng::ReadFile() {
    m_bDamaged = false;
    const int fd = tk::OpenProgramFile(FilePath());
    if (fd < 0) {
        // A link or FIFO planted there is no store; Save refuses it as well.
        m_bDamaged = errno != ENOENT;
        return 0;
    }
    CFdReader file(fd);
    const int result = LoadFrom(file);
    ::close(fd);
    // Nothing is copied yet: a command that only reads leaves the file as it is, and the
    // first save keeps what could not be read.
    m_bDamaged = result != 1 || !m_surplus.empty();
    return result;
}

std::vector<uint8_t> CSMSMng::Record(const CSMS& sms) {
    CMemoryWriter record;
    sms.Write(record);
    return record.Data();
}

std::vector<uint8_t> CSMSMng::KeyOf(int list, int index) const {
    const auto& base = m_aBase[static_cast<size_t>(list)];
    if (index >= 0 && static_cast<size_t>(index) < base.size())
        return base[static_cast<size_t>(index)];
    const CSMS* sms = Get(index, list);
    return sms ? Record(*sms) : std::vector<uint8_t>();
}

bool CSMSMng::SameMessage(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    // A message another program marked read (bit 31 of the flags, the last byte of the four
    // after the time stamp) is still the message the caller means.
    constexpr size_t kUnreadByte = 6 + 3;
    if (a.size() != b.size() || a.size() <= kUnreadByte)
        return a == b;
    return std::equal(a.begin(), a.begin() + kUnreadByte, b.begin()) &&
           (a[kUnreadByte] & 0x7F) == (b[kUnreadByte] & 0x7F) &&
           std::equal(a.begin() + kUnreadByte + 1, a.end(), b.begin() + kUnreadByte + 1);
}

int CSMSMng::FindRecord(int list, const std::vector<uint8_t>& record,
                        std::vector<bool>& taken) const {
    taken.resize(SMS_LIST_MAX + 1, false);
    for (int i = 0; i < GetCount(list); ++i) {
        if (!taken[static_cast<size_t>(i)] && SameMessage(Record(*Get(i, list)), record)) {
            taken[static_cast<size_t>(i)] = true;
            return i;
        }
    }
    return -1;
}

std::vector<uint8_t> CSMSMng::MessageKey(int list, int index) const {
    const CSMS* sms = IsList(list) ? Get(index, list) : nullptr;
    return sms ? Record(*sms) : std::vector<uint8_t>();
}

int CSMSMng::FindMessage(int list, const std::vector<uint8_t>& key) const {
    if (!IsList(list) || key.empty())
        return -1;
    for (int i = 0; i < GetCount(list); ++i) {
        if (SameMessage(Record(*Get(i, list)), key))
            return i;
    }
    return -1;
}

void CSMSMng::RememberFile(const tk::FileStamp& stamp) {
    m_stamp = stamp;
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        auto& base = m_aBase[static_cast<size_t>(list)];
        base.clear();
        for (const auto& sms : m_aList[static_cast<size_t>(list)])
            base.push_back(Record(*sms));
    }
}

int CSMSMng::SyncWithFile() {
    return Reload(nullptr);
}

int CSMSMng::Reload(std::vector<std::pair<int, int>>* keep) {
    const tk::FileStamp now = tk::StampOf(FilePath());
    if (now == m_stamp)
        return 0;
    if (now == m_badStamp)
        return -1; // read once already; it stays unreadable until it changes again
    CSMSMng fresh;
    if (now.exists && fresh.ReadFile() != 1) {
        m_badStamp = now;
        return -1;
    }
    // The kept objects leave the old lists before they go, with what identified them.
    std::vector<std::pair<std::vector<uint8_t>, std::unique_ptr<CSMS>>> kept;
    if (keep) {
        for (const auto& [list, index] : *keep) {
            if (!Get(index, list))
                continue;
            kept.emplace_back(
                KeyOf(list, index),
                std::move(m_aList[static_cast<size_t>(list)][static_cast<size_t>(index)]));
        }
    }
    // Every other message the file still holds keeps its object (with the file's content), so
    // a pointer held elsewhere (an open editor) stays valid; one the other program removed is
    // set aside alive rather than destroyed under that pointer.
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        auto& old = m_aList[static_cast<size_t>(list)];
        auto& read = fresh.m_aList[static_cast<size_t>(list)];
        std::vector<bool> matched;
        for (size_t i = 0; i < old.size(); ++i) {
            if (!old[i])
                continue; // kept above
            const int at = fresh.FindRecord(list, KeyOf(list, static_cast<int>(i)), matched);
            if (at >= 0) {
                *old[i] = *read[static_cast<size_t>(at)];
                read[static_cast<size_t>(at)] = std::move(old[i]);
            } else {
                m_retired.push_back(std::move(old[i]));
            }
        }
        old = std::move(read);
    }
    // The archive's record of a message taken back after a failed save names an object that
    // may be gone now; archiving it once more is better than losing it.
    m_pArchivedKept = nullptr;
    // What the file's reading found beyond the lists is this store's to keep now.
    m_bDamaged = fresh.m_bDamaged;
    m_surplus = std::move(fresh.m_surplus);
    RememberFile(now);
    bool lost = false;
    std::array<std::vector<bool>, SMS_LIST_COUNT> taken;
    for (size_t k = 0; keep && k < kept.size(); ++k) {
        const int list = (*keep)[k].first;
        auto& items = m_aList[static_cast<size_t>(list)];
        int at = FindRecord(list, kept[k].first, taken[static_cast<size_t>(list)]);
        if (at >= 0) {
            m_retired.push_back(std::move(items[static_cast<size_t>(at)]));
            items[static_cast<size_t>(at)] = std::move(kept[k].second);
        } else if (items.size() >= static_cast<size_t>(SMS_LIST_MAX) && !EvictOldest(list)) {
            // No room, and the oldest unread message cannot go to the archive: neither is
            // dropped; the change is refused and its object stays alive for its holder.
            m_retired.push_back(std::move(kept[k].second));
            (*keep)[k].second = -1;
            lost = true;
            continue;
        } else {
            // Another program removed it meanwhile: the change made here is not lost.
            items.push_back(std::move(kept[k].second));
            at = static_cast<int>(items.size()) - 1;
            taken[static_cast<size_t>(list)].resize(SMS_LIST_MAX + 1, false);
            taken[static_cast<size_t>(list)][static_cast<size_t>(at)] = true;
        }
        items[static_cast<size_t>(at)]->SetList(list);
        (*keep)[k].second = at;
    }
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        UpdateListNode(list);
    return lost ? -1 : 1;
}

int CSMSMng::IndexOf(const CSMS* sms, int list) const {
    for (int i = 0; sms && i < GetCount(list); ++i)
        if (Get(i, list) == sms)
            return i;
    return -1;
}

bool CSMSMng::BeginChange(tk::CDataLock& lock, std::vector<std::pair<int, int>>* keep,
                          bool* reloaded, bool tell) {
    if (reloaded)
        *reloaded = false;
    if (!lock.Acquire(tk::kDataLockWaitMs) && lock.Busy()) {
        Failed(EBUSY, tell);
        return false;
    }
    // A Data folder that cannot be opened cannot hold another program's change either: the
    // change goes on, and its save fails and is reported as any failed save.
    const int r = Reload(keep);
    if (r < 0) {
        lock.Release();
        Failed(EBADMSG, tell);
        return false;
    }
    if (reloaded)
        *reloaded = r == 1;
    return true;
}

void CSMSMng::AddListener(ISMSStoreListener* listener) {
    if (listener &&
        std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void CSMSMng::RemoveListener(ISMSStoreListener* listener) {
    std::erase(m_listeners, listener);
}

void CSMSMng::Failed(int error, bool tell) {
    m_nSaveError = error;
    if (tell)
        Tell([error](ISMSStoreListener& l) { l.OnSmsSaveFailed(error); });
}

int CSMSMng::SaveChanges() {
    std::vector<std::pair<int, int>> changed;
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        for (int i = 0; i < GetCount(list); ++i) {
            const auto& base = m_aBase[static_cast<size_t>(list)];
            if (static_cast<size_t>(i) >= base.size() ||
                base[static_cast<size_t>(i)] != Record(*Get(i, list)))
                changed.emplace_back(list, i);
        }
        if (static_cast<size_t>(GetCount(list)) != m_aBase[static_cast<size_t>(list)].size())
            changed.emplace_back(list, -1); // a structural change that was never saved
    }
    if (changed.empty() && m_nSaveError == 0)
        return 1;
    tk::CDataLock lock;
    if (!lock.Acquire(tk::kDataLockWaitMs) && lock.Busy()) {
        m_nSaveError = EBUSY;
        return 0;
    }
    // Over what the file holds now; the messages changed in place keep their changes.
    std::erase_if(changed, [](const auto& at) { return at.second < 0; });
    if (Reload(&changed) < 0) {
        m_nSaveError = EBADMSG;
        return 0;
    }
    return Save();
}

int CSMSMng::LoadFrom(CByteReader& file) {
    uint32_t version = 0;
    if (!ReadU32LE(file, version) || version != kFileVersion)
        return 0;
    uint32_t counts[SMS_LIST_COUNT] = {};
    for (auto& count : counts) {
        if (!ReadU32LE(file, count))
            return 0;
    }
    m_surplus.clear();
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        Clear(list);
        // A count may be anything in a damaged file; every record is read before it is
        // counted, so the loop ends at the end of the data at the latest.
        for (uint32_t i = 0; i < counts[list]; ++i) {
            std::unique_ptr<CSMS> sms(new (std::nothrow) CSMS);
            if (!sms || !sms->Read(file))
                return 0;
            if (Add(sms, list) == -2) {
                if (m_surplus.size() >= kMaxSurplus)
                    return 0;
                sms->SetList(list);
                m_surplus.push_back(std::move(sms)); // archived at the next save
            }
        }
    }
    return 1;
}

int CSMSMng::SaveTo(CByteWriter& file) const {
    bool ok = WriteU32LE(file, kFileVersion);
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        ok = WriteU32LE(file, static_cast<uint32_t>(GetCount(list))) && ok;
    for (const auto& items : m_aList) {
        for (const auto& sms : items)
            ok = sms->Write(file) && ok;
    }
    return ok ? 1 : 0;
}

int CSMSMng::Save() {
    CMemoryWriter data;
    if (!SaveTo(data)) {
        m_nSaveError = ENOMEM;
        return 0;
    }
    errno = 0;
    if (!tk::EnsureFolder(tk::DataFolder())) {
        m_nSaveError = errno != 0 ? errno : ENOENT;
        return 0;
    }
    if (m_bDamaged) {
        // The first save over a file not loaded whole: its content is kept first, the user
        // is told where, and records that did not fit a list go to the archive.
        struct stat st {};
        const bool regular = ::lstat(FilePath().c_str(), &st) == 0 && S_ISREG(st.st_mode);
        const std::string copy =
            regular ? tk::PreserveDamagedFile(FilePath(), kMaxCopiedFile) : std::string();
        if (regular)
            Tell([&copy](ISMSStoreListener& l) { l.OnSmsStoreDamaged(copy); });
        if (regular && copy.empty()) {
            m_nSaveError = EIO;
            return 0;
        }
        while (!m_surplus.empty()) {
            if (!Archive(*m_surplus.front())) {
                m_nSaveError = errno != 0 ? errno : EIO;
                return 0;
            }
            m_surplus.erase(m_surplus.begin());
        }
    }
    tk::CSafeFileWriter writer;
    if (!writer.Open(FilePath(), 0600) || !writer.Write(data.Data().data(), data.Data().size()) ||
        !writer.Commit()) {
        m_nSaveError = writer.Error() != 0 ? writer.Error() : EIO;
        return 0;
    }
    m_nSaveError = 0;
    m_bDamaged = false;
    // Under the lock no other program saves between the rename and this look.
    RememberFile(tk::StampOf(FilePath()));
    return 1;
}

void CSMSMng::SaveAfterChange(tk::CDataLock& lock) {
    const bool saved = Save() == 1;
    lock.Release();
    if (!saved)
        Tell([this](ISMSStoreListener& l) { l.OnSmsSaveFailed(m_nSaveError); });
}

int CSMSMng::DeleteRows(int list, const int32_t* indices, int n) {
    if (!IsList(list) || !indices || n <= 0)
        return 0;
    n = std::min(n, SMS_LIST_MAX);
    // A copy: the indices may be m_anSel, which the listener is free to reuse.
    // Deleting from the last index down keeps the earlier ones valid only when they ascend.
    int32_t rows[SMS_LIST_MAX];
    std::copy(indices, indices + n, rows);
    std::sort(rows, rows + n);
    n = static_cast<int>(std::unique(rows, rows + n) - rows);
    Tell([&](ISMSStoreListener& l) { l.OnSmsRowsRemoved(list, rows, n); });
    int deleted = 0;
    for (int i = n - 1; i >= 0; --i) {
        if (Delete(rows[i], list) == 1)
            ++deleted;
    }
    UpdateListNode(list);
    return deleted;
}

std::string CSMSMng::ArchivePath() {
    return tk::DataFile("SMSArchive.txt");
}

bool CSMSMng::Archive(const CSMS& sms) {
    if (&sms == m_pArchivedKept)
        return true;
    CMemoryWriter line;
    if (!sms.WriteText(line))
        return false;
    const std::string text = tk::Cp1250ToUtf8(
        std::string_view(reinterpret_cast<const char*>(line.Data().data()), line.Data().size()));
    if (!tk::EnsureFolder(tk::DataFolder()))
        return false;
    // Only ever appended to, and never through a link planted in the Data folder or into a
    // FIFO that would block.
    const int fd =
        ::open(ArchivePath().c_str(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = tk::kRefusedKind;
        return false;
    }
    bool ok = true;
    size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    // On disk before the message goes from the list.
    ok = ::fsync(fd) == 0 && ok;
    if (!ok && done > 0 && done < text.size()) [[maybe_unused]]
        const ssize_t n = ::write(fd, "\r\n", 2); // end a broken line
    ::close(fd);
    if (ok)
        ++m_nArchived;
    return ok;
}

bool CSMSMng::EvictOldest(int list) {
    const CSMS* oldest = Get(0, list);
    if (!oldest)
        return false;
    if (oldest->IsUnread() && !Archive(*oldest))
        return false;
    const int32_t row = 0;
    DeleteRows(list, &row, 1);
    return true;
}

int CSMSMng::StoreReceived(const CSMS& sms) {
    std::unique_ptr<CSMS> copy(new (std::nothrow) CSMS);
    if (!copy)
        return -3;
    *copy = sms;
    if (sms.GetText() && !copy->GetText())
        return -3;
    // Into the file as it is now: what another program fetched meanwhile stays. A failure is
    // the link's to report (the unit keeps the message).
    tk::CDataLock lock;
    if (!BeginChange(lock, nullptr, nullptr, false))
        return -1;
    auto& items = m_aList[static_cast<size_t>(SMS_RECEIVED)];
    try {
        items.reserve(SMS_LIST_MAX + 1);
    } catch (const std::bad_alloc&) {
        return -3;
    }
    const bool full = items.size() >= static_cast<size_t>(SMS_LIST_MAX);
    const bool archive = full && items.front()->IsUnread();
    if (archive && !Archive(*items.front())) {
        m_nSaveError = errno != 0 ? errno : EIO;
        return -1;
    }
    // Tried out on the lists, and taken back when the file cannot be written.
    std::unique_ptr<CSMS> evicted;
    if (full) {
        evicted = std::move(items.front());
        items.erase(items.begin());
    }
    copy->SetList(SMS_RECEIVED);
    items.push_back(std::move(copy));
    if (!Save()) {
        items.pop_back();
        if (evicted) {
            if (archive)
                m_pArchivedKept = evicted.get();
            items.insert(items.begin(), std::move(evicted));
        }
        return -1;
    }
    const int index = static_cast<int>(items.size()) - 1;
    if (evicted && evicted.get() == m_pArchivedKept)
        m_pArchivedKept = nullptr; // destroyed below
    if (evicted) {
        const int32_t row = 0;
        Tell([&row](ISMSStoreListener& l) { l.OnSmsRowsRemoved(SMS_RECEIVED, &row, 1); });
    }
    Tell([index](ISMSStoreListener& l) { l.OnSmsRowAdded(SMS_RECEIVED, index); });
    UpdateListNode(SMS_RECEIVED);
    return index;
}

int CSMSMng::AddAndShow(const CSMS& sms, int list) {
    std::unique_ptr<CSMS> copy(new (std::nothrow) CSMS);
    if (!copy)
        return -3;
    *copy = sms;
    if (sms.GetText() && !copy->GetText())
        return -3;
    return AddAndShow(copy, list);
}

int CSMSMng::AddAndShow(std::unique_ptr<CSMS>& sms, int list) {
    tk::CDataLock lock;
    if (!BeginChange(lock))
        return -1;
    int r = Add(sms, list);
    bool changed = false;
    if (r == -2 && EvictOldest(list)) {
        changed = true;
        r = Add(sms, list);
    }
    if (r >= 0) {
        Tell([list, r](ISMSStoreListener& l) { l.OnSmsRowAdded(list, r); });
        UpdateListNode(list);
        changed = true;
    }
    if (changed)
        SaveAfterChange(lock);
    return r;
}

int CSMSMng::DeleteAndShow(int list, int n) {
    return DeleteAndShow(list, m_anSel.data(), n);
}

int CSMSMng::DeleteAndShow(int list, const int32_t* indices, int n) {
    if (!IsList(list) || !indices || n <= 0)
        return 0;
    n = std::min(n, SMS_LIST_MAX);
    std::vector<int32_t> rows(indices, indices + n);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // What the caller means by its indices, should another program's change move them.
    std::vector<std::vector<uint8_t>> keys;
    keys.reserve(rows.size());
    for (const int32_t row : rows)
        keys.push_back(Get(row, list) ? KeyOf(list, row) : std::vector<uint8_t>());
    tk::CDataLock lock;
    bool reloaded = false;
    if (!BeginChange(lock, nullptr, &reloaded))
        return 0;
    if (reloaded) {
        rows.clear();
        std::vector<bool> taken;
        for (const auto& key : keys) {
            const int at = key.empty() ? -1 : FindRecord(list, key, taken);
            if (at >= 0)
                rows.push_back(at); // gone meanwhile: nothing left to delete
        }
    }
    const int deleted = DeleteRows(list, rows.data(), static_cast<int>(rows.size()));
    if (deleted > 0)
        SaveAfterChange(lock);
    return deleted;
}

int CSMSMng::MoveAndShow(int index, int from, int to) {
    if (!Get(index, from) || !IsList(to))
        return -1;
    std::vector<std::pair<int, int>> keep{{from, index}};
    tk::CDataLock lock;
    if (!BeginChange(lock, &keep))
        return -1;
    index = keep[0].second;
    int r = Move(index, from, to);
    bool changed = false;
    if (r == -2 && from != to && EvictOldest(to)) {
        changed = true;
        r = Move(index, from, to);
    }
    if (r >= 0) {
        const int32_t row = index;
        Tell([&](ISMSStoreListener& l) { l.OnSmsRowsRemoved(from, &row, 1); });
        Tell([to, r](ISMSStoreListener& l) { l.OnSmsRowAdded(to, r); });
        UpdateListNode(from);
        UpdateListNode(to);
        changed = true;
    }
    if (changed)
        SaveAfterChange(lock);
    return r;
}

int CSMSMng::UpdateAndShow(int index, int list) {
    if (!Get(index, list))
        return -1;
    std::vector<std::pair<int, int>> keep{{list, index}};
    tk::CDataLock lock;
    if (!BeginChange(lock, &keep))
        return -1;
    index = keep[0].second;
    Tell([list, index](ISMSStoreListener& l) { l.OnSmsRowUpdated(list, index); });
    SaveAfterChange(lock);
    return m_nSaveError == 0 ? index : -1;
}

void CSMSMng::UpdateListNode(int list) {
    if (!IsList(list))
        return;
    const int count = GetCount(list);
    Tell([list, count](ISMSStoreListener& l) { l.OnSmsListCountChanged(list, count); });
}

std::string CSMSMng::ListNodeCaption(int list) const {
    if (!IsList(list))
        return {};
    std::string caption(GetText(TXT_SMS_LIST_BASE + static_cast<uint32_t>(list)));
    caption += " (" + std::to_string(GetCount(list)) + ")";
    // Unread messages a full list gave up are not in the list: the user sees where they went.
    if (list == SMS_RECEIVED && m_nArchived > 0)
        caption += " — " + std::to_string(m_nArchived) + " v archivu";
    return caption;
}
