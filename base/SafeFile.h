// Saving without losing data. Every file of the program is written to a temporary file in
// the same folder, flushed to disk and renamed over the old one, so a crash, a power cut or
// a full disk in the middle of a save leaves the old file complete.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace tk {

// Creates the folder when it does not exist (its parent must exist). True when the folder
// exists afterwards; otherwise errno tells why.
bool EnsureFolder(const std::string& path, mode_t mode = 0755);

class CSafeFileWriter {
public:
    CSafeFileWriter() = default;
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Starts the save of `path`: creates the temporary file with exactly `mode` (the umask
    // does not apply). False when it cannot be created.
    bool Open(const std::string& path, mode_t mode = 0644);

    // Appends bytes. False on the first failed write (and on every write after it).
    bool Write(const void* data, size_t size);

    // Flushes the temporary file to disk and renames it over `path`. False when anything
    // failed on the way; the old file is then untouched and the temporary file removed.
    bool Commit();

    // Abandons the save: removes the temporary file. Called by the destructor.
    void Discard();

    bool IsOpen() const { return m_fd >= 0; }
    // errno of the first failure, 0 when none.
    int Error() const { return m_error; }

private:
    void Fail(int err);

    std::string m_path;
    std::string m_tmpPath;
    int m_fd = -1;
    int m_error = 0;
};

// Keeps a copy of a file that could not be loaded ("<path>.damaged-YYYYMMDD-HHMMSS") before
// the program saves over it, so that what it held is never lost. Returns the copy's path, or
// an empty text when no copy could be made.
std::string PreserveDamagedFile(const std::string& path);

// The flush to disk of a file or folder (fsync by default). A test replaces it to see which
// flushes a save makes and when; returns the function it replaces.
using SyncFunction = int (*)(int fd);
SyncFunction ReplaceSyncFunction(SyncFunction sync);

// One-call form: the whole content at once. True when the new file is in place.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size,
                         mode_t mode = 0644);

} // namespace tk
