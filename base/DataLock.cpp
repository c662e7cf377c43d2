#include "base/DataLock.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "base/SysError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tk {

CDataLock::~CDataLock() {
    Release();
}

bool CDataLock::Acquire() {
    if (m_fd >= 0)
        return true;
    m_busy = false;
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
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_busy = errno == EWOULDBLOCK;
        m_error = m_busy ? folder + " používá jiná spuštěná kopie programu (ovládací panel?)"
                         : folder + ": " + tk::SystemErrorText(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_error.clear();
    return true;
}

void CDataLock::Release() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace tk
