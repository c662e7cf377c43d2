#include "tests/support/DiskFull.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        // Without the signal a write beyond the limit fails with EFBIG, as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {};
        ::getrlimit(RLIMIT_FSIZE, &rl);
        rl.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
