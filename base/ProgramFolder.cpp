#include "base/ProgramFolder.h"

#include "base/SysError.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk {
namespace {

std::mutex g_mutex;
ProgramFolderInfo g_info;
bool g_known = false;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsWritableFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string LastName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates `path` and every missing folder above it, each 0700. Empty on success, otherwise
// "<the folder that failed>: <reason>".
std::string MakeFolders(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        struct stat st {};
        if (::stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return part + ": " + tk::SystemErrorText(ENOTDIR);
            continue;
        }
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return part + ": " + tk::SystemErrorText(errno);
    }
    if (!IsWritableFolder(path))
        return path + ": " + tk::SystemErrorText(errno != 0 ? errno : EACCES);
    return {};
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return home;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

std::string Trimmed(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

ProgramFolderInfo ResolveProgramFolder(const std::string& executableFolder,
                                       const std::string& xdgDataHome, const std::string& home) {
    ProgramFolderInfo info;
    const std::string exe = Trimmed(executableFolder);
    const std::string name = LastName(exe);
    const bool holdsFiles = Exists(exe + "/Profile.dat") || Exists(exe + "/Data");
    // Root may write everywhere: a bin folder is an installed program's, never a portable one.
    const bool installed = name == "bin" || name == "sbin";
    if (holdsFiles || (!installed && IsWritableFolder(exe))) {
        info.path = exe;
        info.portable = true;
        return info;
    }
    // A relative XDG_DATA_HOME is ignored, as desktops do: the folder must not move with the
    // working directory.
    std::string base = Trimmed(xdgDataHome);
    if (base.empty() || base[0] != '/')
        base = home.empty() ? std::string() : Trimmed(home) + "/.local/share";
    if (base.empty()) {
        info.path = exe;
        info.portable = true;
        info.error = "$HOME: " + tk::SystemErrorText(ENOENT);
        return info;
    }
    info.path = base + "/tk530";
    info.error = MakeFolders(info.path);
    return info;
}

std::string ExecutableFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return exe.substr(0, slash);
}

ProgramFolderInfo ProgramFolderInUse() {
    std::lock_guard lock(g_mutex);
    if (!g_known) {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        g_info = ResolveProgramFolder(ExecutableFolder(), xdg ? xdg : "", HomeFolder());
        g_known = true;
    }
    return g_info;
}

std::string ProgramFolder() {
    return ProgramFolderInUse().path;
}

void SetProgramFolder(std::string folder) {
    std::lock_guard lock(g_mutex);
    g_info = ProgramFolderInfo{};
    g_info.path = Trimmed(std::move(folder));
    g_info.given = true;
    g_known = true;
}

std::string ProgramFile(std::string_view name) {
    std::string folder = ProgramFolder();
    if (folder != "/")
        folder += '/';
    return folder.append(name);
}

std::string DataFolder() {
    return ProgramFile("Data");
}

std::string DataFile(std::string_view name) {
    return DataFolder().append("/").append(name);
}

} // namespace tk
