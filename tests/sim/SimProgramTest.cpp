// The tk530-sim program as a user starts it: first line the device, served until SIGTERM.
#include "link/ComTrans.h"
#include "link/Commands.h"
#include "link/SerCom.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The first line the child writes, or empty after `timeoutMs`.
std::string FirstLine(int fd, int timeoutMs) {
    std::string line;
    const int64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        struct pollfd p = {fd, POLLIN, 0};
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            return {};
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            return {};
        if (c == '\n')
            return line;
        line += c;
    }
}

// Ends the child when a failed assertion leaves the test early, so no unit is left running.
struct ChildGuard {
    pid_t pid = -1;
    ~ChildGuard() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

} // namespace

TEST(SimProgram, PrintsTheDeviceServesAFrameAndExitsCleanlyOnSigterm) {
    TempDir dir;
    const std::string link = dir.File("tk530");
    const std::string state = dir.File("unit.txt");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    ChildGuard guard{pid};
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(TK530_SIM_EXE, TK530_SIM_EXE, "--link", link.c_str(), "--state", state.c_str(),
                "--sms", "2", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    const std::string path = FirstLine(out[0], 10000);
    ASSERT_FALSE(path.empty());
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(path, target);

    CSerCom port;
    ASSERT_FALSE(port.Init());
    ASSERT_EQ(port.Open(link, kDefaultDcb), LE_OK);
    CComTrans trans(&port);
    uint8_t request[4];
    PutRequestHeader(request, CMD_GET_TYPE);
    uint8_t reply[8] = {};
    EXPECT_EQ(trans.Exchange(request, 4, reply, 8, 2000, 2000, 1), LE_OK);
    EXPECT_EQ(reply[7], 1); // the device type of the 1665-byte layout
    // SIGUSR1 mutes the unit, SIGUSR2 lets it answer again (a few tries: the signal is
    // taken by another thread than the one that serves).
    auto answers = [&] { return trans.Exchange(request, 4, reply, 8, 300, 2000, 1) == LE_OK; };
    ::kill(pid, SIGUSR1);
    bool muted = false;
    for (int i = 0; i < 20 && !muted; ++i)
        muted = !answers();
    EXPECT_TRUE(muted);
    ::kill(pid, SIGUSR2);
    bool back = false;
    for (int i = 0; i < 20 && !back; ++i)
        back = answers();
    EXPECT_TRUE(back);
    port.Close();

    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    guard.pid = -1;
    ::close(out[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(FileExists(link));
    const std::string saved = ReadFileText(state);
    EXPECT_NE(saved.find("\nsms = "), std::string::npos);
    EXPECT_NE(saved.find("Testovací zpráva č. 2"), std::string::npos);
}
