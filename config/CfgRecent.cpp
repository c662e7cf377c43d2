#include "config/CfgRecent.h"

#include "base/FileIO.h"
#include "base/ProgramFolder.h"
#include "base/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {

// Far more than six paths need; a larger file is not ours.
constexpr size_t kMaxFileSize = 64 * 1024;

bool Storable(const std::string& path) {
    return !path.empty() && path.find_first_of("\r\n") == std::string::npos &&
           path.find('\0') == std::string::npos;
}

} // namespace

bool CCfgRecent::Add(const std::string& path) {
    if (!Storable(path))
        return false;
    std::erase(m_files, path);
    m_files.insert(m_files.begin(), path);
    if (m_files.size() > CFG_RECENT_MAX)
        m_files.resize(CFG_RECENT_MAX);
    return true;
}

bool CCfgRecent::Remove(const std::string& path) {
    return std::erase(m_files, path) != 0;
}

bool CCfgRecent::Load(const std::string& file) {
    m_files.clear();
    std::string content;
    const int err = tk::ReadFileContent(file, content, kMaxFileSize, tk::kReadProgramFile);
    if (err == ENOENT)
        return true;
    if (err != 0)
        return false;
    size_t start = 0;
    while (start < content.size() && m_files.size() < CFG_RECENT_MAX) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (Storable(line) && std::find(m_files.begin(), m_files.end(), line) == m_files.end())
            m_files.push_back(std::move(line));
        start = end + 1;
    }
    return true;
}

bool CCfgRecent::Save(const std::string& file) const {
    std::string content;
    for (const std::string& path : m_files)
        content += path + '\n';
    const size_t slash = file.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !tk::EnsureFolder(file.substr(0, slash)))
        return false;
    // The paths say where the installer's customers' files are: the user's alone.
    return tk::WriteFileAtomically(file, content.data(), content.size(), 0600);
}

std::string CCfgRecent::DefaultFile() {
    return tk::DataFile("RecentFiles.txt");
}

bool CfgRecentFileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
