#include "link/PortAccess.h"

#include "link/NetPort.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {

// The user's and the group's entries, read into buffers of their own: the search for the
// unit checks ports on several threads, and getpwuid()/getgrgid() share one static buffer.
std::string UserNameOf(uid_t uid) {
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    while (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == ERANGE &&
           buf.size() < (1u << 20))
        buf.resize(buf.size() * 2);
    return found && found->pw_name ? std::string(found->pw_name) : std::to_string(uid);
}

// The group's name (its number when it has none) and whether `user` is listed as a member.
std::string GroupNameOf(gid_t gid, const std::string& user, bool* member) {
    std::vector<char> buf(16384);
    group gr{};
    group* found = nullptr;
    while (::getgrgid_r(gid, &gr, buf.data(), buf.size(), &found) == ERANGE &&
           buf.size() < (1u << 24))
        buf.resize(buf.size() * 2);
    *member = false;
    if (found && found->gr_mem) {
        for (char** m = found->gr_mem; *m; ++m)
            *member = *member || user == *m;
    }
    return found && found->gr_name ? std::string(found->gr_name) : std::to_string(gid);
}

std::string StateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/tk530";
    const char* home = std::getenv("HOME");
    std::string base = home && *home == '/' ? home : "";
    if (base.empty()) {
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir)
            base = pw->pw_dir;
    }
    return base.empty() ? std::string() : base + "/.local/state/tk530";
}

bool MakeFolders(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

} // namespace

DeviceState CheckDevice(const std::string& device, int* err) {
    if (IsNetworkPort(device))
        return DEVICE_USABLE; // no node to look at: the connect tells
    struct stat st {};
    if (device.empty() || ::stat(device.c_str(), &st) != 0) {
        const int e = device.empty() ? ENOENT : errno;
        if (err)
            *err = e;
        if (e == ENOENT || e == ENOTDIR || e == ENXIO || e == ENODEV)
            return DEVICE_GONE;
        return e == EACCES ? DEVICE_NO_PERMISSION : DEVICE_OTHER;
    }
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM))
        return DEVICE_NO_PERMISSION;
    return S_ISCHR(st.st_mode) ? DEVICE_USABLE : DEVICE_NOT_SERIAL;
}

bool PortNeedsGroup(const std::string& device, PortGroupHint& hint) {
    if (IsNetworkPort(device))
        return false; // a connection out needs no group
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return false;
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 || errno != EACCES)
        return false;
    // Only when the group's rights would let the user in is joining the group the remedy.
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || st.st_uid == ::geteuid())
        return false;
    hint = PortGroupHint{};
    hint.device = device;
    hint.user = CurrentUserName();
    hint.group = GroupNameOf(st.st_gid, hint.user, &hint.joined);
    return true;
}

std::string CurrentUserName() {
    return UserNameOf(::geteuid());
}

std::string PortGroupHintText(const PortGroupHint& hint) {
    if (hint.joined)
        return "Rada: port " + hint.device + " smí otevírat skupina " + hint.group +
               " a uživatel " + hint.user +
               " v ní už je, toto přihlášení to však ještě neví: odhlaste se a přihlaste "
               "znovu. Tato rada se zobrazí jen jednou.\n";
    return "Rada: port " + hint.device + " smí otevírat jen skupina " + hint.group +
           " a uživatel " + hint.user +
           " v ní není. Správce počítače jej do ní přidá "
           "příkazem\n  sudo usermod -aG " +
           hint.group + " " + hint.user +
           "\nZměna platí po novém přihlášení. Tato rada se zobrazí jen jednou.\n";
}

bool TakePortGroupHint() {
    const std::string folder = StateFolder();
    if (folder.empty() || !MakeFolders(folder))
        return true; // nowhere to remember it: better said again than never
    const std::string marker = folder + "/port-group-hint";
    const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno != EEXIST;
    ::close(fd);
    return true;
}

PortOpenFailure DescribeOpenFailure(const std::string& device, int err, int fd,
                                    std::vector<PortHolder> holders) {
    PortOpenFailure failure;
    failure.device = device;
    failure.err = err;
    failure.holders = std::move(holders);
    if (err == EBUSY && failure.holders.empty()) {
        // The lock or the exclusive mode refused us: look who holds the device.
        struct stat st {};
        const bool known = fd >= 0 ? ::fstat(fd, &st) == 0 : ::stat(device.c_str(), &st) == 0;
        if (known && S_ISCHR(st.st_mode))
            failure.holders = FindPortHolders(st.st_rdev);
    }
    if (err == EACCES || err == EPERM)
        failure.groupHelps = PortNeedsGroup(device, failure.group);
    return failure;
}

bool ShouldGivePortGroupHint(LinkResult linkError, const PortOpenFailure& failure,
                             PortGroupHint& hint) {
    if (linkError != LE_PORT_OPEN || !failure.groupHelps)
        return false;
    hint = failure.group;
    // The marker is taken last: a hint that is not given is not used up.
    return TakePortGroupHint();
}

namespace {

// The pseudo-terminal numbers whose master this process holds (fdinfo "tty-index").
std::vector<unsigned> PtyMastersOf(const std::string& procDir) {
    std::vector<unsigned> masters;
    DIR* dir = ::opendir((procDir + "/fd").c_str());
    if (!dir)
        return masters;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        char target[64] = {};
        const std::string link = procDir + "/fd/" + e->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0 || std::strstr(target, "ptmx") == nullptr)
            continue;
        std::ifstream info(procDir + "/fdinfo/" + e->d_name);
        std::string key;
        while (info >> key) {
            if (key == "tty-index:") {
                unsigned index = 0;
                if (info >> index)
                    masters.push_back(index);
                break;
            }
        }
    }
    ::closedir(dir);
    return masters;
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have majors 136..143.
bool IsPtySlave(dev_t device, unsigned* index) {
    const unsigned maj = major(device);
    if (maj < 136 || maj > 143)
        return false;
    *index = (maj - 136) * 256 + minor(device);
    return true;
}

} // namespace

std::vector<PortHolder> FindPortHolders(dev_t device, const std::string& procRoot) {
    std::vector<PortHolder> holders;
    // /dev/tty and /dev/ptmx stand for a different line in every process that opens them:
    // holding them is holding no line this port could share.
    if (device == makedev(5, 0) || device == makedev(5, 2))
        return holders;
    DIR* proc = ::opendir(procRoot.c_str());
    if (!proc)
        return holders;
    unsigned ptyIndex = 0;
    const bool pty = IsPtySlave(device, &ptyIndex);
    const pid_t self = ::getpid();
    while (const dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        const std::string procDir = procRoot + "/" + e->d_name;
        DIR* fds = ::opendir((procDir + "/fd").c_str());
        if (!fds)
            continue; // another user's process, or gone meanwhile
        bool holds = false;
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            struct stat st {};
            if (::stat((procDir + "/fd/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == device) {
                holds = true;
                break;
            }
        }
        ::closedir(fds);
        if (!holds)
            continue;
        if (pty) {
            const std::vector<unsigned> masters = PtyMastersOf(procDir);
            if (std::find(masters.begin(), masters.end(), ptyIndex) != masters.end())
                continue; // the far end of the line, not a competitor
        }
        PortHolder h;
        h.pid = static_cast<int>(pid);
        std::ifstream comm(procDir + "/comm");
        std::getline(comm, h.name);
        if (h.name.empty())
            h.name = "jiný program";
        holders.push_back(std::move(h));
    }
    ::closedir(proc);
    return holders;
}

std::string PortHolderList(const std::vector<PortHolder>& holders) {
    std::string text;
    for (const PortHolder& h : holders) {
        if (!text.empty())
            text += ", ";
        text += h.name + " (pid " + std::to_string(h.pid) + ")";
    }
    return text;
}

std::string PortHoldersText(const std::vector<PortHolder>& holders) {
    return holders.empty() ? std::string() : "port používá " + PortHolderList(holders);
}
