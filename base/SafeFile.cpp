#include "base/SafeFile.h"

#include "base/FileIO.h"
#include "base/SysError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk {
namespace {

std::atomic<SyncFunction> g_sync{::fsync};

int Sync(int fd) {
    return g_sync.load()(fd);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Makes the rename itself durable.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        Sync(fd);
        ::close(fd);
    }
}

} // namespace

mode_t CurrentUmask() {
    // umask() can only be read by setting it, which races with other threads creating files.
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(f);
        if (found)
            return static_cast<mode_t>(mask);
    }
    return 022;
}

SyncFunction ReplaceSyncFunction(SyncFunction sync) {
    return g_sync.exchange(sync ? sync : ::fsync);
}

bool EnsureFolder(const std::string& path, mode_t mode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
            return false;
        if (::stat(path.c_str(), &st) != 0)
            return false;
    }
    if (S_ISDIR(st.st_mode))
        return true;
    errno = ENOTDIR;
    return false;
}

CSafeFileWriter::~CSafeFileWriter() {
    Discard();
}

namespace {

// The file a user's path names once the kernel has followed its links, with the kernel's own
// rules (a link another user planted in a shared sticky folder stays refused). Empty with
// errno set when it cannot be followed; the path itself when it is no link.
std::string FollowedTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? path : std::string(); // a dangling link is replaced itself
    // A link to a pipe, terminal or device (/dev/stdout) is opened as it is, as a stream.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return path;
    }
    char target[PATH_MAX];
    const ssize_t n =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
    ::close(fd);
    if (n <= 0 || target[0] != '/') {
        errno = ENOENT;
        return {};
    }
    return std::string(target, static_cast<size_t>(n));
}

// Temporary files of `path` that a killed save left ("<path>.tmp.XXXXXX"). A save in progress
// holds a lock on its own, so only abandoned ones are removed.
void RemoveLeftovers(const std::string& path, const std::string& own) {
    const std::string folder = FolderOf(path);
    const size_t slash = path.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp.";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string leftover = folder + "/" + name;
        if (leftover == own)
            continue;
        const int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(leftover.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

// Whether the first `size` bytes of the file open as `fd` are those of `copy` (whose size
// was checked). Leaves `fd` at its start.
bool SameStart(int fd, const std::string& copy, size_t size) {
    const int other = ::open(copy.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (other < 0)
        return false;
    bool same = true;
    char a[16384];
    char b[sizeof a];
    for (size_t left = size; same && left > 0;) {
        const size_t chunk = std::min(left, sizeof a);
        same = ReadUpTo(fd, a, chunk) == static_cast<ssize_t>(chunk) &&
               ReadUpTo(other, b, chunk) == static_cast<ssize_t>(chunk) &&
               std::memcmp(a, b, chunk) == 0;
        left -= chunk;
    }
    ::close(other);
    return ::lseek(fd, 0, SEEK_SET) == 0 && same;
}

} // namespace

std::string FileErrorText(int err) {
    switch (err) {
    case kRefusedLink:
        return "je to symbolický odkaz, program jím nezapisuje ani nečte";
    case kRefusedKind:
        return "není to obyčejný soubor";
    case EFBIG:
        return "soubor je větší, než může být";
    default:
        return SystemErrorText(err);
    }
}

bool CSafeFileWriter::Open(const std::string& path, mode_t mode, FileOwner owner) {
    Discard();
    m_error = 0;
    m_path = path;
    m_stream = false;
    m_ownsFd = true;
    m_forcedMode = -1;
    struct stat st {};
    if (owner == FileOwner::Program) {
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            m_error = S_ISLNK(st.st_mode) ? kRefusedLink : kRefusedKind;
            return false;
        }
    } else if (path == "-") {
        m_fd = STDOUT_FILENO;
        m_stream = true;
        m_ownsFd = false;
        return true;
    } else {
        m_path = FollowedTarget(path);
        if (m_path.empty()) {
            m_error = errno != 0 ? errno : EACCES;
            return false;
        }
        if (::stat(m_path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            if (S_ISDIR(st.st_mode)) {
                m_error = EISDIR;
                return false;
            }
            // A FIFO, terminal or device: the data goes to it, nothing is replaced.
            const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (fd < 0) {
                m_error = errno;
                return false;
            }
            m_fd = fd;
            m_stream = true;
            return true;
        }
    }
    m_tmpPath = m_path + ".tmp.XXXXXX";
    const int fd = ::mkostemp(m_tmpPath.data(), O_CLOEXEC); // 0600 until the commit
    if (fd < 0) {
        m_error = errno;
        m_tmpPath.clear();
        return false;
    }
    m_fd = fd;
    ::flock(m_fd, LOCK_EX | LOCK_NB); // marks the save as live for RemoveLeftovers
    RemoveLeftovers(m_path, m_tmpPath);
    m_mode = mode & ~CurrentUmask() & 07777;
    return true;
}

void CSafeFileWriter::Fail(int err) {
    if (m_error == 0)
        m_error = err != 0 ? err : EIO;
}

bool CSafeFileWriter::Write(const void* data, size_t size) {
    if (m_fd < 0 || m_error != 0) {
        Fail(EBADF);
        return false;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
            return false;
        }
        if (n == 0) {
            Fail(ENOSPC);
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CSafeFileWriter::Commit() {
    if (m_fd < 0) {
        Fail(EBADF);
        return false;
    }
    if (m_stream) {
        if (m_ownsFd && ::close(m_fd) != 0)
            Fail(errno);
        m_fd = -1;
        return m_error == 0;
    }
    // The mode and group of the file replaced, as it is now (another save may have changed it
    // since Open).
    mode_t mode = m_mode;
    struct stat old {};
    if (::stat(m_path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
        // Only the owner may hand the group on; where that fails the group stays ours.
        if (old.st_gid != ::getegid() && ::fchown(m_fd, static_cast<uid_t>(-1), old.st_gid) != 0)
            mode &= ~static_cast<mode_t>(S_ISGID);
    }
    if (m_forcedMode >= 0)
        mode = static_cast<mode_t>(m_forcedMode);
    if (m_error == 0 && Sync(m_fd) != 0)
        Fail(errno);
    // Renamed while still open and locked (so no other save takes it for a leftover), and
    // given its mode only then: a temporary file a kill leaves is never readable by others.
    if (m_error == 0 && ::rename(m_tmpPath.c_str(), m_path.c_str()) != 0)
        Fail(errno);
    if (m_error == 0)
        ::fchmod(m_fd, mode); // in place already: a failure leaves it only more private
    if (::close(m_fd) != 0)
        Fail(errno);
    m_fd = -1;
    if (m_error != 0) {
        ::unlink(m_tmpPath.c_str());
        m_tmpPath.clear();
        return false;
    }
    m_tmpPath.clear();
    SyncFolder(FolderOf(m_path));
    return true;
}

void CSafeFileWriter::Discard() {
    if (m_fd >= 0 && m_ownsFd)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tmpPath.empty()) {
        ::unlink(m_tmpPath.c_str());
        m_tmpPath.clear();
    }
}

std::string PreserveDamagedFile(const std::string& path, size_t maxSize) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {};
    }
    struct tm tm {};
    ::localtime_r(&st.st_mtime, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, ".damaged-%Y%m%d-%H%M%S", &tm);
    std::string copy = path + stamp;
    for (int i = 2; i < 100; ++i) {
        struct stat other {};
        if (::lstat(copy.c_str(), &other) != 0)
            break;
        const auto kept =
            std::min(static_cast<uint64_t>(st.st_size), static_cast<uint64_t>(maxSize));
        if (S_ISREG(other.st_mode) && static_cast<uint64_t>(other.st_size) == kept &&
            SameStart(fd, copy, static_cast<size_t>(kept))) {
            ::close(fd); // this damage was kept already
            return copy;
        }
        copy = path + stamp + "-" + std::to_string(i);
    }
    CSafeFileWriter writer;
    bool ok = writer.Open(copy, 0600);
    writer.ForceMode(st.st_mode & 0600);
    char buf[65536];
    for (size_t left = maxSize; ok && left > 0;) {
        const ssize_t n = ReadUpTo(fd, buf, std::min(left, sizeof buf));
        ok = n >= 0 && writer.Write(buf, static_cast<size_t>(n));
        if (n <= 0)
            break;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
    return ok && writer.Commit() ? copy : std::string();
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, mode_t mode,
                         FileOwner owner) {
    CSafeFileWriter w;
    return w.Open(path, mode, owner) && w.Write(data, size) && w.Commit();
}

} // namespace tk
