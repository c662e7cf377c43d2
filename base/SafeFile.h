// Saving without losing data. Every file of the program is written to a temporary file in
// the same folder, flushed to disk and renamed over the old one, so a crash, a power cut or
// a full disk in the middle of a save leaves the old file complete.
//
// What a path may name depends on whose it is. The files the program keeps in its own folders
// (the trace, the Data folder, backups, profiles) are never reached through a symbolic link
// and are always regular files: anything else there was planted, and is refused. A path the
// user gave may be a link the user made (the file it points to is replaced, the link stays),
// "-" for standard output, or a FIFO, terminal or device, which get the data as a stream.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <sys/types.h>

namespace tk {

// Creates the folder when it does not exist (its parent must exist). True when the folder
// exists afterwards; otherwise errno tells why. The program's folders hold PINs: for the user
// alone unless told.
bool EnsureFolder(const std::string& path, mode_t mode = 0700);

// The process's file mode creation mask, read without changing it.
mode_t CurrentUmask();

// Whose file a path names (see above).
enum class FileOwner {
    Program, // in the program's folders: no links, regular files only
    User,    // named by the user: links followed by the kernel, non-regular files streamed
};

// The errno of a refused program file: a symbolic link (ELOOP) or no regular file (EFTYPE
// is not Linux's, so EINVAL) stands where the program keeps one of its files.
constexpr int kRefusedLink = ELOOP;
constexpr int kRefusedKind = EINVAL;

// The Czech reason for a failed save or read of a file, for messages: the refusals above get
// their own words, anything else the system's text.
std::string FileErrorText(int err);

class CSafeFileWriter {
public:
    CSafeFileWriter() = default;
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Starts the save of `path`. The new file keeps the mode (and the group) of the file it
    // replaces, so a file the user made private stays private; a file that does not exist yet
    // gets `mode` less the umask (files that hold PINs ask for 0600). Until the commit the
    // temporary file is the user's alone, so one left by a kill never shows a PIN; such
    // leftovers of `path` are removed here. False when the temporary file cannot be created
    // or the path is refused (Error: kRefusedLink, kRefusedKind). A user's path that is "-"
    // or no regular file is opened for writing as it is: Commit then only closes it.
    bool Open(const std::string& path, mode_t mode = 0644, FileOwner owner = FileOwner::Program);

    // The new file gets exactly `mode`, whatever the file it replaces had: a copy of a file
    // takes its source's mode, never the looser one of an older copy. Call after Open.
    void ForceMode(mode_t mode) { m_forcedMode = static_cast<int>(mode & 07777); }

    // Appends bytes. False on the first failed write (and on every write after it).
    bool Write(const void* data, size_t size);

    // Flushes the temporary file to disk and renames it over `path`. False when anything
    // failed on the way; the old file is then untouched and the temporary file removed.
    bool Commit();

    // Abandons the save: removes the temporary file. Called by the destructor.
    void Discard();

    bool IsOpen() const { return m_fd >= 0; }
    // Whether the data goes straight to a stream (standard output, a FIFO, a device).
    bool IsStream() const { return m_stream; }
    // errno of the first failure, 0 when none.
    int Error() const { return m_error; }

private:
    void Fail(int err);

    std::string m_path;
    std::string m_tmpPath;
    int m_fd = -1;
    int m_error = 0;
    mode_t m_mode = 0600;
    int m_forcedMode = -1;
    bool m_stream = false;
    bool m_ownsFd = true;
};

// Keeps a copy of a file that could not be loaded ("<path>.damaged-YYYYMMDD-HHMMSS", the time
// of its last change) before the program saves over it, so that what it held is never lost.
// The copy is made once: a file already copied gets the path of that copy again. It holds at
// most `maxSize` bytes (what lies beyond the largest file the program writes is no data of
// it), is streamed, private (the source's mode, at most 0600), and never made of a link,
// FIFO or device. Returns the copy's path, or an empty text when no copy could be made.
std::string PreserveDamagedFile(const std::string& path, size_t maxSize);

// The flush to disk of a file or folder (fsync by default). A test replaces it to see which
// flushes a save makes and when; returns the function it replaces.
using SyncFunction = int (*)(int fd);
SyncFunction ReplaceSyncFunction(SyncFunction sync);

// One-call form: the whole content at once. True when the new file is in place.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, mode_t mode = 0644,
                         FileOwner owner = FileOwner::Program);

} // namespace tk
