// The line check against real lines: the virtual unit on a pseudo-terminal, a silent one, one
// whose far end streams text, a device that is not there, one the user may not open and one
// another program holds. Each verdict must come with a diagnosis that names the key fact.
#include "link/LineCheck.h"

#include "link/LinkError.h"
#include "link/SerCom.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Everything one case sets up, torn down after it.
struct LineEnv {
    TempDir dir;
    std::unique_ptr<CSimServer> sim;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<CSerCom> session; // this program's own connection on the port
    std::atomic<bool> stop{false};
    std::thread talker;
    pid_t holder = -1;

    ~LineEnv() {
        stop = true;
        if (talker.joinable())
            talker.join();
        if (holder > 0) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
        if (sim)
            sim->Stop();
    }

    // A child process that opens the slave and keeps it: another program on the port.
    void HoldSlave() {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        holder = ::fork();
        ASSERT_GE(holder, 0);
        if (holder == 0) {
            ::close(pty->Master()); // the far end of the line would not count as a holder
            const int fd = ::open(pty->SlavePath().c_str(), O_RDWR | O_NOCTTY);
            [[maybe_unused]] const ssize_t n = ::write(ready[1], "x", 1);
            if (fd >= 0)
                ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
    }
};

struct LineCase {
    const char* name;
    std::function<std::string(LineEnv&)> setUp; // gives the port to check
    LineVerdict verdict;
    std::function<std::vector<std::string>(const LineEnv&, const LineCheckResult&)> facts;
    CancelCheck cancel = {};
    bool needsNonRoot = false;
};

std::string UserName() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_name ? pw->pw_name : std::to_string(::geteuid());
}

} // namespace

TEST(LineCheck, EachKindOfLineGetsItsVerdictAndAnExplanation) {
    const std::vector<LineCase> cases = {
        {"the virtual unit",
         [](LineEnv& e) {
             e.sim = std::make_unique<CSimServer>();
             EXPECT_TRUE(e.sim->Start());
             SimIdent id = e.sim->Unit().Ident();
             id.name = "Br\xE1na Kounicova"; // CP1250, as on the wire
             id.serial = 4321;
             e.sim->Unit().SetIdent(id);
             return e.sim->SlavePath();
         },
         LINE_OK,
         [](const LineEnv&, const LineCheckResult& r) {
             EXPECT_EQ(r.m_strUnitName, "Brána Kounicova");
             EXPECT_EQ(r.m_strSerial, "00004321");
             return std::vector<std::string>{"Brána Kounicova", "00004321"};
         }},
        {"a silent line",
         [](LineEnv& e) {
             e.pty = std::make_unique<PtyPair>();
             return e.pty->SlavePath();
         },
         LINE_SILENT,
         [](const LineEnv& e, const LineCheckResult& r) {
             EXPECT_EQ(r.m_nBytes, 0);
             return std::vector<std::string>{e.pty->SlavePath(), "kabel", "napájení"};
         }},
        {"a line that streams text",
         [](LineEnv& e) {
             e.pty = std::make_unique<PtyPair>();
             const int master = e.pty->Master();
             e.talker = std::thread([&e, master] {
                 const char line[] = "$GPGGA,123519,4807.038,N,01131.000,E*47\r\n";
                 while (!e.stop) {
                     if (::write(master, line, sizeof line - 1) < 0)
                         break;
                     std::this_thread::sleep_for(std::chrono::milliseconds(20));
                 }
             });
             return e.pty->SlavePath();
         },
         LINE_GARBLED,
         [](const LineEnv&, const LineCheckResult& r) {
             EXPECT_GT(r.m_nBytes, 0);
             return std::vector<std::string>{std::to_string(r.m_nBytes) + " bajt", "rychlost"};
         }},
        {"a missing device", [](LineEnv& e) { return e.dir.File("ttyUSB7"); }, LINE_GONE,
         [](const LineEnv& e, const LineCheckResult&) {
             return std::vector<std::string>{"Zařízení " + e.dir.File("ttyUSB7") + " neexistuje",
                                             "kabel"};
         }},
        {"a by-id link of an adapter that was pulled",
         [](LineEnv& e) {
             const std::string link = e.dir.File("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
             EXPECT_EQ(::symlink("../../ttyUSB9", link.c_str()), 0);
             return link;
         },
         LINE_GONE,
         [](const LineEnv&, const LineCheckResult& r) {
             return std::vector<std::string>{r.m_strDevice, "neexistuje"};
         }},
        {"a device the user may not open",
         [](LineEnv& e) {
             const std::string path = e.dir.File("ttyLocked");
             WriteFileBytes(path, {});
             ::chmod(path.c_str(), 0);
             return path;
         },
         LINE_NO_PERMISSION,
         [](const LineEnv& e, const LineCheckResult& r) {
             EXPECT_EQ(r.m_strUser, UserName());
             return std::vector<std::string>{"Uživatel " + UserName(), e.dir.File("ttyLocked")};
         },
         {},
         true},
        {"a port another program holds",
         [](LineEnv& e) {
             e.pty = std::make_unique<PtyPair>();
             e.HoldSlave();
             return e.pty->SlavePath();
         },
         LINE_BUSY,
         [](const LineEnv& e, const LineCheckResult& r) {
             const std::string pid = "(pid " + std::to_string(e.holder) + ")";
             EXPECT_TRUE(Has(r.m_strHolder, pid)) << r.m_strHolder;
             return std::vector<std::string>{pid, "Ukončete"};
         }},
        {"a port this program's own connection holds",
         [](LineEnv& e) {
             e.pty = std::make_unique<PtyPair>();
             e.session = std::make_unique<CSerCom>();
             EXPECT_EQ(e.session->Open(e.pty->SlavePath(), kDefaultDcb), LE_OK);
             return e.pty->SlavePath();
         },
         LINE_BUSY,
         [](const LineEnv&, const LineCheckResult& r) {
             EXPECT_EQ(r.m_strHolder, "");
             return std::vector<std::string>{"obsazen", "odpojte"};
         }},
        {"a check the user cancels",
         [](LineEnv& e) {
             e.pty = std::make_unique<PtyPair>();
             return e.pty->SlavePath();
         },
         LINE_OTHER,
         [](const LineEnv&, const LineCheckResult& r) {
             EXPECT_EQ(r.m_strDetail, "zrušeno");
             return std::vector<std::string>{"zrušena"};
         },
         [] { return true; }},
    };

    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && ::geteuid() == 0)
            continue; // root opens everything: the case cannot be made here
        LineEnv env;
        const std::string port = c.setUp(env);
        LineCheckResult result;
        EXPECT_EQ(CheckLine(port, &result, c.cancel), c.verdict) << result.m_strDetail;
        EXPECT_EQ(result.m_verdict, c.verdict);
        EXPECT_EQ(result.m_strDevice, port);
        const std::string text = LineDiagnosisText(result);
        for (const std::string& fact : c.facts(env, result))
            EXPECT_TRUE(Has(text, fact)) << "'" << fact << "' missing in: " << text;
    }
}

TEST(LineCheck, APermissionProblemNamesTheGroupAndTheCommand) {
    LineCheckResult r;
    r.m_verdict = LINE_NO_PERMISSION;
    r.m_strDevice = "/dev/ttyUSB0";
    r.m_strUser = "novak";
    r.m_strGroup = "dialout";
    const std::string text = LineDiagnosisText(r);
    EXPECT_TRUE(Has(text, "Uživatel novak nemá právo otevřít /dev/ttyUSB0 (skupina dialout)."))
        << text;
    EXPECT_TRUE(Has(text, "sudo usermod -aG dialout novak a přihlaste se znovu.")) << text;
}

// After a failed connect the explanation comes from what the failed open found: the port is
// not looked at again, so a holder that has gone meanwhile is still the one named.
TEST(LineCheck, AFailedConnectIsExplainedFromWhatTheOpenFound) {
    TempDir dir;
    CSerCom port;
    ASSERT_FALSE(port.Init());
    const std::string missing = dir.File("ttyACM3");
    ASSERT_EQ(port.Open(missing, kDefaultDcb), LE_PORT_OPEN);
    const std::string gone = DiagnoseConnectFailure(missing, LE_PORT_OPEN, port.LastOpenFailure());
    EXPECT_TRUE(Has(gone, missing + " neexistuje")) << gone;
    EXPECT_EQ(gone.find('\n'), std::string::npos);

    const std::string silent = DiagnoseConnectFailure(missing, LE_TIMEOUT);
    EXPECT_TRUE(Has(silent, "neodpověděla")) << silent;
    EXPECT_TRUE(Has(silent, missing)) << silent;
    EXPECT_EQ(DiagnoseConnectFailure(missing, LE_CRC, port.LastOpenFailure()), "");
    EXPECT_EQ(DiagnoseConnectFailure(missing, LE_OK), "");
    EXPECT_EQ(DiagnoseConnectFailure(missing, LE_PORT_OPEN), ""); // nothing known, nothing said

    WriteFileBytes(dir.File("plain"), {1});
    ASSERT_EQ(port.Open(dir.File("plain"), kDefaultDcb), LE_PORT_OPEN);
    EXPECT_TRUE(Has(DiagnoseConnectFailure("", LE_PORT_OPEN, port.LastOpenFailure()),
                    dir.File("plain") + " není sériový port"));

    // Another program holds the port: its name and pid, also after it has ended.
    LineEnv env;
    env.pty = std::make_unique<PtyPair>();
    env.HoldSlave();
    const std::string slave = env.pty->SlavePath();
    ASSERT_EQ(port.Open(slave, kDefaultDcb), LE_PORT_OPEN);
    const PortOpenFailure held = port.LastOpenFailure();
    EXPECT_EQ(held.device, slave);
    EXPECT_EQ(held.err, EBUSY);
    ::kill(env.holder, SIGKILL);
    ::waitpid(env.holder, nullptr, 0);
    const std::string busy = DiagnoseConnectFailure(slave, LE_PORT_OPEN, held);
    EXPECT_TRUE(Has(busy, "(pid " + std::to_string(env.holder) + ")")) << busy;
    env.holder = -1;

    // The port refused by this program's own lock: no other holder, nothing more to say.
    ASSERT_EQ(port.Open(slave, kDefaultDcb), LE_OK) << port.LastOpenError();
    CSerCom second;
    ASSERT_FALSE(second.Init());
    ASSERT_EQ(second.Open(slave, kDefaultDcb), LE_PORT_OPEN);
    EXPECT_EQ(second.LastOpenFailure().err, EBUSY);
    EXPECT_TRUE(second.LastOpenFailure().holders.empty());
    EXPECT_EQ(DiagnoseConnectFailure(slave, LE_PORT_OPEN, second.LastOpenFailure()), "");
}
