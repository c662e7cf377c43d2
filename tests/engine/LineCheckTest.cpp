// The line check against real lines: the virtual unit on a pseudo-terminal, a silent one, one
// whose far end streams text, a device that is not there, one the user may not open and one
// another program holds. Each verdict must come with a diagnosis that names the key fact.
#include "link/LineCheck.h"

#include "link/FindUnit.h"
#include "link/ModemList.h"
#include "link/SerialPorts.h"

#include "link/LinkError.h"
#include "link/SerCom.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Ser2Net.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
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
    std::unique_ptr<Ser2Net> server; // ends before the unit it serves
    std::unique_ptr<StalledListener> stalled;
    std::string netPort;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<CSerCom> session; // this program's own connection on the port
    std::atomic<bool> stop{false};
    std::thread talker;
    pid_t holder = -1;

    ~LineEnv() {
        server.reset();
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
    bool needsSer2Net = false;
};

// A cancel the user gives this long after the check began.
CancelCheck CancelAfterMs(int ms) {
    auto start = std::make_shared<std::chrono::steady_clock::time_point>();
    return [start, ms] {
        const auto now = std::chrono::steady_clock::now();
        if (*start == std::chrono::steady_clock::time_point{})
            *start = now;
        return now - *start >= std::chrono::milliseconds(ms);
    };
}

std::string UserName() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_name ? pw->pw_name : std::to_string(::geteuid());
}

// Every kind of line the check tells apart.
std::vector<LineCase> LineCases() {
    return {
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
        {"the virtual unit behind a serial device server (RFC 2217)",
         [](LineEnv& e) {
             e.sim = std::make_unique<CSimServer>();
             EXPECT_TRUE(e.sim->Start());
             e.server = std::make_unique<Ser2Net>(e.sim->SlavePath(), true);
             std::string error;
             EXPECT_TRUE(e.server->Start(&error)) << error;
             return e.server->Port();
         },
         LINE_OK,
         [](const LineEnv& e, const LineCheckResult&) {
             return std::vector<std::string>{"odpovídá na portu " + e.server->Port()};
         },
         {},
         false,
         true},
        {"a network port nobody takes",
         [](LineEnv& e) {
             e.netPort = "tcp://127.0.0.1:" + std::to_string(FreeLoopbackPort());
             return e.netPort;
         },
         LINE_OTHER,
         [](const LineEnv& e, const LineCheckResult&) {
             return std::vector<std::string>{e.netPort + ": spojení odmítnuto"};
         }},
        {"a network port that never connects, cancelled",
         [](LineEnv& e) {
             e.stalled = std::make_unique<StalledListener>();
             return e.stalled->Port();
         },
         LINE_OTHER,
         [](const LineEnv&, const LineCheckResult& r) {
             EXPECT_EQ(r.m_strDetail, "zrušeno") << "not the connect time-out";
             return std::vector<std::string>{"zrušena"};
         },
         CancelAfterMs(300)},
    };
}

} // namespace

TEST(LineCheck, EachKindOfLineGetsItsVerdictAndAnExplanation) {
    bool noSer2Net = false;
    for (const LineCase& c : LineCases()) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && ::geteuid() == 0)
            continue; // root opens everything: the case cannot be made here
        if (c.needsSer2Net && !Ser2Net::Available()) {
            noSer2Net = true;
            continue;
        }
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
    if (noSer2Net)
        GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh installs it)";
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

// A failed open's error number names the device's problem only for a device: a network
// connection refused by a firewall (EACCES/EPERM) or a resolver's ENOENT is no missing cable
// and no group to join.
TEST(LineCheck, AFailedOpenGivesADevicesVerdictOnlyForADevice) {
    struct Row {
        const char* device;
        int err;
        LineVerdict verdict;
    };
    const Row rows[] = {
        {"/dev/ttyUSB0", ENOENT, LINE_GONE},
        {"/dev/ttyUSB0", EACCES, LINE_NO_PERMISSION},
        {"/dev/ttyUSB0", EPERM, LINE_NO_PERMISSION},
        {"/dev/ttyUSB0", EBUSY, LINE_BUSY},
        {"/dev/ttyUSB0", ENOTTY, LINE_OTHER},
        {"tcp://10.0.0.7:4001", EACCES, LINE_OTHER},
        {"rfc2217://[fd00::17]:4001", EPERM, LINE_OTHER},
        {"tcp://site:4001", ENOENT, LINE_OTHER},
        {"rfc2217://site:4001", EBUSY, LINE_OTHER},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.device) + " " + std::to_string(row.err));
        PortOpenFailure failure;
        failure.device = row.device;
        failure.err = row.err;
        EXPECT_EQ(FailedOpenVerdict(failure), row.verdict);
    }
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

// All the lines at once, as a search over the machine's ports meets them: each port gets the
// verdict the check of that port alone gives, the found unit with its name and serial number.
TEST(FindUnit, EveryPortOfTheSearchGetsTheVerdictOfItsLine) {
    std::vector<LineCase> cases;
    for (LineCase& c : LineCases()) {
        if (!c.cancel && !(c.needsNonRoot && ::geteuid() == 0) &&
            !(c.needsSer2Net && !Ser2Net::Available()))
            cases.push_back(std::move(c));
    }
    std::vector<std::unique_ptr<LineEnv>> envs;
    std::vector<std::string> ports;
    for (const LineCase& c : cases) {
        envs.push_back(std::make_unique<LineEnv>());
        ports.push_back(c.setUp(*envs.back()));
    }
    std::mutex mutex;
    std::vector<size_t> reported;
    const std::vector<LineCheckResult> results =
        FindUnit(ports, {}, {}, [&](size_t index, const LineCheckResult&) {
            const std::lock_guard<std::mutex> lock(mutex);
            reported.push_back(index);
        });
    ASSERT_EQ(results.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(results[i].m_verdict, cases[i].verdict) << results[i].m_strDetail;
        EXPECT_EQ(results[i].m_strDevice, ports[i]);
        cases[i].facts(*envs[i], results[i]);
    }
    std::sort(reported.begin(), reported.end());
    std::vector<size_t> all(cases.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    EXPECT_EQ(reported, all); // every port reported once
    EXPECT_EQ(FindVerdictText(results[0]), "jednotka Brána Kounicova (výrobní číslo 00004321)");
}

// Storno while ports are still waiting for an answer: the search ends at once, and a port
// not yet started is not tried at all (a missing device would otherwise say so).
TEST(FindUnit, ACancelledSearchEndsPromptlyAndTriesNoFurtherPort) {
    PtyPair first;
    TempDir dir;
    std::atomic<bool> cancel{false};
    FindOptions slow;
    slow.nWaitMs = 60000; // without the cancel the search would take two minutes
    slow.nMaxParallel = 1;
    std::thread storno([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    const int64_t start = MonotonicMs();
    const std::vector<LineCheckResult> results = FindUnit(
        {first.SlavePath(), dir.File("ttyUSB7")}, slow, [&cancel] { return cancel.load(); });
    const int64_t took = MonotonicMs() - start;
    storno.join();
    EXPECT_LT(took, 10000);
    ASSERT_EQ(results.size(), 2u);
    for (const LineCheckResult& r : results) {
        EXPECT_TRUE(FindCancelled(r)) << r.m_strDetail;
        EXPECT_EQ(FindVerdictKey(r), std::string("cancelled"));
    }
}

// The ports searched by default: the picker's devices by their by-id names first, each device
// once, never a modem of the modem list (found by whichever of its names the list uses).
TEST(FindUnit, TheDefaultPortsSkipModemsAndSecondNamesOfOneDevice) {
    TempDir dir;
    for (const char* node : {"ttyACM0", "ttyS0", "ttyUSB0", "ttyUSB1"})
        WriteFileBytes(dir.File(node), {});
    const std::string adapter = dir.File("usb-FTDI_FT232R_A50285BI-if00-port0");
    const std::string modemLink = dir.File("usb-Siemens_MC35i-if00");
    ASSERT_EQ(::symlink(dir.File("ttyUSB1").c_str(), adapter.c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("ttyACM0").c_str(), modemLink.c_str()), 0);
    auto info = [&](const std::string& path, const char* node) {
        return SerialPortInfo{path, dir.File(node), node};
    };
    // As the picker lists them: sorted by device node.
    const std::vector<SerialPortInfo> picker = {
        info(modemLink, "ttyACM0"), info(dir.File("ttyS0"), "ttyS0"),
        info(dir.File("ttyUSB0"), "ttyUSB0"), info(adapter, "ttyUSB1"),
        info(dir.File("ttyUSB1"), "ttyUSB1")};
    CModemMng modems;
    ASSERT_GE(modems.Add(MakeModemInf("GSM", dir.File("ttyACM0"))), 0);
    EXPECT_EQ(FindCandidates(picker, modems),
              (std::vector<std::string>{adapter, dir.File("ttyS0"), dir.File("ttyUSB0")}));

    // Names the user gives: the first name of a device stays, a network port as it is.
    EXPECT_EQ(DistinctPorts({dir.File("ttyUSB1"), "tcp://192.0.2.7:4001", adapter,
                             dir.File("ttyUSB7"), "tcp://192.0.2.7:4001"}),
              (std::vector<std::string>{dir.File("ttyUSB1"), "tcp://192.0.2.7:4001",
                                        dir.File("ttyUSB7")}));
}
