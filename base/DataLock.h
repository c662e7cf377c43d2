// One program at a time owns the files of the Data folder ("SMS.dat", "Connection.dat", the
// modem list): the control panel holds this lock while it runs, and the command-line
// companion takes it before a command that changes those files.
#pragma once

#include <string>

namespace tk {

class CDataLock {
public:
    CDataLock() = default;
    ~CDataLock();
    CDataLock(const CDataLock&) = delete;
    CDataLock& operator=(const CDataLock&) = delete;

    // Takes the lock on the Data folder (created when missing) without waiting. False when
    // another process holds it (Busy()), or the folder cannot be made or opened; Error() then
    // says why, with the folder's path and the system's reason.
    bool Acquire();
    void Release();
    bool IsHeld() const { return m_fd >= 0; }
    // The last Acquire failed because another process holds the lock, not for any other cause.
    bool Busy() const { return m_busy; }
    const std::string& Error() const { return m_error; }

private:
    int m_fd = -1;
    bool m_busy = false;
    std::string m_error;
};

} // namespace tk
