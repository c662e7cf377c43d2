#include "base/DataLock.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "base/SysError.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tk {

namespace {

constexpr int kRetryMs = 20;

// The process's hold on the lock: one descriptor, shared by every CDataLock that holds it.
std::mutex g_mutex;
int g_fd = -1;
int g_holders = 0;

int64_t Nanoseconds(const timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

CDataLock::~CDataLock() {
    Release();
}

bool CDataLock::Acquire(int waitMs) {
    if (m_bHeld)
        return true;
    m_busy = false;
    const std::lock_guard<std::mutex> guard(g_mutex);
    if (g_holders > 0) {
        ++g_holders;
        m_bHeld = true;
        m_error.clear();
        return true;
    }
    const std::string folder = DataFolder();
    if (!EnsureFolder(folder)) {
        // A user data folder that could not be made is the cause, not its missing Data.
        const std::string cause = ProgramFolderInUse().error;
        m_error = cause.empty() ? folder + ": " + tk::SystemErrorText(errno) : cause;
        return false;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        m_error = folder + ": " + tk::SystemErrorText(errno);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EINTR)
            continue;
        if (err != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            m_busy = err == EWOULDBLOCK;
            m_error = m_busy ? folder + " právě mění jiný program (ovládací panel nebo tk530ctl)"
                             : folder + ": " + tk::SystemErrorText(err);
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
    g_fd = fd;
    g_holders = 1;
    m_bHeld = true;
    m_error.clear();
    return true;
}

void CDataLock::Release() {
    if (!m_bHeld)
        return;
    m_bHeld = false;
    const std::lock_guard<std::mutex> guard(g_mutex);
    if (--g_holders == 0) {
        ::close(g_fd);
        g_fd = -1;
    }
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = Nanoseconds(st.st_mtim);
    stamp.ctimeNs = Nanoseconds(st.st_ctim);
    return stamp;
}

} // namespace tk
