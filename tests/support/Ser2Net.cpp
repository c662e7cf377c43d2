#include "tests/support/Ser2Net.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kProgram = "ser2net";
constexpr int kStartWaitMs = 10000;
constexpr int kStopWaitMs = 3000;

bool WaitExit(pid_t pid, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

bool Ser2Net::Available() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/sbin:/usr/bin:/sbin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && ::access((dir + "/" + kProgram).c_str(), X_OK) == 0)
            return true;
    }
    return ::access("/usr/sbin/ser2net", X_OK) == 0;
}

uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// Looked up in the kernel's socket table: a probing connection would make ser2net open its
// device.
bool LoopbackPortListens(uint16_t port) {
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line); // the heading
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const size_t colon = local.rfind(':');
            if (colon == std::string::npos || state != "0A")
                continue;
            if (std::strtoul(local.c_str() + colon + 1, nullptr, 16) == port)
                return true;
        }
    }
    return false;
}

StalledListener::StalledListener() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(m_fd, 0) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return;
    // The kernel completes backlog + 1 connections; those that follow wait for room.
    for (int& filler : m_fillers) {
        filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&addr), len);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_port = ntohs(addr.sin_port);
}

StalledListener::~StalledListener() {
    for (const int filler : m_fillers)
        if (filler >= 0)
            ::close(filler);
    if (m_fd >= 0)
        ::close(m_fd);
}

Ser2Net::Ser2Net(std::string device, bool rfc2217)
    : m_device(std::move(device)), m_bRfc2217(rfc2217) {}

Ser2Net::~Ser2Net() {
    Stop();
    if (!m_folder.empty()) {
        for (const char* name : {"/ser2net.yaml", "/ser2net.pid", "/ser2net.out"})
            ::unlink((m_folder + name).c_str());
        ::rmdir(m_folder.c_str());
    }
}

bool Ser2Net::Start(std::string* error) {
    char folder[] = "/tmp/tk530-ser2net-XXXXXX";
    if (!::mkdtemp(folder)) {
        *error = "no temporary folder";
        return false;
    }
    m_folder = folder;
    m_port = FreeLoopbackPort();
    // The format of ser2net 4 (Debian 12). "local": the modem lines of the device are not
    // looked at (a pseudo-terminal has none).
    std::ofstream(m_folder + "/ser2net.yaml")
        << "%YAML 1.1\n---\n"
        << "connection: &unit\n"
        << "  accepter: " << (m_bRfc2217 ? "telnet(rfc2217),tcp" : "tcp") << ",127.0.0.1," << m_port
        << "\n"
        << "  connector: serialdev," << m_device << ",9600n81,local\n";
    const std::string config = m_folder + "/ser2net.yaml";
    const std::string pidFile = m_folder + "/ser2net.pid";
    const std::string out = m_folder + "/ser2net.out";
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0) {
        *error = "fork failed";
        return false;
    }
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        const int log = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        // -n: in the foreground; -u: no UUCP lock files (parallel tests, and no root needed).
        ::execlp(kProgram, kProgram, "-n", "-u", "-P", pidFile.c_str(), "-c", config.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
    while (!LoopbackPortListens(m_port)) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid ||
            std::chrono::steady_clock::now() >= deadline) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == 0)
                Stop();
            m_pid = -1;
            *error = "ser2net did not start: " + ReadAll(out);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void Ser2Net::Stop() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    if (!WaitExit(m_pid, kStopWaitMs)) {
        ::kill(m_pid, SIGKILL);
        WaitExit(m_pid, kStopWaitMs);
    }
    m_pid = -1;
}
