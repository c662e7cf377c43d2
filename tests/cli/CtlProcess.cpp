#include "tests/cli/CtlProcess.h"

#include "link/SerCom.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

CtlProcess::CtlProcess(const std::vector<std::string>& args, const std::string& input,
                       const std::string& terminal, bool outputToTerminal) {
    int out[2], err[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0)
        return;
    // Everything the child needs is prepared before the fork: it only duplicates and execs.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TK530CTL_EXE));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* tty = terminal.empty() ? nullptr : terminal.c_str();

    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        if (tty) {
            const int fd = ::open(tty, O_RDWR | O_NOCTTY);
            ::dup2(fd, STDIN_FILENO);
            ::dup2(fd, STDERR_FILENO);
            if (outputToTerminal)
                ::dup2(fd, STDOUT_FILENO);
        } else {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(err[1], STDERR_FILENO);
        }
        ::execv(TK530CTL_EXE, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    ::close(in[0]);
    if (!input.empty()) [[maybe_unused]]
        const ssize_t n = ::write(in[1], input.data(), input.size());
    ::close(in[1]);
    m_out = out[0];
    m_err = err[0];
}

CtlProcess::~CtlProcess() {
    if (m_pid > 0)
        Wait(1000);
}

void CtlProcess::Signal(int sig) {
    if (m_pid > 0)
        ::kill(m_pid, sig);
}

CtlResult CtlProcess::Wait(int timeoutMs) {
    CtlResult r;
    const int64_t deadline = MonotonicMs() + timeoutMs;
    while (m_out >= 0 || m_err >= 0) {
        struct pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0) {
            r.timedOut = true;
            ::kill(m_pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left)) < 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? m_out : m_err;
            if (fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
            } else {
                ::close(fd);
                fd = -1;
            }
        }
    }
    for (int* fd : {&m_out, &m_err}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid) {
        if (WIFEXITED(status))
            r.status = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            r.signal = WTERMSIG(status);
    }
    m_pid = -1;
    return r;
}

CtlResult RunCtl(const std::vector<std::string>& args, const std::string& input) {
    CtlProcess p(args, input);
    return p.Wait();
}
