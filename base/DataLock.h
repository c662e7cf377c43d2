// The files of the program folder ("Profile.dat", and in Data "SMS.dat", "Connection.dat", the
// modem list) are shared by the control panel and the command-line companion, which may run
// at the same time. Each program changes a file only under this lock, and only for the change:
// take the lock, read the file again when another program changed it (FileStamp), apply the
// change, save atomically, release. The lock is never held across a question to the user or
// a whole run, so the other program waits for it briefly at most.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace tk {

// How long a change waits for another program's change to end. A change takes milliseconds;
// a lock held longer than this belongs to a program that holds it wrongly or hangs.
inline constexpr int kDataLockWaitMs = 2000;

// What a program tells its user when a change waited for the lock in vain.
inline constexpr char kDataBusyText[] =
    "Soubory ve složce Data právě mění jiný program (tk530ctl?). Změna nebyla provedena; "
    "zkuste to prosím znovu.";

class CDataLock {
public:
    CDataLock() = default;
    ~CDataLock();
    CDataLock(const CDataLock&) = delete;
    CDataLock& operator=(const CDataLock&) = delete;

    // Takes the lock on the Data folder (created when missing), waiting up to `waitMs` while
    // another process holds it. Within one process the lock is shared: a take while this
    // process holds it already succeeds at once (a change inside a command that took it).
    // False when another process held it all the time (Busy()), or the folder cannot be made
    // or opened; Error() then says why (Czech), with the folder's path and the system's reason.
    bool Acquire(int waitMs = 0);
    void Release();
    bool IsHeld() const { return m_bHeld; }
    // The last Acquire failed because another process holds the lock, not for any other cause.
    bool Busy() const { return m_busy; }
    const std::string& Error() const { return m_error; }

private:
    bool m_bHeld = false;
    bool m_busy = false;
    std::string m_error;
};

// What a file was when a program last read or wrote it. Every save renames a new file over
// the old one, so another program's save shows as another inode even within one clock tick;
// size and times catch an editor that writes in place.
struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtimeNs = 0;
    int64_t ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of `path` now (exists false when there is no file or it cannot be examined).
FileStamp StampOf(const std::string& path);

} // namespace tk
