// The tk530ctl executable run as a child process, the way a script or a user runs it: its
// standard output and error captured, its standard input given (or a terminal), its exit
// status collected.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct CtlResult {
    int status = -1; // exit status; -1 when it did not exit normally
    int signal = 0;  // the signal that ended it, if any
    std::string out; // standard output
    std::string err; // standard error (empty when it went to a terminal)
    bool timedOut = false;
};

class CtlProcess {
public:
    // Starts tk530ctl with these arguments. `input` is its standard input (then closed);
    // with a `terminal` path, standard input and error are that terminal instead, and with
    // `outputToTerminal` standard output too.
    explicit CtlProcess(const std::vector<std::string>& args, const std::string& input = {},
                        const std::string& terminal = {}, bool outputToTerminal = false);
    ~CtlProcess();
    CtlProcess(const CtlProcess&) = delete;
    CtlProcess& operator=(const CtlProcess&) = delete;

    void Signal(int sig);
    // Collects the output until the child ends (killed after `timeoutMs`).
    CtlResult Wait(int timeoutMs = 60000);

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

// Runs it to the end.
CtlResult RunCtl(const std::vector<std::string>& args, const std::string& input = {});
