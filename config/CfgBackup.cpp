#include "config/CfgBackup.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "config/TK630Cfg.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kExt[] = ".cfg";
constexpr unsigned kMaxSuffix = 10000;

std::string SerialPrefix(uint32_t serialNumber) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08u_", static_cast<unsigned>(serialNumber));
    return buf;
}

// Year, month, day, hour, minute, second, the suffix (1 when there is none), then 1 for a
// backup taken before a write: of two made within one second, the one after the write's own
// read sorts later.
using BackupKey = std::array<unsigned, 8>;

// Digits from `pos` for `count` characters; false unless all of them are digits.
bool Digits(const std::string& s, size_t pos, size_t count, unsigned& value) {
    if (count == 0 || pos + count > s.size())
        return false;
    value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9' || value > 100000000u)
            return false;
        value = value * 10 + static_cast<unsigned>(s[i] - '0');
    }
    return true;
}

// The sort key of a backup name of this unit ("<prefix>YYYY-MM-DD_hh-mm-ss[mark][_N].cfg"), or
// nothing for any other file: only names of exactly this form are ever deleted.
std::optional<BackupKey> ParseBackupName(const std::string& name, const std::string& prefix) {
    const size_t extLen = sizeof kExt - 1;
    if (name.size() <= prefix.size() + extLen || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - extLen, extLen, kExt) != 0)
        return std::nullopt;
    const std::string stem = name.substr(prefix.size(), name.size() - prefix.size() - extLen);
    // Field start, width and the separator after it.
    struct Field {
        size_t pos, width;
        char sep;
    };
    constexpr Field kFields[] = {{0, 4, '-'},  {5, 2, '-'},  {8, 2, '_'},
                                 {11, 2, '-'}, {14, 2, '-'}, {17, 2, '\0'}};
    constexpr size_t kTimeLen = 19;
    BackupKey key{};
    for (size_t i = 0; i < std::size(kFields); ++i) {
        const Field& f = kFields[i];
        if (!Digits(stem, f.pos, f.width, key[i]))
            return std::nullopt;
        if (f.sep != '\0' && stem[f.pos + f.width] != f.sep)
            return std::nullopt;
    }
    key[6] = 1;
    size_t at = kTimeLen;
    const size_t markLen = sizeof CFG_BACKUP_BEFORE_WRITE - 1;
    if (stem.compare(at, markLen, CFG_BACKUP_BEFORE_WRITE) == 0) {
        key[7] = 1;
        at += markLen;
    }
    if (stem.size() == at)
        return key;
    if (stem[at] != '_' || at + 1 >= stem.size() || stem[at + 1] == '0' ||
        !Digits(stem, at + 1, stem.size() - at - 1, key[6]) || key[6] < 2)
        return std::nullopt;
    return key;
}

// The serial number at the start of a backup's name ("00012345_..."); its prefix length in
// `prefixLen`, 0 when the name does not start so.
uint32_t SerialOfName(const std::string& name, size_t& prefixLen) {
    prefixLen = 0;
    const size_t us = name.find('_');
    unsigned long long serial = 0;
    if (us == std::string::npos || us < 8 || us > 10)
        return 0;
    for (size_t i = 0; i < us; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        serial = serial * 10 + static_cast<unsigned>(name[i] - '0');
    }
    if (serial > UINT32_MAX ||
        SerialPrefix(static_cast<uint32_t>(serial)) != name.substr(0, us + 1))
        return 0;
    prefixLen = us + 1;
    return static_cast<uint32_t>(serial);
}

// Creates the file exclusively, so that no existing backup is ever replaced.
bool Reserve(const std::string& path, bool& exists) {
    // A backup holds the SIM PIN: for the user alone.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void PruneBackups(const std::string& folder, const std::string& prefix, const std::string& keep) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::pair<BackupKey, std::string>> backups;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == keep)
            continue;
        if (auto key = ParseBackupName(name, prefix))
            backups.emplace_back(*key, name);
    }
    ::closedir(dir);
    // The new backup is always kept, whatever its time says (the PC clock may have been set
    // back); of the others the newest are kept.
    const size_t keepOthers = CFG_BACKUPS_PER_UNIT - 1;
    if (backups.size() <= keepOthers)
        return;
    std::sort(backups.begin(), backups.end());
    const size_t drop = backups.size() - keepOthers;
    for (size_t i = 0; i < drop; ++i)
        ::unlink((folder + "/" + backups[i].second).c_str());
}

} // namespace

std::string CfgBackupFolder() {
    return tk::DataFile("Backups");
}

std::string CfgBackupName(uint32_t serialNumber, const SysTime& when, bool beforeWrite) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u_%02u-%02u-%02u", unsigned{when.wYear},
                  unsigned{when.wMonth}, unsigned{when.wDay}, unsigned{when.wHour},
                  unsigned{when.wMinute}, unsigned{when.wSecond});
    return SerialPrefix(serialNumber) + buf + (beforeWrite ? CFG_BACKUP_BEFORE_WRITE : "") + kExt;
}

bool SaveConfigBackup(const CfgImage& image, uint32_t serialNumber, const SysTime& when,
                      std::string* path, bool beforeWrite) {
    const std::string folder = CfgBackupFolder();
    if (!tk::EnsureFolder(tk::DataFolder()) || !tk::EnsureFolder(folder))
        return false;
    const std::string base = CfgBackupName(serialNumber, when, beforeWrite);
    const std::string stem = base.substr(0, base.size() - (sizeof kExt - 1));
    std::string name;
    bool reserved = false;
    for (unsigned suffix = 1; suffix <= kMaxSuffix && !reserved; ++suffix) {
        name = suffix == 1 ? base : stem + "_" + std::to_string(suffix) + kExt;
        bool exists = false;
        reserved = Reserve(folder + "/" + name, exists);
        if (!reserved && !exists)
            return false;
    }
    if (!reserved)
        return false;
    const std::string full = folder + "/" + name;
    if (!WriteCfgFile(full, image, tk::FileOwner::Program)) {
        ::unlink(full.c_str());
        return false;
    }
    PruneBackups(folder, SerialPrefix(serialNumber), name);
    if (path)
        *path = full;
    return true;
}

std::vector<CfgBackupInfo> ListConfigBackups() {
    std::vector<std::pair<BackupKey, CfgBackupInfo>> found;
    const std::string folder = CfgBackupFolder();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        size_t prefixLen = 0;
        const uint32_t serial = SerialOfName(name, prefixLen);
        if (prefixLen == 0)
            continue;
        const auto key = ParseBackupName(name, name.substr(0, prefixLen));
        struct stat st {};
        const std::string path = folder + "/" + name;
        // A link named like a backup was not made here: it is no backup.
        if (!key || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        CfgBackupInfo info;
        info.path = path;
        info.name = name;
        info.serialNumber = serial;
        const BackupKey& k = *key;
        info.time = SysTime{static_cast<uint16_t>(k[0]),
                            static_cast<uint16_t>(k[1]),
                            0,
                            static_cast<uint16_t>(k[2]),
                            static_cast<uint16_t>(k[3]),
                            static_cast<uint16_t>(k[4]),
                            static_cast<uint16_t>(k[5]),
                            0};
        info.suffix = k[6];
        info.beforeWrite = k[7] != 0;
        info.size = static_cast<uint64_t>(st.st_size);
        found.emplace_back(k, std::move(info));
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first > b.first;
        return a.second.serialNumber > b.second.serialNumber;
    });
    std::vector<CfgBackupInfo> out;
    out.reserve(found.size());
    for (auto& [key, info] : found)
        out.push_back(std::move(info));
    return out;
}

bool CfgBuffersEqual(const uint8_t* a, const uint8_t* b, size_t size, size_t* firstDiff) {
    for (size_t i = 0; i < size; ++i) {
        if (a[i] != b[i]) {
            if (firstDiff)
                *firstDiff = i;
            return false;
        }
    }
    return true;
}
