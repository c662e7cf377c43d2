#include "link/SerCom.h"

#include "base/ProgramFolder.h"
#include "link/PortAccess.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

class SerComTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_port.Init());
        ASSERT_EQ(m_port.Open(m_pty.SlavePath(), kDefaultDcb), LE_OK) << m_port.LastOpenError();
    }

    void PeerWrite(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::write(m_pty.Master(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    std::vector<uint8_t> PeerRead(size_t count) {
        std::vector<uint8_t> got;
        while (got.size() < count) {
            uint8_t b[64];
            const ssize_t n = ::read(m_pty.Master(), b, std::min(sizeof b, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), b, b + n);
        }
        return got;
    }

    PtyPair m_pty;
    CSerCom m_port;
};

int64_t MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 t0)
        .count();
}

} // namespace

TEST(SerComNames, ComPortsMapToTtyS) {
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath("COM4"), "/dev/ttyS3");
    EXPECT_EQ(SerialDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(SerialDevicePath("/dev/serial/by-id/usb-FTDI-if00"),
              "/dev/serial/by-id/usb-FTDI-if00");
    EXPECT_EQ(SerialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDevicePath("COM0"), "/dev/COM0");
}

TEST_F(SerComTest, LineIsRaw9600WithHardwareHandshakeAndHangsUpOnLastClose) {
    const int fd = ::open(m_pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    struct termios tio {};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    // The kernel drops DTR when the last descriptor closes, a kill included: no call is left up.
    EXPECT_TRUE(tio.c_cflag & HUPCL);
    EXPECT_FALSE(tio.c_cflag & PARENB);
    EXPECT_FALSE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO));
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));
}

TEST_F(SerComTest, WritesAndReadsBytes) {
    const uint8_t out[] = {1, 2, 3, 0x0A};
    ASSERT_EQ(m_port.Write(out, sizeof out, 1000), LE_OK);
    EXPECT_EQ(PeerRead(4), (std::vector<uint8_t>{1, 2, 3, 0x0A}));
    PeerWrite({9, 8, 7});
    uint8_t in[3] = {};
    ASSERT_EQ(m_port.Read(in, 3, 1000), LE_OK);
    EXPECT_EQ(in[0], 9);
    EXPECT_EQ(in[2], 7);
}

TEST_F(SerComTest, ReadTimesOutWhenNothingArrives) {
    uint8_t b = 0;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Read(&b, 1, 150), LE_TIMEOUT);
    EXPECT_GE(MsSince(t0), 150);
}

TEST_F(SerComTest, CancelEndsThePendingReadAndLeavesNothingPending) {
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_port.Cancel();
    });
    uint8_t b = 0;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Read(&b, 1, 10000), LE_CANCELLED);
    EXPECT_LT(MsSince(t0), 5000);
    canceller.join();
    EXPECT_FALSE(m_port.IsCancelled());
    EXPECT_EQ(m_port.Read(&b, 1, 50), LE_TIMEOUT);
}

TEST_F(SerComTest, CancelBetweenTransfersEndsTheNextWait) {
    m_port.Cancel();
    m_port.Cancel(); // merges with the first
    uint8_t b = 0;
    EXPECT_EQ(m_port.Read(&b, 1, 10000), LE_CANCELLED);
    EXPECT_EQ(m_port.Read(&b, 1, 50), LE_TIMEOUT);
}

TEST_F(SerComTest, DataThatIsThereWinsOverAPendingCancel) {
    PeerWrite({0x42});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_port.Cancel();
    uint8_t b = 0;
    EXPECT_EQ(m_port.Read(&b, 1, 1000), LE_OK);
    EXPECT_EQ(b, 0x42);
    EXPECT_TRUE(m_port.IsCancelled()); // still pending for the next wait
    EXPECT_FALSE(m_port.IsCancelled());
}

TEST_F(SerComTest, HangUpOfTheFarEndEndsAPendingReadAtOnce) {
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_pty.CloseMaster();
    });
    uint8_t b = 0;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Read(&b, 1, 10000), LE_SERIAL);
    EXPECT_LT(MsSince(t0), 5000);
    closer.join();
    EXPECT_EQ(m_port.Write(&b, 1, 1000), LE_SERIAL);
}

TEST_F(SerComTest, PurgeDiscardsWhatWasReceived) {
    PeerWrite({1, 2, 3});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    uint8_t b = 0;
    ASSERT_EQ(m_port.Read(&b, 1, 1000), LE_OK); // the rest sits in our buffer or the driver's
    m_port.PurgeReceive();
    EXPECT_EQ(m_port.Read(&b, 1, 50), LE_TIMEOUT);
}

TEST_F(SerComTest, SecondOpenOfTheSameDeviceFails) {
    CSerCom other;
    ASSERT_FALSE(other.Init());
    EXPECT_EQ(other.Open(m_pty.SlavePath(), kDefaultDcb), LE_PORT_OPEN);
    EXPECT_NE(other.LastOpenError().find("používá"), std::string::npos);
    m_port.Close();
    EXPECT_EQ(other.Open(m_pty.SlavePath(), kDefaultDcb), LE_OK);
}

TEST_F(SerComTest, CloseRestoresTheEarlierSettings) {
    m_port.Close();
    const int fd = ::open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    struct termios before {};
    ::tcgetattr(fd, &before);
    before.c_lflag |= ICANON | ECHO;
    ::cfsetospeed(&before, B2400);
    ::cfsetispeed(&before, B2400);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &before), 0);
    ASSERT_EQ(m_port.Open(m_pty.SlavePath(), kDefaultDcb), LE_OK);
    m_port.Close();
    struct termios after {};
    ::tcgetattr(fd, &after);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B2400));
    EXPECT_TRUE(after.c_lflag & ICANON);
}

TEST(SerComOpen, MissingDeviceFailsWithTheReason) {
    CSerCom port;
    ASSERT_FALSE(port.Init());
    EXPECT_EQ(port.Open("/dev/no-such-serial-device", kDefaultDcb), LE_PORT_OPEN);
    EXPECT_NE(port.LastOpenError().find("/dev/no-such-serial-device"), std::string::npos);
    EXPECT_FALSE(port.IsOpen());
    uint8_t b = 0;
    EXPECT_EQ(port.Read(&b, 1, 10), LE_SERIAL);
}

TEST(SerComOpen, AFileThatIsNoTerminalIsRefused) {
    TempDir dir;
    WriteFileBytes(dir.File("plain"), {1});
    CSerCom port;
    ASSERT_FALSE(port.Init());
    EXPECT_EQ(port.Open(dir.File("plain"), kDefaultDcb), LE_PORT_OPEN);
}

TEST_F(SerComTest, AttachedDescriptorCarriesTheTraffic) {
    m_port.Close();
    const int fd = ::open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    m_port.Attach(fd);
    EXPECT_TRUE(m_port.IsOpen());
    PeerWrite({0x55});
    uint8_t b = 0;
    EXPECT_EQ(m_port.Read(&b, 1, 1000), LE_OK);
    EXPECT_EQ(b, 0x55);
    m_port.Close();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1); // closed with the port
}

TEST_F(SerComTest, TraceFileThatAnotherProcessWritesIsRefused) {
    TempDir dir;
    tk::SetProgramFolder(dir.Path());
    const int fd = ::open(dir.File("sercom.log").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_TRUE(m_port.OpenLog());
    EXPECT_FALSE(m_port.IsLogging());
    ::close(fd);
    const uint8_t out = 0x41;
    EXPECT_EQ(m_port.Write(&out, 1, 1000), LE_OK); // communication goes on
    EXPECT_FALSE(m_port.OpenLog());
    EXPECT_TRUE(m_port.IsLogging());
}

TEST_F(SerComTest, DiscardedBytesAreStillLookedAt) {
    PeerWrite({'\r', '\n', 'N', 'O', ' ', 'C', 'A', 'R', 'R', 'I', 'E', 'R', '\r', '\n'});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(m_port.RecentlyReceived("NO CARRIER"));
    m_port.PurgeReceive();
    EXPECT_TRUE(m_port.RecentlyReceived("NO CARRIER"));
    uint8_t b = 0;
    EXPECT_EQ(m_port.Read(&b, 1, 30), LE_TIMEOUT); // and still discarded
}

TEST_F(SerComTest, AHangUpSaysWhatHappened) {
    m_pty.CloseMaster();
    uint8_t b = 0;
    EXPECT_EQ(m_port.Read(&b, 1, 1000), LE_SERIAL);
    EXPECT_EQ(m_port.LastIoError(), kLineHungUpText) << m_port.LastIoError();
}

// What a driver may give back after the change: RTS/CTS is best effort, the rest must stick.
TEST(SerComLine, ReadBackRefusesAllButAMissingHandshake) {
    struct termios wanted {};
    ::cfmakeraw(&wanted);
    wanted.c_cflag = CS8 | CREAD | CLOCAL | HUPCL | CRTSCTS;
    wanted.c_cc[VMIN] = 1;
    wanted.c_cc[VTIME] = 0;
    ::cfsetispeed(&wanted, B9600);
    ::cfsetospeed(&wanted, B9600);
    struct Case {
        const char* what;
        void (*change)(struct termios&);
        bool accepted;
        bool noFlowControl;
    };
    const Case cases[] = {
        {"as set", [](struct termios&) {}, true, false},
        {"no CRTSCTS", [](struct termios& t) { t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS); },
         true, true},
        {"CS7",
         [](struct termios& t) { t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7; },
         false, false},
        {"parity", [](struct termios& t) { t.c_cflag |= PARENB; }, false, false},
        {"two stop bits", [](struct termios& t) { t.c_cflag |= CSTOPB; }, false, false},
        {"no HUPCL", [](struct termios& t) { t.c_cflag &= ~static_cast<tcflag_t>(HUPCL); }, false,
         false},
        {"speed", [](struct termios& t) { ::cfsetospeed(&t, B4800); }, false, false},
        {"echo", [](struct termios& t) { t.c_lflag |= ECHO; }, false, false},
    };
    for (const Case& c : cases) {
        struct termios back = wanted;
        c.change(back);
        std::string reason;
        bool noFlow = false;
        EXPECT_EQ(CheckLineSettings(wanted, back, &reason, &noFlow), c.accepted) << c.what;
        EXPECT_EQ(noFlow, c.noFlowControl) << c.what;
        EXPECT_EQ(reason.empty(), c.accepted) << c.what;
    }
}

// A pseudo-terminal has no output queue (TIOCOUTQ reads 0): the queue is played by the test.
TEST_F(SerComTest, AWriteWaitsForTheOutputQueueAndDropsItAtItsDeadline) {
    std::atomic<int> queued{0};
    std::atomic<int> flushes{0};
    m_port.SetOutputQueue({[&](int) { return queued.load(); },
                           [&](int) {
                               ++flushes;
                               queued = 0;
                           }});
    const uint8_t frame[] = {5, 1, 2, 0x0A};
    // CTS low: nothing leaves, the write ends with its time-out and the queue is dropped.
    queued = 100;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Write(frame, sizeof frame, 150), LE_TIMEOUT);
    EXPECT_GE(MsSince(t0), 140);
    EXPECT_EQ(flushes.load(), 1);
    EXPECT_EQ(queued.load(), 0);
    // The queue drains after a while: the write waits for it and succeeds.
    queued = 100;
    std::thread drain([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        queued = 0;
    });
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Write(frame, sizeof frame, 2000), LE_OK);
    EXPECT_GE(MsSince(t0), 50);
    drain.join();
    EXPECT_EQ(flushes.load(), 1);
    // Storno while waiting for the queue.
    queued = 100;
    m_port.Cancel();
    EXPECT_EQ(m_port.Write(frame, sizeof frame, 2000), LE_CANCELLED);
    EXPECT_EQ(flushes.load(), 2);
    // Closing drops what is still queued.
    queued = 7;
    m_port.Close();
    EXPECT_EQ(flushes.load(), 3);
}

namespace {

// A child that holds the pty slave open (as a terminal program or ModemManager would), and
// optionally its master too (then it is the far end of the line, not a competitor).
pid_t HoldSlave(const PtyPair& pty, bool withMaster) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            ::_exit(1);
        ::dup2(fd, 0);
        // A copy without close-on-exec, so that it survives the exec.
        if (withMaster && ::dup2(pty.Master(), 20) < 0)
            ::_exit(1);
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(1);
    }
    return pid;
}

void WaitForHolder(pid_t pid, dev_t device) {
    for (int i = 0; i < 200; ++i) {
        for (const PortHolder& h : FindPortHolders(device)) {
            if (h.pid == pid && h.name == "sleep")
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void EndChild(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace

TEST_F(SerComTest, APortThatAnotherProgramHoldsIsRefusedWithItsName) {
    m_port.Close();
    struct stat st {};
    ASSERT_EQ(::stat(m_pty.SlavePath().c_str(), &st), 0);
    const pid_t pid = HoldSlave(m_pty, false);
    ASSERT_GT(pid, 0);
    WaitForHolder(pid, st.st_rdev);
    EXPECT_EQ(m_port.Open(m_pty.SlavePath(), kDefaultDcb), LE_PORT_OPEN);
    EXPECT_NE(m_port.LastOpenError().find("používá sleep (pid " + std::to_string(pid) + ")"),
              std::string::npos)
        << m_port.LastOpenError();
    ASSERT_EQ(m_port.LastOpenFailure().holders.size(), 1u);
    EXPECT_EQ(m_port.LastOpenFailure().holders[0].pid, pid);
    EndChild(pid);
    EXPECT_EQ(m_port.Open(m_pty.SlavePath(), kDefaultDcb), LE_OK) << m_port.LastOpenError();

    // The process at the other end of a pseudo-terminal holds its master: it does not count.
    m_port.Close();
    const pid_t peer = HoldSlave(m_pty, true);
    ASSERT_GT(peer, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(FindPortHolders(st.st_rdev).empty());
    EXPECT_EQ(m_port.Open(m_pty.SlavePath(), kDefaultDcb), LE_OK) << m_port.LastOpenError();
    EndChild(peer);
    // /dev/ptmx gives every program that opens it a line of its own: holding it is holding no
    // port anyone could share.
    const pid_t other = ::fork();
    if (other == 0) {
        ::open("/dev/ptmx", O_RDWR | O_NOCTTY);
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    struct stat ptmx {};
    ASSERT_EQ(::stat("/dev/ptmx", &ptmx), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(FindPortHolders(ptmx.st_rdev).empty());
    EndChild(other);
    // Without /proc nothing is found and nothing fails.
    EXPECT_TRUE(FindPortHolders(st.st_rdev, "/nonexistent-proc").empty());
}

// The hint how to join the port's group is for a port the group could open, and is given once
// per user: the mark survives the process in the user's state folder.
TEST(PortAccess, TheGroupHintIsForAGroupsPortAndGivenOnce) {
    TempDir dir;
    PortGroupHint hint;
    EXPECT_FALSE(PortNeedsGroup(dir.File("no-such-device"), hint));
    WriteFileBytes(dir.File("own"), {1}); // the user's own, readable and writable
    EXPECT_FALSE(PortNeedsGroup(dir.File("own"), hint));

    hint.device = "/dev/ttyUSB0";
    hint.group = "dialout";
    hint.user = "novak";
    const std::string text = PortGroupHintText(hint);
    EXPECT_NE(text.find("sudo usermod -aG dialout novak"), std::string::npos) << text;
    hint.joined = true;
    EXPECT_NE(PortGroupHintText(hint).find("odhlaste se"), std::string::npos);

    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string old = saved ? saved : "";
    ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    EXPECT_TRUE(TakePortGroupHint());
    EXPECT_FALSE(TakePortGroupHint());
    EXPECT_TRUE(FileExists(dir.File("state/tk530/port-group-hint")));
    if (saved)
        ::setenv("XDG_STATE_HOME", old.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
}

// After a link error the hint is given only for a port that could not be opened and whose
// group would let the user in, as the failed open found it, and only once: a hint not given is
// not used up. The record is made here, as a test cannot be refused a device.
TEST(PortAccess, TheHintFollowsOnlyARefusedPortAndIsGivenOnce) {
    TempDir dir;
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string old = saved ? saved : "";
    ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    PortOpenFailure refused;
    refused.device = "/dev/ttyUSB0";
    refused.err = EACCES;
    refused.groupHelps = true;
    refused.group = {"/dev/ttyUSB0", "dialout", "novak", false};
    PortOpenFailure foreign = refused; // a device whose group would not let the user in
    foreign.groupHelps = false;
    PortGroupHint hint;
    EXPECT_FALSE(ShouldGivePortGroupHint(LE_TIMEOUT, refused, hint));
    EXPECT_FALSE(ShouldGivePortGroupHint(LE_PORT_OPEN, PortOpenFailure{}, hint));
    EXPECT_FALSE(ShouldGivePortGroupHint(LE_PORT_OPEN, foreign, hint));
    EXPECT_FALSE(FileExists(dir.File("state/tk530/port-group-hint")));
    EXPECT_TRUE(ShouldGivePortGroupHint(LE_PORT_OPEN, refused, hint));
    EXPECT_EQ(hint.device, "/dev/ttyUSB0");
    EXPECT_EQ(hint.group, "dialout");
    EXPECT_FALSE(ShouldGivePortGroupHint(LE_PORT_OPEN, refused, hint));
    EXPECT_TRUE(FileExists(dir.File("state/tk530/port-group-hint")));
    if (saved)
        ::setenv("XDG_STATE_HOME", old.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
}
