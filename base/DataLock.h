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
    // another process holds it, or the folder cannot be made; Error() then says why.
    bool Acquire();
    void Release();
    bool IsHeld() const { return m_fd >= 0; }
    const std::string& Error() const { return m_error; }

private:
    int m_fd = -1;
    std::string m_error;
};

} // namespace tk
