// The configuration files opened or saved most recently, newest first, for the configuration
// menu. Kept in Data/RecentFiles.txt, one full path a line (UTF-8), so they outlive a run;
// the file is replaced whole, never left half written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

inline constexpr size_t CFG_RECENT_MAX = 6;

class CCfgRecent {
public:
    // Newest first; never more than CFG_RECENT_MAX, no path twice.
    const std::vector<std::string>& Files() const { return m_files; }

    // Puts the path first (moving it up when it is already listed) and drops the oldest
    // beyond the limit. False, and nothing changes, for an empty path or one that a line of
    // the file cannot hold (a line break in it). True also when the path was already first.
    bool Add(const std::string& path);
    // Takes the path out of the list; false when it was not listed.
    bool Remove(const std::string& path);

    // Reads the list; a missing file gives an empty list. Empty lines, repeated paths and
    // those past the limit are skipped, so a file edited by hand cannot break the menu.
    // False when the file exists but cannot be read (the list is then empty).
    bool Load(const std::string& file);
    // Writes the list through a temporary file; false when it could not be written (the old
    // file is then intact).
    bool Save(const std::string& file) const;

    // Data/RecentFiles.txt of the program folder.
    static std::string DefaultFile();

private:
    std::vector<std::string> m_files;
};

// Whether the path names a regular file that exists now (a listed file may have been deleted
// or its disk unplugged since).
bool CfgRecentFileExists(const std::string& path);
