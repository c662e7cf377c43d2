#include "link/PortAccess.h"

#include "config/Profile.h"
#include "link/ModemList.h"
#include "link/SerCom.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
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

std::string LinkDevice(const CProfile& profile, const CModemMng& modems) {
    if (profile.m_nConnType != CONN_REMOTE)
        return SerialDevicePath(profile.PortPath());
    if (profile.m_nModem < 0 || static_cast<size_t>(profile.m_nModem) >= modems.Count())
        return {};
    const CModemInf* modem = modems.Get(static_cast<size_t>(profile.m_nModem));
    return modem ? std::string(modem->m_szDevice,
                               strnlen(modem->m_szDevice, sizeof modem->m_szDevice))
                 : std::string();
}

bool ShouldGivePortGroupHint(LinkResult linkError, const std::string& device, PortGroupHint& hint,
                             const PortGroupCheck& needsGroup) {
    if (linkError != LE_PORT_OPEN || device.empty() || !needsGroup)
        return false;
    // The marker is taken last: a hint that is not given is not used up.
    return needsGroup(device, hint) && TakePortGroupHint();
}
