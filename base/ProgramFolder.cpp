#include "base/ProgramFolder.h"

#include <limits.h>
#include <mutex>
#include <unistd.h>

namespace tk {
namespace {

std::mutex g_mutex;
std::string g_folder;
bool g_known = false;

std::string FolderOfExecutable() {
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

} // namespace

std::string ProgramFolder() {
    std::lock_guard lock(g_mutex);
    if (!g_known) {
        g_folder = FolderOfExecutable();
        g_known = true;
    }
    return g_folder;
}

void SetProgramFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::lock_guard lock(g_mutex);
    g_folder = std::move(folder);
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
