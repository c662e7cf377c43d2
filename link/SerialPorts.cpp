#include "link/SerialPorts.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The first line of a small file, without its line end; empty when unreadable.
std::string FirstLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n <= 0)
        return {};
    std::string s(buf, static_cast<size_t>(n));
    s = s.substr(0, s.find('\n'));
    while (!s.empty() && (s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    return s;
}

std::string RealPath(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + " " + b;
}

// A legacy port node exists whether or not a UART is behind it.
bool HasUart(const std::string& sysTty, const std::string& node) {
    const std::string type = FirstLine(sysTty + "/type");
    if (!type.empty())
        return std::atoi(type.c_str()) != PORT_UNKNOWN;
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct serial_struct info {};
    const bool uart = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return uart;
}

// The vendor and model that udev recorded for the device, if udev runs here.
std::string UdevName(const SerialScanRoots& roots, const std::string& sysTty) {
    const std::string dev = FirstLine(sysTty + "/dev"); // "188:0"
    if (dev.empty())
        return {};
    const int fd = ::open((roots.m_strUdev + "/c" + dev).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buf[4096];
    ssize_t n;
    while (text.size() < 65536 && (n = ::read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    std::string vendorDb, modelDb, vendor, model;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        auto take = [&](const char* key, std::string* out) {
            const std::string prefix = std::string("E:") + key + "=";
            if (line.rfind(prefix, 0) == 0)
                *out = line.substr(prefix.size());
        };
        take("ID_VENDOR_FROM_DATABASE", &vendorDb);
        take("ID_MODEL_FROM_DATABASE", &modelDb);
        take("ID_VENDOR", &vendor);
        take("ID_MODEL", &model);
    }
    // ID_VENDOR and ID_MODEL have blanks replaced by underscores.
    for (std::string* s : {&vendor, &model})
        std::replace(s->begin(), s->end(), '_', ' ');
    return Join(vendorDb.empty() ? vendor : vendorDb, modelDb.empty() ? model : modelDb);
}

// Manufacturer and product of the USB device the port belongs to, from sysfs.
std::string SysfsName(const SerialScanRoots& roots, const std::string& sysTty) {
    const std::string sysRoot = RealPath(roots.m_strSys);
    std::string dir = RealPath(sysTty + "/device");
    for (int depth = 0;
         depth < 8 && !sysRoot.empty() && dir.size() > sysRoot.size() && dir.rfind(sysRoot, 0) == 0;
         ++depth) {
        std::string name = Join(FirstLine(dir + "/manufacturer"), FirstLine(dir + "/product"));
        if (!name.empty())
            return name;
        dir = dir.substr(0, dir.rfind('/'));
    }
    return {};
}

std::string ByIdPath(const SerialScanRoots& roots, const std::string& node) {
    const std::string real = RealPath(node);
    const std::string byId = roots.m_strDev + "/serial/by-id";
    for (const std::string& name : FolderEntries(byId)) {
        if (!real.empty() && RealPath(byId + "/" + name) == real)
            return byId + "/" + name;
    }
    return {};
}

// ttyS2 before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        const long n = i < s.size() ? std::strtol(s.c_str() + i, nullptr, 10) : -1;
        return std::make_pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

} // namespace

std::vector<SerialPortInfo> ListSerialPorts(const SerialScanRoots& roots) {
    std::vector<SerialPortInfo> ports;
    const std::string classTty = roots.m_strSys + "/class/tty";
    std::vector<std::string> names = FolderEntries(classTty);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const std::string& name : names) {
        const std::string sysTty = classTty + "/" + name;
        const std::string node = roots.m_strDev + "/" + name;
        // Virtual consoles and pseudo-terminals have no device behind them.
        if (!Exists(sysTty + "/device") || !Exists(node))
            continue;
        if (name.rfind("ttyS", 0) == 0 && !HasUart(sysTty, node))
            continue;
        SerialPortInfo info;
        info.m_strDevice = node;
        info.m_strPath = ByIdPath(roots, node);
        if (info.m_strPath.empty())
            info.m_strPath = node;
        std::string friendly = UdevName(roots, sysTty);
        if (friendly.empty())
            friendly = SysfsName(roots, sysTty);
        info.m_strDescription = friendly.empty() ? name : friendly + " (" + name + ")";
        ports.push_back(std::move(info));
    }
    return ports;
}

namespace {

std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\"");
    const size_t e = s.find_last_not_of(" \t\"");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool HasLetter(const std::string& s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

} // namespace

int ProbeModem(const std::string& device, ModemProbe* probe, std::string* reason,
               const HayesTimeouts& timeouts, const CancelCheck& cancel) {
    *probe = ModemProbe{};
    reason->clear();
    CModemPort port;
    if (!port.Open(device, reason))
        return DIALERR_DEVICE;
    port.Reader().SetCrEndsLine(true);
    const CancelCheck* check = cancel ? &cancel : nullptr;
    const int woken = port.WakeUp(timeouts, check, reason);
    if (woken != 0)
        return woken;

    // Not every modem knows both commands: whatever does not answer OK is left out.
    AtReply a = port.Command("ATI", timeouts.nCommandMs, false, check, timeouts.nCancelSliceMs);
    if (a.status == AtReply::Status::Cancelled)
        return DIALERR_CANCELLED;
    if (a.status == AtReply::Status::Ok)
        probe->m_identity = a.lines;
    a = port.Command("AT+CGMM", timeouts.nCommandMs, false, check, timeouts.nCancelSliceMs);
    if (a.status == AtReply::Status::Cancelled)
        return DIALERR_CANCELLED;
    if (a.status == AtReply::Status::Ok && !a.lines.empty()) {
        std::string model = a.lines.front();
        if (model.rfind("+CGMM:", 0) == 0)
            model = model.substr(6);
        probe->m_strModel = Trimmed(model);
        probe->m_bGsm = !probe->m_strModel.empty();
    }

    std::string name = probe->m_strModel;
    for (const std::string& line : probe->m_identity) {
        if (name.empty() && HasLetter(line))
            name = Trimmed(line);
    }
    if (name.empty())
        name = device.substr(device.rfind('/') + 1);
    probe->m_strName = name.substr(0, 31);
    return 0;
}
