#include "base/SafeFile.h"

#include "base/FileIO.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
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

bool CSafeFileWriter::Open(const std::string& path, mode_t mode) {
    Discard();
    m_error = 0;
    m_path = path;
    // A symbolic link stays a link: the file it points to is the one replaced.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* target = ::realpath(path.c_str(), nullptr);
        if (target) {
            m_path = target;
            std::free(target);
        }
    }
    m_tmpPath = m_path + ".tmp.XXXXXX";
    const int fd = ::mkostemp(m_tmpPath.data(), O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        m_tmpPath.clear();
        return false;
    }
    m_fd = fd;
    if (::fchmod(m_fd, mode) != 0) {
        Fail(errno);
        Discard();
        return false;
    }
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
    if (m_error == 0 && Sync(m_fd) != 0)
        Fail(errno);
    if (::close(m_fd) != 0)
        Fail(errno);
    m_fd = -1;
    if (m_error == 0 && ::rename(m_tmpPath.c_str(), m_path.c_str()) != 0)
        Fail(errno);
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
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tmpPath.empty()) {
        ::unlink(m_tmpPath.c_str());
        m_tmpPath.clear();
    }
}

std::string PreserveDamagedFile(const std::string& path) {
    std::string content;
    if (ReadFileContent(path, content, SIZE_MAX) != 0)
        return {};
    const time_t now = ::time(nullptr);
    struct tm tm {};
    ::localtime_r(&now, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, ".damaged-%Y%m%d-%H%M%S", &tm);
    std::string copy = path + stamp;
    for (int i = 2; ::access(copy.c_str(), F_OK) == 0 && i < 100; ++i)
        copy = path + stamp + "-" + std::to_string(i);
    return WriteFileAtomically(copy, content.data(), content.size(), 0600) ? copy : std::string();
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, mode_t mode) {
    CSafeFileWriter w;
    return w.Open(path, mode) && w.Write(data, size) && w.Commit();
}

} // namespace tk
