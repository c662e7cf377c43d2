// tk530ctl end to end: the real executable against the virtual unit on a pseudo-terminal
// (directly and through the modem front end), checked by what it prints, its exit status, the
// frames the unit received and the files it wrote.
#include "base/Cp1250.h"
#include "base/DataLock.h"
#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "base/Texts.h"
#include "config/Profile.h"
#include "config/TK630Cfg.h"
#include "connections/ConnectDsc.h"
#include "link/Commands.h"
#include "link/ModemList.h"
#include "link/SerCom.h"
#include "sms/SMS.h"
#include "sms/SMSMng.h"
#include "tests/cli/CtlProcess.h"
#include "tests/support/EnglishWords.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"
#include "tools/sim/SimState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Codes = std::vector<uint8_t>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class CtlTest : public ::testing::Test {
protected:
    void SetUp() override { tk::SetProgramFolder(m_dir.Path()); }
    void TearDown() override {
        if (m_sim)
            m_sim->Stop();
    }

    void StartSim(bool modem = false) {
        SimServerOptions options;
        options.modem = modem;
        options.modemOptions.guardMs = 50;
        options.modemOptions.connectDelayMs = 20;
        m_modem = modem;
        m_sim = std::make_unique<CSimServer>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
    }

    // --folder, the connection to the virtual unit, then the given arguments.
    std::vector<std::string> Args(std::vector<std::string> args, const std::string& pin = "1234") {
        std::vector<std::string> all = {"--folder", m_dir.Path()};
        if (m_modem)
            all.insert(all.end(),
                       {"--modem", m_sim->SlavePath(), "--number", "123456789", "--pin", pin});
        else
            all.insert(all.end(), {"--port", m_sim->SlavePath()});
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    CtlResult Ctl(std::vector<std::string> args, const std::string& input = {}) {
        return RunCtl(Args(std::move(args)), input);
    }

    // A run with the program folder alone: the settings of the files, or no unit at all.
    CtlResult Local(std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", m_dir.Path()});
        return RunCtl(args);
    }

    CVirtualUnit& Unit() { return m_sim->Unit(); }

    Codes Commands(size_t from = 0) const {
        Codes codes;
        const auto requests = m_sim->Unit().Requests();
        for (size_t i = from; i < requests.size(); ++i)
            codes.push_back(requests[i].payload.size() > 1 ? requests[i].payload[1] : 0);
        return codes;
    }

    std::vector<uint8_t> LastRequest(uint8_t command) const {
        const auto requests = m_sim->Unit().Requests();
        for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
            if (it->payload.size() > 1 && it->payload[1] == command)
                return it->payload;
        }
        return {};
    }

    // The requests from `from` on, once the last two are the logout and the end of the session
    // (the unit may take the last request after tk530ctl has ended).
    Codes CommandsToTheEnd(size_t from = 0) const {
        const int64_t deadline = MonotonicMs() + 10000;
        Codes codes = Commands(from);
        while (!(codes.size() >= 2 && codes[codes.size() - 2] == 0x22 && codes.back() == 0x86) &&
               MonotonicMs() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            codes = Commands(from);
        }
        return codes;
    }

    static size_t Count(const Codes& codes, uint8_t code) {
        return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
    }

    TempDir m_dir;
    std::unique_ptr<CSimServer> m_sim;
    bool m_modem = false;
};

} // namespace

TEST_F(CtlTest, InfoPrintsTheIdentificationAndClosesTheSession) {
    StartSim();
    const CtlResult r = Ctl({"info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Výrobní štítek\n"
                     "  jméno:           TK530 virtual unit\n"
                     "  verze firmware:  1.05\n"
                     "  verze hardware:  2.10\n"
                     "  výrobní číslo:   00012345\n"
                     "  IMEI:            356000012345678\n");
    const Codes codes = Commands();
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(Codes(codes.begin(), codes.begin() + 2), (Codes{0x20, 0x23}));
    EXPECT_EQ(Codes(codes.end() - 2, codes.end()), (Codes{0x22, 0x86}));
    EXPECT_EQ(LastRequest(0x86), (std::vector<uint8_t>{0x80, 0x86, 0x01, 0xFF, 0x00}));
    // A port given on the command line is for this run: no connection list is written.
    EXPECT_FALSE(FileExists(m_dir.File("Data/Connection.dat")));

    const CtlResult json = Ctl({"--json", "--trace", "info"});
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(Has(ReadFileText(m_dir.File("sercom.log")), "W (")); // the trace switch
    EXPECT_EQ(json.out, "{\"name\":\"TK530 virtual unit\",\"firmware\":\"1.05\",\"hardware\":"
                        "\"2.10\",\"serial\":\"00012345\",\"imei\":\"356000012345678\"}\n");
}

TEST_F(CtlTest, StatusPrintsThePanesAndTheirJson) {
    StartSim();
    SimGsm gsm;
    ASSERT_TRUE(tk::Utf8ToCp1250("T-Mob \"ČR\"\x1b[2J", gsm.operatorName));
    gsm.gsmState = 5; // no text: shown empty
    gsm.signal = 40;  // beyond the bar: shown as its end
    gsm.credit1 = 12.5f;
    gsm.cellId = 0xFF;
    gsm.refused = 3;
    Unit().SetGsm(gsm);
    Unit().SetInputs(0x15);
    Unit().SetOutputs(0x02);
    SysTime clock;
    clock.wYear = 2008;
    clock.wMonth = 12;
    clock.wDay = 7;
    clock.wHour = 14;
    clock.wMinute = 5;
    clock.wSecond = 9;
    ASSERT_TRUE(Unit().SetClock(clock));

    const CtlResult r = Ctl({"status"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x24, 0x26, 0x30, 0x22, 0x86}));
    EXPECT_TRUE(Has(r.out, "  jméno operátora:      T-Mob \"ČR\" [2J\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "  GSM modul:            \n"));
    EXPECT_TRUE(Has(r.out, "  SIM:                  OK\n"));
    EXPECT_TRUE(Has(r.out, "  credit SIM:           12.50\n"));
    EXPECT_TRUE(Has(r.out, "  BTS:                  00FF\n"));
    EXPECT_TRUE(Has(r.out, "  nepovolené přístupy:  3\n"));
    EXPECT_TRUE(Has(r.out, "  signál:               32/32\n"));
    EXPECT_TRUE(Has(r.out, "  vstup/výstup  hodnota vstupu  hodnota výstupu\n"
                           "  IO1           1               0\n"
                           "  IO2           0               1\n"
                           "  IO3           1               0\n"));
    EXPECT_TRUE(Has(r.out, "Čas\n  čas:    14:05:"));
    EXPECT_TRUE(Has(r.out, "  datum:  7.12.2008\n"));

    const CtlResult json = Ctl({"status", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(Has(json.out, "{\"gsm\":{\"operator\":\"T-Mob \\\"ČR\\\"\\u001b[2J\","
                              "\"module\":\"\",\"module_state\":5,\"sim\":\"OK\",\"sim_state\":2,"
                              "\"network\":\"OK\",\"network_state\":1,\"signal\":32,"
                              "\"credit\":12.50,\"bts\":\"00FF\",\"refused\":3},"
                              "\"io\":{\"inputs\":[1,0,1,0,1],\"outputs\":[0,1,0,0,0]},"
                              "\"clock\":\"2008-12-07T14:05:"))
        << json.out;
}

TEST_F(CtlTest, ConfigurationGoesToAFileAndBackWithVerification) {
    StartSim();
    std::vector<uint8_t> memory = Unit().ConfigMemory();
    memory[6 + 3] = '7'; // the SIM PIN field of the image, in the device layout
    ASSERT_TRUE(Unit().SetConfigMemory(memory));
    const std::string file = m_dir.File("unit.cfg");
    const CtlResult read = Ctl({"read-config", file});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(Count(Commands(), 0x28), 10u); // 1665 bytes in blocks of 170
    const std::vector<uint8_t> bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), 1667u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bytes[8 + 3], '7');
    EXPECT_EQ(ListFolder(m_dir.File("Data/Backups")).size(), 1u);

    // Back to a unit whose memory was changed since, read back and compared.
    std::vector<uint8_t> other = memory;
    other[6 + 3] = '1';
    ASSERT_TRUE(Unit().SetConfigMemory(other));
    const size_t before = Unit().RequestCount();
    const CtlResult write = Ctl({"write-config", file, "--verify"});
    EXPECT_EQ(write.status, 0) << write.err;
    const Codes codes = Commands(before);
    EXPECT_EQ(Count(codes, 0x27), 10u);
    EXPECT_EQ(Count(codes, 0x28), 20u); // the backup before, and the verification after
    EXPECT_EQ(Unit().ConfigMemory(), memory);
    // What the unit held before the write is kept, marked so.
    std::vector<std::string> kept;
    for (const std::string& name : ListFolder(m_dir.File("Data/Backups")))
        if (name.find("_pred-zapisem") != std::string::npos)
            kept.push_back(name);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadFileBytes(m_dir.File("Data/Backups/" + kept[0]))[8 + 3], '1');

    // Files that cannot be read or written are refused before the unit is called.
    const size_t calls = Unit().RequestCount();
    WriteFileBytes(m_dir.File("short.cfg"), {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0});
    const CtlResult bad = Ctl({"write-config", m_dir.File("short.cfg")});
    EXPECT_EQ(bad.status, 65);
    EXPECT_TRUE(Has(bad.err, std::string(GetText(TXT_CFG_LOAD_ERROR))));
    const CtlResult nowhere = Ctl({"read-config", m_dir.File("missing/unit.cfg")});
    EXPECT_EQ(nowhere.status, 65);
    EXPECT_TRUE(Has(nowhere.err, std::string(GetText(TXT_CFG_SAVE_ERROR))));
    EXPECT_EQ(Unit().RequestCount(), calls);
}

TEST_F(CtlTest, OutputsAndClockAreSetAndReadBack) {
    StartSim();
    Unit().SetOutputs(0x01);
    const CtlResult outputs = Ctl({"set-outputs", "--set", "2,4", "--clear", "1"});
    EXPECT_EQ(outputs.status, 0) << outputs.err;
    EXPECT_EQ(LastRequest(0x25), (std::vector<uint8_t>{0x80, 0x25, 0x01, 0xFF, 0x0A}));
    EXPECT_TRUE(Has(outputs.out, "  IO1           1               0\n"
                                 "  IO2           0               1\n"));

    const CtlResult time = Ctl({"set-time", "2008-12-31T23:59:30"});
    EXPECT_EQ(time.status, 0) << time.err;
    EXPECT_EQ(LastRequest(0x31),
              (std::vector<uint8_t>{0x80, 0x31, 0x01, 0xFF, 31, 12, 8, 23, 59, 30}));
    EXPECT_TRUE(Has(time.out, "  datum:  31.12.2008\n"));

    const size_t calls = Unit().RequestCount();
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"set-outputs", "--set", "1", "--clear", "1-2"},
          {"set-outputs", "--set", "6"},
          {"set-outputs"},
          {"set-time", "2009-02-29T10:00:00"},
          {"set-time", "1999-12-31T10:00:00"}}) {
        const CtlResult r = Ctl(wrong);
        EXPECT_EQ(r.status, 64) << wrong.back();
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(Unit().RequestCount(), calls);
}

TEST_F(CtlTest, SmsAreReadIntoTheStoreListedAndExported) {
    StartSim();
    const SysTime now = GetLocalTime();
    for (int i = 1; i <= 2; ++i)
        ASSERT_TRUE(Unit().AddStoredSms(SimSampleSms(i, now)));
    const CtlResult read = Ctl({"sms-read"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(Has(read.out, "Načteno SMS: 2 (v jednotce byly smazány)\n")) << read.out;
    EXPECT_TRUE(Has(read.out, "Přijaté: * 1  ")); // where it went
    EXPECT_TRUE(Has(read.out, "+420777000002  Testovací zpráva č. 2")) << read.out;
    EXPECT_TRUE(Unit().StoredSms().empty());
    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    ASSERT_EQ(disk.GetCount(SMS_RECEIVED), 2);
    EXPECT_EQ(tk::Cp1250ToUtf8(disk.Get(1, SMS_RECEIVED)->GetText()),
              "Testovací zpráva č. 2 z virtuální jednotky.");
    const std::vector<uint8_t> file = ReadFileBytes(CSMSMng::FilePath());
    ASSERT_GE(file.size(), 16u); // version 1, then the three counts
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 16),
              (std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    const CtlResult list = RunCtl({"--folder", m_dir.Path(), "sms-list", "--json"});
    EXPECT_EQ(list.status, 0);
    EXPECT_TRUE(Has(list.out, "{\"lists\":[{\"list\":\"received\",\"name\":\"Přijaté\","
                              "\"count\":2,\"messages\":[{\"index\":0,"))
        << list.out;
    EXPECT_TRUE(Has(list.out, "\"numbers\":[\"+420777000001\"],\"text\":\"Testovací zpráva "
                              "č. 1 z virtuální jednotky.\",\"unread\":true}"));
    EXPECT_TRUE(Has(list.out, "{\"list\":\"tosend\",\"name\":\"K odeslání\",\"count\":0,"
                              "\"messages\":[]}]}\n"));
    const CtlResult sent = RunCtl({"--folder", m_dir.Path(), "sms-list", "sent"});
    EXPECT_EQ(sent.out, "Odeslané (0)\n");

    const std::string txt = m_dir.File("sms.txt");
    EXPECT_EQ(RunCtl({"--folder", m_dir.Path(), "sms-export", "received", txt}).status, 0);
    const std::string once = ReadFileText(txt);
    EXPECT_TRUE(Has(once, "\t+420777000001\tTestovac\xED zpr\xE1va \xE8. 1 z virtu\xE1ln\xED "
                          "jednotky.\r\n")); // CP1250
    EXPECT_EQ(std::count(once.begin(), once.end(), '\n'), 2);
    const CtlResult exists = RunCtl({"--folder", m_dir.Path(), "sms-export", "received", txt});
    EXPECT_EQ(exists.status, 69);
    EXPECT_EQ(ReadFileText(txt), once);
    EXPECT_EQ(RunCtl({"--folder", m_dir.Path(), "sms-export", "received", txt, "--append"}).status,
              0);
    EXPECT_EQ(ReadFileText(txt), once + once);

    // A read that pushes older messages out shows where each one is after the whole read.
    for (int i = 3; i <= 7; ++i)
        ASSERT_TRUE(Unit().AddStoredSms(SimSampleSms(i, now)));
    const CtlResult more = Ctl({"sms-read"});
    EXPECT_EQ(more.status, 0) << more.err;
    for (int i = 0; i < SMS_LIST_MAX; ++i)
        EXPECT_TRUE(Has(more.out, "Přijaté: * " + std::to_string(i) + "  ")) << more.out;
}

TEST_F(CtlTest, SmsIsSentThroughTheToSendListOrRefusedWithoutLosingAnything) {
    StartSim();
    const CtlResult r =
        Ctl({"sms-send", "--to", "+420111", "--to", "+420 222", "--text", "Žluťoučký kůň"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto sent = Unit().SentMessages();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].number, "+420111");
    EXPECT_EQ(sent[1].number, "+420222");
    EXPECT_EQ(sent[0].text, "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2");
    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    EXPECT_EQ(disk.GetCount(SMS_TOSEND), 0);
    EXPECT_EQ(disk.GetCount(SMS_SENT), 1);

    // Refused before the unit is called.
    const size_t calls = Unit().RequestCount();
    const CtlResult emoji = Ctl({"sms-send", "--to", "+420111", "--text", "ok \xF0\x9F\x98\x80"});
    EXPECT_EQ(emoji.status, 64);
    EXPECT_TRUE(Has(emoji.err, "\xF0\x9F\x98\x80"));
    CSMS waiting;
    waiting.SetText("čeká");
    for (int i = 0; i < SMS_LIST_MAX; ++i)
        ASSERT_GE(disk.Add(waiting, SMS_TOSEND), 0);
    ASSERT_EQ(disk.Save(), 1);
    const std::vector<uint8_t> full = ReadFileBytes(CSMSMng::FilePath());
    const CtlResult noRoom = Ctl({"sms-send", "--to", "+420111", "--text", "ahoj"});
    EXPECT_EQ(noRoom.status, 69); // refused, not a usage error
    EXPECT_TRUE(Has(noRoom.err, "K odeslání"));
    EXPECT_EQ(ReadFileBytes(CSMSMng::FilePath()), full);
    EXPECT_EQ(Unit().RequestCount(), calls);

    // The unit refuses: the message stays in the to-send list.
    disk.Clear(SMS_TOSEND);
    ASSERT_EQ(disk.Save(), 1);
    SimSendOptions refuse;
    refuse.refuse = true;
    Unit().SetSendOptions(refuse);
    const CtlResult refused = Ctl({"sms-send", "--to", "+420333", "--text", "ne"});
    EXPECT_EQ(refused.status, 12);
    EXPECT_TRUE(Has(refused.err, "SMS se nepodařilo odeslat. EC: 002B")) << refused.err;
    ASSERT_EQ(disk.Load(), 1);
    ASSERT_EQ(disk.GetCount(SMS_TOSEND), 1);
    EXPECT_STREQ(disk.Get(0, SMS_TOSEND)->GetNumber(0), "+420333");
}

TEST_F(CtlTest, TimeOutIsReportedWithItsCommandAndRepeatedOnlyWhenAsked) {
    StartSim();
    Unit().AddFault({0x24, SimFaultKind::NoAnswer});
    const CtlResult r = Ctl({"--timeout-scale", "10", "status"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "Vypršel komunikační timeout. EC: 0024\n");
    EXPECT_EQ(r.out, "");
    const Codes codes = Commands();
    EXPECT_EQ(Count(codes, 0x24), 3u); // three attempts, no repeat without a terminal
    EXPECT_EQ(Codes(codes.end() - 2, codes.end()), (Codes{0x22, 0x86}));

    Unit().ClearFaults();
    Unit().AddFault({0x24, SimFaultKind::NoAnswer, 0, 3});
    const CtlResult again = Ctl({"--timeout-scale", "10", "--retries", "1", "status"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(Has(again.err, "EC: 0024\nDošlo ke komunikační chybě. Opakovat komunikaci? ano\n"));
    EXPECT_TRUE(Has(again.out, "Stav GSM\n"));
}

TEST_F(CtlTest, PortThatCannotBeOpenedEndsWith2AndItsReason) {
    const CtlResult r = RunCtl({"--folder", m_dir.Path(), "--port", "/dev/tk530-none", "info"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "Nepodařilo se otevřít komunikační port.\n  ("));
}

TEST_F(CtlTest, ModemCallLogsInWithThePinFromStandardInput) {
    StartSim(true);
    const CtlResult r = RunCtl(Args({"info"}, "-"), "1234\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "  výrobní číslo:   00012345\n"));
    EXPECT_EQ(m_sim->DialledNumbers(), std::vector<std::string>{"123456789"});
    const auto login = Unit().Requests().at(0).payload;
    ASSERT_EQ(login.size(), 13u);
    EXPECT_EQ(std::string(login.begin() + 4, login.begin() + 9), std::string("1234\0", 5));
    EXPECT_EQ(Commands().back(), 0x22);
    EXPECT_FALSE(m_sim->IsCallUp());
    // The modem and the connection were for this run only.
    EXPECT_FALSE(FileExists(m_dir.File("Data/Modems.dat")));
    EXPECT_FALSE(FileExists(m_dir.File("Data/Connection.dat")));
}

TEST_F(CtlTest, RefusedPinWithoutATerminalEndsWith100) {
    StartSim(true);
    const CtlResult r = RunCtl(Args({"status"}, "9999"));
    EXPECT_EQ(r.status, 100);
    EXPECT_EQ(r.err, "Přístup odepřen - neplatný PIN.\nJiný PIN nelze zadat, protože standardní "
                     "vstup a chybový výstup nejsou terminál; zadejte správný PIN volbou --pin "
                     "(nebo v seznamu připojení).\n");
    EXPECT_EQ(Commands(), (Codes{0x21, 0x22}));
}

TEST_F(CtlTest, RefusedPinOnATerminalAsksForANewOne) {
    StartSim(true);
    PtyPair tty;
    CtlProcess p(Args({"info"}, "9999"), {}, tty.SlavePath());
    std::string shown;
    const int64_t deadline = MonotonicMs() + 20000;
    while (!Has(shown, "PIN: ") && MonotonicMs() < deadline) {
        struct pollfd fd = {tty.Master(), POLLIN, 0};
        if (::poll(&fd, 1, 200) > 0) {
            char buf[256];
            const ssize_t n = ::read(tty.Master(), buf, sizeof buf);
            if (n > 0)
                shown.append(buf, static_cast<size_t>(n));
        }
    }
    ASSERT_TRUE(Has(shown, "Přístup odepřen - neplatný PIN.\nPIN: ")) << shown;
    EXPECT_TRUE(Has(shown, "Připojení TK530 k PC. [")); // the progress bar on the terminal
    ASSERT_EQ(::write(tty.Master(), "1234\n", 5), 5);
    const CtlResult r = p.Wait();
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.out, "Výrobní štítek\n"));
    EXPECT_EQ(Count(Commands(), 0x21), 2u);
}

TEST_F(CtlTest, CtrlCDuringAConfigurationReadCancelsLogsOutAndEndsWith130) {
    StartSim();
    Unit().AddFault({0x28, SimFaultKind::Delay, 1500});
    const std::string file = m_dir.File("unit.cfg");
    CtlProcess p(Args({"read-config", file}));
    ASSERT_TRUE(Unit().WaitForRequests(3, 20000)); // type, identification, first block
    p.Signal(SIGINT);
    const CtlResult r = p.Wait();
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.err, "Komunikace byla přerušena uživatelem. EC: 0028\n");
    EXPECT_FALSE(FileExists(file));
    ASSERT_TRUE(Unit().WaitForRequests(5, 10000));
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x28, 0x22, 0x86}));

    // A monitor ends the same way.
    const size_t before = Unit().RequestCount();
    CtlProcess monitor(Args({"monitor"}));
    ASSERT_TRUE(Unit().WaitForRequests(before + 4, 20000)); // connected, the status read begun
    monitor.Signal(SIGINT);
    const CtlResult m = monitor.Wait();
    EXPECT_EQ(m.status, 130) << m.err;
    const Codes codes = CommandsToTheEnd(before);
    EXPECT_EQ(Codes(codes.end() - 2, codes.end()), (Codes{0x22, 0x86}));
}

TEST_F(CtlTest, MonitorPrintsChangesAndStoresFetchedSms) {
    StartSim();
    ASSERT_TRUE(Unit().AddStoredSms(SimSampleSms(1, GetLocalTime())));
    std::thread change([this] {
        // After the first keepalive poll: type, identification, the status read, one poll.
        if (Unit().WaitForRequests(6, 20000))
            Unit().SetInputs(0x03);
    });
    const CtlResult r = Ctl({"--json", "monitor", "--seconds", "5"});
    change.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "{\"event\":\"status\",\"time\":\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"info\":{\"name\":\"TK530 virtual unit\""));
    EXPECT_TRUE(Has(r.out, "\"io\":{\"inputs\":[1,1,0,0,0],\"outputs\":[0,0,0,0,0]}}\n"));
    EXPECT_TRUE(Has(r.out, "{\"event\":\"sms\",\"time\":"));
    EXPECT_TRUE(Has(r.out, "\",\"list\":\"received\",\"sms\":{\"index\":0,")); // where it went
    // One object per line.
    for (size_t from = 0, end; (end = r.out.find('\n', from)) != std::string::npos; from = end + 1)
        EXPECT_TRUE(r.out[from] == '{' && r.out[end - 1] == '}') << r.out.substr(from, end - from);
    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    EXPECT_EQ(disk.GetCount(SMS_RECEIVED), 1);
    EXPECT_TRUE(Unit().StoredSms().empty());
    const Codes codes = Commands();
    EXPECT_EQ(Codes(codes.end() - 2, codes.end()), (Codes{0x22, 0x86}));
}

// The unit goes silent under a monitor: a line says so and another when it answers again;
// silent for longer than --give-up, the monitor ends with 3 after logging out.
TEST_F(CtlTest, MonitorReportsASilentUnitAndGivesUpAfterItsTime) {
    StartSim();
    std::thread unit([this] {
        // Muted after the status read and a poll, back for a while, then muted for good.
        if (!Unit().WaitForRequests(6, 20000))
            return;
        Unit().SetMuted(true);
        std::this_thread::sleep_for(std::chrono::seconds(6)); // silence takes 3 s of misses
        Unit().SetMuted(false);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        Unit().SetMuted(true);
    });
    // A poll waits 300 ms for its reply.
    const CtlResult r = Ctl({"--timeout-scale", "10", "--json", "monitor", "--give-up", "9"});
    unit.join();
    EXPECT_EQ(r.status, 3) << r.err;
    const size_t silent = r.out.find("{\"event\":\"no_answer\",\"time\":\"");
    const size_t back = r.out.find("{\"event\":\"answering\",\"time\":\"");
    ASSERT_NE(silent, std::string::npos) << r.out;
    ASSERT_NE(back, std::string::npos) << r.out;
    EXPECT_LT(silent, back);
    EXPECT_NE(r.out.find("{\"event\":\"no_answer\"", back), std::string::npos)
        << "the second silence is reported too";
    EXPECT_TRUE(Has(r.out.substr(silent), "\"since\":\"")) << r.out;
    EXPECT_TRUE(Has(r.err, "neodpovídá")) << r.err;
    const Codes codes = Commands();
    EXPECT_EQ(Codes(codes.end() - 2, codes.end()), (Codes{0x22, 0x86}));
}

// Another program holding the Data lock for longer than a change takes: the commands that
// change the files wait briefly, then give up without touching them.
TEST_F(CtlTest, DataFilesInUseByAnotherProgramAreNotTouched) {
    StartSim();
    // Settings from the files, as the control panel keeps them.
    CProfile profile;
    profile.SetPort(m_sim->SlavePath().c_str());
    ASSERT_EQ(profile.Save(), PROFILE_OK);
    CConnectDscMng conns;
    CConnectDsc dsc{};
    dsc.SetNum("777");
    dsc.SetPIN("1111");
    conns.Add(dsc);
    ASSERT_EQ(conns.Save(), 1);
    const std::string connFile = m_dir.File("Data/Connection.dat");
    const ino_t inode = Inode(connFile);

    tk::CDataLock panel;
    ASSERT_TRUE(panel.Acquire());
    const CtlResult read = RunCtl({"--folder", m_dir.Path(), "sms-read"});
    EXPECT_EQ(read.status, 65);
    EXPECT_TRUE(Has(read.err, "jiný program")) << read.err;
    const CtlResult add = RunCtl({"--folder", m_dir.Path(), "modem-add", "M", "/dev/ttyS0"});
    EXPECT_EQ(add.status, 65);
    EXPECT_FALSE(FileExists(m_dir.File("Data/Modems.dat")));
    EXPECT_EQ(Unit().RequestCount(), 0u);
    // Reading from the unit still works, and leaves the connection list alone.
    const CtlResult info = RunCtl({"--folder", m_dir.Path(), "info"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(Inode(connFile), inode);

    // Nor does it without the other program: a list it did not change is not written.
    panel.Release();
    EXPECT_EQ(RunCtl({"--folder", m_dir.Path(), "info"}).status, 0);
    EXPECT_EQ(Inode(connFile), inode);
    ASSERT_EQ(conns.Load(), 1);
    EXPECT_STREQ(conns.Get(0)->m_szPIN, "1111");
}

TEST_F(CtlTest, ModemListIsEditedAndTheProfileFollows) {
    const std::string folder = m_dir.Path();
    EXPECT_EQ(RunCtl({"--folder", folder, "modem-add", "První", "/dev/ttyUSB0"}).status, 0);
    const CtlResult gsm = RunCtl({"--folder", folder, "modem-add", "GSM", "COM2", "--init", "AT&F",
                                  "--bearer", "AT+CBST=71"});
    EXPECT_EQ(gsm.status, 0) << gsm.err;
    EXPECT_EQ(ReadFileText(m_dir.File("Data/Modems.dat")),
              "TK530 modem list 1\n# Data modems of the control panel; texts in CP1250.\n"
              "\n[modem]\nname=Prvn\xED\ndevice=/dev/ttyUSB0\ninit=\ngsm=0\nbearer=AT+CBST=7,0,1\n"
              "\n[modem]\nname=GSM\ndevice=/dev/ttyS1\ninit=AT&F\ngsm=1\nbearer=AT+CBST=71\n");
    EXPECT_EQ(RunCtl({"--folder", folder, "modem-add", "GSM", "/dev/ttyS2"}).status, 64);
    EXPECT_EQ(RunCtl({"--folder", folder, "modem-add", "X", "ttyS2"}).status, 64);
    EXPECT_EQ(RunCtl({"--folder", folder, "modem-add", "X", "/dev/x", "--init", "AT\rD"}).status,
              64);
    const CtlResult list = RunCtl({"--folder", folder, "modems"});
    EXPECT_EQ(list.out, "0  První  /dev/ttyUSB0\n1  GSM  /dev/ttyS1  init AT&F  GSM AT+CBST=71\n");

    CProfile profile;
    profile.m_nModem = 1;
    ASSERT_EQ(profile.Save(), PROFILE_OK);
    EXPECT_EQ(RunCtl({"--folder", folder, "modem-del", "První"}).status, 0);
    ASSERT_EQ(profile.Load(), PROFILE_OK);
    EXPECT_EQ(profile.m_nModem, 0); // still the GSM modem
    EXPECT_EQ(RunCtl({"--folder", folder, "modem-del", "5"}).status, 64);
    EXPECT_EQ(RunCtl({"--folder", folder, "modem-del", "0"}).status, 0);
    ASSERT_EQ(profile.Load(), PROFILE_OK);
    EXPECT_EQ(profile.m_nModem, -1);
}

TEST_F(CtlTest, UsageErrorsEndWith64AndHelpWith0) {
    const std::string folder = m_dir.Path();
    EXPECT_EQ(RunCtl({"--folder", folder}).status, 64);
    EXPECT_EQ(RunCtl({"--folder", folder, "frobnicate"}).status, 64);
    EXPECT_EQ(RunCtl({"--folder", folder, "--modem", "0", "info"}).status, 64);
    EXPECT_EQ(
        RunCtl({"--folder", folder, "--modem", "0", "--number", "1", "--pin", "12", "info"}).status,
        64);
    EXPECT_EQ(RunCtl({"--folder", m_dir.File("missing"), "info"}).status, 64);
    EXPECT_EQ(RunCtl({"--folder", folder, "sms-list", "all"}).status, 64);
    const CtlResult help = RunCtl({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Has(help.out, "read-config"));
    EXPECT_TRUE(Has(help.out, "  130   přerušeno (Ctrl+C)"));
    EXPECT_TRUE(Has(help.out, "  3     Vypršel komunikační timeout.\n"));
    EXPECT_TRUE(Has(help.out, "TK530_PORT"));
    // Each command's help shows its example and the options every command takes.
    const CtlResult send = RunCtl({"sms-send", "--help"});
    EXPECT_EQ(send.status, 0);
    EXPECT_TRUE(Has(send.out, "Příklad:\n  tk530ctl sms-send --to"));
    EXPECT_TRUE(Has(send.out, "Společné volby (před příkazem i za ním):\n  --folder SLOŽKA"));
    // The parser's own complaints are Czech and name what was wrong.
    const struct {
        std::vector<std::string> args;
        std::string says;
    } wrong[] = {
        {{"info", "navic"}, "nečekaný argument: navic"},
        {{"--bogus", "info"}, "nečekaný argument: --bogus"},
        {{"sms-show"}, "chybí povinný argument SEZNAM"},
        {{"sms-send", "--to", "1"}, "chybí povinný argument --text"},
        {{"sms-list", "all"},
         "hodnota \"all\" není povolena (povolené jsou: received, sent, tosend)"},
        {{"--timeout-scale", "5", "info"}, "hodnota \"5\" je mimo rozsah 10 až 1000"},
        {{"--timeout-scale", "abc", "info"}, "\"abc\""},
        {{"--folder", m_dir.File("chybi"), "info"}, "neexistuje"},
        {{"info", "--port"}, "nesprávný počet hodnot u --port"},
        {{"settings", "--local", "--remote"}, "nelze zadat zároveň"},
        {{"--number", "1", "info"}, "vyžaduje také --modem"},
        {{"do", "info navic"}, "krok 1 \"info navic\": nečekaný argument: navic"},
        {{}, "chybí příkaz"},
    };
    for (const auto& c : wrong) {
        std::vector<std::string> args = {"--folder", folder};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.args.size() > 1 && c.args[0] == "--folder")
            args.assign(c.args.begin(), c.args.end());
        const CtlResult r = RunCtl(args);
        EXPECT_EQ(r.status, 64) << r.err;
        EXPECT_TRUE(Has(r.err, c.says)) << r.err;
        EXPECT_EQ(EnglishWords(r.err), std::vector<std::string>{}) << r.err;
    }
    const CtlResult typo = RunCtl({"--port", "/dev/x", "sms-lst"});
    EXPECT_EQ(typo.status, 64);
    EXPECT_TRUE(Has(typo.err, "neznámý příkaz \"sms-lst\". Měli jste na mysli \"sms-list\"?"));
    EXPECT_EQ(RunCtl({"--version"}).out, "tk530ctl " TK530_VERSION "\n");
    FILE* sim = ::popen(TK530SIM_EXE " --version", "r");
    ASSERT_NE(sim, nullptr);
    char line[64] = {};
    EXPECT_NE(std::fgets(line, sizeof line, sim), nullptr);
    EXPECT_EQ(::pclose(sim), 0);
    EXPECT_EQ(std::string(line), "tk530-sim " TK530_VERSION "\n");
}

TEST_F(CtlTest, AMessageTheUnitDeletedSurvivesAKillRightAfterTheAcknowledgement) {
    StartSim();
    SimSms stored;
    stored.time = GetLocalTime();
    stored.number = "+420600100200";
    stored.text = "poplach";
    ASSERT_TRUE(Unit().AddStoredSms(stored));
    // The unit deletes the message on the acknowledgement, and its reply never comes.
    Unit().AddFault({CMD_ACK_SMS, SimFaultKind::NoAnswer});
    CtlProcess ctl(Args({"sms-read"}));
    ASSERT_TRUE(Unit().WaitForRequests(4, 20000)); // type, identification, read, acknowledge
    ASSERT_EQ(Commands().back(), CMD_ACK_SMS);
    ctl.Signal(SIGKILL);
    const CtlResult r = ctl.Wait();
    EXPECT_EQ(r.signal, SIGKILL);
    EXPECT_TRUE(Unit().StoredSms().empty());
    CSMSMng store;
    ASSERT_EQ(store.Load(), 1);
    ASSERT_EQ(store.GetCount(SMS_RECEIVED), 1);
    EXPECT_STREQ(store.Get(0, SMS_RECEIVED)->GetText(), "poplach");
}

TEST_F(CtlTest, RecipientsAreOneAnOptionCleanedAndRefusedBeforeConnecting) {
    StartSim();
    const CtlResult r = Ctl({"sms-send", "--to", "+420 777 123 456", "--to",
                             "(603) 11-22.33; +420.777.123.456.789", "--text", "-"},
                            "Ahoj\tsvěte\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto sent = Unit().SentMessages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].number, "+420777123456");
    EXPECT_EQ(sent[1].number, "603112233");
    EXPECT_EQ(sent[2].number, "+420777123456789"); // the record's 16 characters, whole
    EXPECT_EQ(sent[0].text, "Ahoj\tsv\xECte");     // from standard input
    // Written here, so read: no star in the list.
    EXPECT_TRUE(Has(Local({"sms-list", "sent"}).out, "Odeslané (1)\n    0  "));

    const size_t calls = Unit().RequestCount();
    const std::vector<uint8_t> store = ReadFileBytes(CSMSMng::FilePath());
    const struct {
        std::vector<std::string> to;
        std::string why;
    } refused[] = {
        {{"+420111, Jana"}, "„Jana“: znak „J“"},
        {{"- ( ) ."}, "„- ( ) .“ neobsahuje žádné číslo"},
        {{"420+111"}, "znak + smí být jen na začátku"},
        {{"+4207771234567890"}, "má 17 znaků; číslo jich smí mít nejvýše 16"},
        {{"1", "2", "3", "4", "5"}, "nejvýše 4 příjemce"},
        {{"1; 2", "3,4", "5"}, "nejvýše 4 příjemce"},
        {{"nikdo"}, "„nikdo“: znak „n“"},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args = {"sms-send", "--text", "ahoj"};
        for (const std::string& to : c.to)
            args.insert(args.end(), {"--to", to});
        const CtlResult no = Ctl(args);
        EXPECT_EQ(no.status, 64) << c.to[0];
        EXPECT_TRUE(Has(no.err, c.why)) << no.err;
    }
    // A NUL from standard input would end the text unseen; too long an input is not read on.
    const struct {
        std::string input;
        std::string why;
    } texts[] = {
        {std::string("ahoj\0svete", 10), "obsahuje znak NUL"},
        {std::string(4000, 'a'), "je delší než 640 znaků"},
    };
    for (const auto& t : texts) {
        const CtlResult no = Ctl({"sms-send", "--to", "123", "--text", "-"}, t.input);
        EXPECT_EQ(no.status, 64) << t.why;
        EXPECT_TRUE(Has(no.err, t.why)) << no.err;
    }
    EXPECT_EQ(Unit().RequestCount(), calls);
    EXPECT_EQ(ReadFileBytes(CSMSMng::FilePath()), store);
}

TEST_F(CtlTest, ToSendListIsShownDeletedResentAndMarkedRead) {
    StartSim();
    CSMSMng disk;
    for (int i = 0; i < SMS_LIST_MAX; ++i) {
        CSMS waiting;
        waiting.SetText("wait " + std::to_string(i));
        waiting.AddNumber("+42060000000" + std::to_string(i));
        waiting.SetUnread(false);
        ASSERT_GE(disk.Add(waiting, SMS_TOSEND), 0);
    }
    CSMS received;
    std::string text;
    ASSERT_TRUE(tk::Utf8ToCp1250("Řádek 1\r\nŘádek 2", text));
    received.SetText(text);
    received.AddNumber("+420111");
    received.AddNumber("+420222");
    ASSERT_GE(disk.Add(received, SMS_RECEIVED), 0);
    ASSERT_GE(disk.Add(received, SMS_RECEIVED), 0);
    ASSERT_EQ(disk.Save(), 1);

    const CtlResult full = Ctl({"sms-send", "--to", "1", "--text", "x"});
    EXPECT_EQ(full.status, 69);
    EXPECT_TRUE(Has(full.err, "sms-resend")) << full.err;
    const CtlResult show = Local({"sms-show", "received", "1"});
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.out, "seznam:  Přijaté\nzpráva:  1 (nepřečtená)\nčas:     00:00:00  1.1.2000\n"
                        "čísla:   +420111, +420222\ntext (16 znaků):\nŘádek 1\nŘádek 2\n");
    EXPECT_TRUE(Has(Local({"--json", "sms-show", "tosend", "4"}).out,
                    "{\"list\":\"tosend\",\"index\":4,\"time\":\"2000-01-01T00:00:00\","
                    "\"numbers\":[\"+420600000004\"],\"text\":\"wait 4\",\"unread\":false}\n"));

    // A wrong index changes nothing; indices are those sms-list prints.
    const CtlResult wrong = Local({"sms-delete", "tosend", "1", "7"});
    EXPECT_EQ(wrong.status, 64);
    EXPECT_TRUE(Has(wrong.err, "Seznam K odeslání nemá zprávu č. 7 (má 5 zpráv")) << wrong.err;
    EXPECT_EQ(Local({"sms-show", "sent", "0"}).status, 64);
    const CtlResult del = Local({"sms-delete", "tosend", "2", "0"});
    EXPECT_EQ(del.status, 0) << del.err;
    EXPECT_EQ(del.out, "Smazáno SMS: 2 ze seznamu K odeslání; zůstává 3.\n");
    ASSERT_EQ(disk.Load(), 1);
    ASSERT_EQ(disk.GetCount(SMS_TOSEND), 3);
    EXPECT_STREQ(disk.Get(0, SMS_TOSEND)->GetNumber(0), "+420600000001");

    // One message again, then all that still wait.
    const CtlResult one = Ctl({"sms-resend", "1"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "Odesláno SMS: 1 z 1; v seznamu K odeslání zůstává 2.\n");
    ASSERT_EQ(Unit().SentMessages().size(), 1u);
    EXPECT_EQ(Unit().SentMessages()[0].number, "+420600000003");
    EXPECT_EQ(Ctl({"sms-resend"}).status, 0);
    ASSERT_EQ(Unit().SentMessages().size(), 3u);
    EXPECT_EQ(Unit().SentMessages()[2].number, "+420600000004");
    ASSERT_EQ(disk.Load(), 1);
    EXPECT_EQ(disk.GetCount(SMS_TOSEND), 0);
    EXPECT_EQ(disk.GetCount(SMS_SENT), 3);

    EXPECT_TRUE(Has(Local({"sms-list", "received"}).out, "  * 0  "));
    const CtlResult mark = Local({"sms-mark-read"});
    EXPECT_EQ(mark.out, "Označeno jako přečtené: 2 v seznamu Přijaté.\n");
    EXPECT_FALSE(Has(Local({"sms-list", "received"}).out, "* "));
}

TEST_F(CtlTest, SettingsAreKeptUsedAndGiveWayToTheEnvironmentAndOptions) {
    StartSim();
    // No profile: the tool names the port it tries.
    const CtlResult guess = Local({"--timeout-scale", "10", "--json", "status"});
    EXPECT_NE(guess.status, 0);
    EXPECT_TRUE(Has(guess.err, "Profile.dat neexistuje, použije se port \\\"COM1\\\" (/dev/ttyS0)"))
        << guess.err;

    // A path with a slash is a path, here relative to the current folder.
    ASSERT_EQ(::symlink(m_sim->SlavePath().c_str(), m_dir.File("unit").c_str()), 0);
    char cwd[4096];
    ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
    ASSERT_EQ(::chdir(m_dir.Path().c_str()), 0);
    const CtlResult set = Local({"settings", "--port", "./unit", "--trace", "on"});
    ASSERT_EQ(::chdir(cwd), 0);
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_TRUE(Has(set.out, "  komunikační port:  " + m_sim->SlavePath() + " (")) << set.out;
    CProfile profile;
    ASSERT_EQ(profile.Load(), PROFILE_OK);
    EXPECT_EQ(std::string(profile.m_szPort), m_sim->SlavePath());
    EXPECT_EQ(profile.m_bLog, 1);
    EXPECT_EQ(profile.m_nConnType, CONN_LOCAL);
    const CtlResult used = Local({"info"});
    EXPECT_EQ(used.status, 0) << used.err;
    EXPECT_EQ(used.err, "");
    EXPECT_TRUE(FileExists(m_dir.File("sercom.log")));
    EXPECT_EQ(Local({"--json", "settings"}).out,
              "{\"access\":\"local\",\"port\":\"" + m_sim->SlavePath() + "\",\"device\":\"" +
                  m_sim->SlavePath() +
                  "\",\"trace\":true,\"modem\":-1,\"modem_name\":null,\"saved\":true,"
                  "\"folder\":\"" +
                  m_dir.Path() + "\",\"folder_kind\":\"given\"}\n");

    // A path longer than the profile's field (a by-id name) is kept whole and used as it is.
    const std::string byId =
        m_dir.File("serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ASSERT_EQ(::mkdir(m_dir.File("serial").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(m_dir.File("serial/by-id").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(m_sim->SlavePath().c_str(), byId.c_str()), 0);
    const CtlResult setLong = Local({"settings", "--port", byId});
    EXPECT_EQ(setLong.status, 0) << setLong.err;
    EXPECT_TRUE(Has(Local({"settings"}).out, "  komunikační port:  " + byId + " (" + byId + ")"));
    EXPECT_EQ(ReadFileBytes(m_dir.File("Profile.dat")).size(), PROFILE_FILE_SIZE);
    const CtlResult viaLong = Local({"info"});
    EXPECT_EQ(viaLong.status, 0) << viaLong.err;

    // The environment wins over the profile, the options over the environment.
    ::setenv("TK530_PORT", "/dev/tk530-none", 1);
    const CtlResult env = Local({"info"});
    const CtlResult option = Local({"--port", m_sim->SlavePath(), "info"});
    ::unsetenv("TK530_PORT");
    EXPECT_EQ(env.status, 2);
    EXPECT_EQ(option.status, 0) << option.err;

    // Refused: a modem not in the list, and any change while the control panel runs.
    EXPECT_EQ(Local({"settings", "--modem", "3"}).status, 64);
    const std::vector<uint8_t> kept = ReadFileBytes(m_dir.File("Profile.dat"));
    tk::CDataLock panel;
    ASSERT_TRUE(panel.Acquire());
    EXPECT_EQ(Local({"settings", "--remote"}).status, 65);
    EXPECT_EQ(Local({"settings"}).status, 0); // showing them is no change
    EXPECT_EQ(ReadFileBytes(m_dir.File("Profile.dat")), kept);
}

TEST_F(CtlTest, JsonErrorIsOneObjectOnStandardErrorAndTheStatusStays) {
    StartSim();
    Unit().AddFault({0x24, SimFaultKind::NoAnswer});
    const CtlResult link = Ctl({"--json", "--timeout-scale", "10", "status"});
    EXPECT_EQ(link.status, 3);
    EXPECT_EQ(link.out, "");
    EXPECT_EQ(link.err, "{\"error\":{\"code\":3,\"text\":\"Vypršel komunikační timeout. EC: "
                        "0024\",\"command\":\"0x24\"}}\n");

    const CtlResult typo = Local({"--json", "sttaus"});
    EXPECT_EQ(typo.status, 64);
    EXPECT_EQ(typo.err, "{\"error\":{\"code\":64,\"text\":\"neznámý příkaz \\\"sttaus\\\". Měli "
                        "jste na mysli \\\"status\\\"?\"}}\n");
    const CtlResult local = Local({"sms-show", "received", "0", "--json"});
    EXPECT_EQ(local.status, 64);
    EXPECT_TRUE(Has(local.err, "{\"error\":{\"code\":64,\"text\":\"Seznam Přijaté nemá zprávu"))
        << local.err;
    EXPECT_EQ(std::count(local.err.begin(), local.err.end(), '\n'), 1);
    // What succeeds is JSON as well.
    EXPECT_EQ(Local({"--json", "modems"}).out, "{\"modems\":[]}\n");
    const CtlResult outputs = Ctl({"--json", "set-outputs", "--set", "5"});
    EXPECT_EQ(outputs.out, "{\"io\":{\"inputs\":[1,0,0,0,0],\"outputs\":[0,0,0,0,1]}}\n");
}

TEST_F(CtlTest, DoRunsItsStepsInOneConnectionAndStopsAtTheFirstFailure) {
    StartSim();
    const std::string file = m_dir.File("a.cfg");
    const CtlResult r = Ctl({"do", "info", "status", "read-config '" + file + "'", "set-time now"});
    EXPECT_EQ(r.status, 0) << r.err;
    const size_t info = r.out.find("Výrobní štítek\n");
    const size_t status = r.out.find("Stav GSM\n");
    const size_t saved = r.out.find("Konfigurace byla uložena");
    ASSERT_NE(saved, std::string::npos) << r.out;
    EXPECT_LT(info, status);
    EXPECT_LT(status, saved);
    EXPECT_TRUE(Has(r.out.substr(saved), "Čas\n"));
    const Codes codes = CommandsToTheEnd();
    EXPECT_EQ(Count(codes, 0x20), 1u); // one connect
    EXPECT_EQ(Count(codes, 0x22), 1u); // one logout
    EXPECT_EQ(Count(codes, 0x86), 1u); // one end of session
    EXPECT_EQ(Codes(codes.end() - 2, codes.end()), (Codes{0x22, 0x86}));
    EXPECT_EQ(Count(codes, 0x28), 10u);
    EXPECT_EQ(Count(codes, 0x31), 1u);

    const std::string missing = m_dir.File("missing.cfg");
    const CtlResult stop = Ctl({"do", "status", "write-config " + missing, "info"});
    EXPECT_EQ(stop.status, 65);
    EXPECT_TRUE(Has(stop.err, "Krok 2 (write-config " + missing + ") skončil se stavem 65."));
    EXPECT_TRUE(Has(stop.out, "Stav GSM\n"));
    EXPECT_FALSE(Has(stop.out, "Výrobní štítek"));
    const CtlResult going = Ctl({"do", "--keep-going", "write-config " + missing, "info"});
    EXPECT_EQ(going.status, 65);
    EXPECT_TRUE(Has(going.out, "Výrobní štítek\n"));

    // Steps change the store of the session, which the link keeps saving meanwhile.
    CSMSMng disk;
    CSMS waiting;
    waiting.SetText("old");
    waiting.AddNumber("+420999");
    for (int i = 0; i < SMS_LIST_MAX; ++i)
        ASSERT_GE(disk.Add(waiting, SMS_TOSEND), 0);
    ASSERT_EQ(disk.Save(), 1);
    ASSERT_TRUE(Unit().AddStoredSms(SimSampleSms(1, GetLocalTime())));
    const CtlResult sms =
        Ctl({"do", "sms-read", "sms-delete tosend 0 1", "sms-send --to 603111222 --text new"});
    EXPECT_EQ(sms.status, 0) << sms.err;
    ASSERT_EQ(disk.Load(), 1);
    EXPECT_EQ(disk.GetCount(SMS_RECEIVED), 1);
    EXPECT_EQ(disk.GetCount(SMS_TOSEND), 3);
    EXPECT_EQ(disk.GetCount(SMS_SENT), 1);
    ASSERT_EQ(Unit().SentMessages().size(), 1u);
    EXPECT_EQ(Unit().SentMessages()[0].number, "603111222");

    // A step that is no command is refused before anything is connected.
    const size_t calls = Unit().RequestCount();
    const CtlResult typo = Ctl({"do", "info", "sttaus"});
    EXPECT_EQ(typo.status, 64);
    EXPECT_TRUE(Has(typo.err, "krok 2 \"sttaus\": neznámý příkaz \"sttaus\". Měli jste na mysli "
                              "\"status\"?"))
        << typo.err;
    EXPECT_EQ(Unit().RequestCount(), calls);
}

TEST_F(CtlTest, ExportsGoToStandardOutputEscapedInEitherEncodingAndFilesNeedForce) {
    StartSim();
    CSMSMng disk;
    CSMS sms;
    std::string text;
    ASSERT_TRUE(tk::Utf8ToCp1250("a\tb\r\nč\\", text));
    sms.SetText(text);
    sms.AddNumber("+420111");
    ASSERT_GE(disk.Add(sms, SMS_RECEIVED), 0);
    ASSERT_EQ(disk.Save(), 1);
    const CtlResult utf8 = Local({"sms-export", "received", "-", "--encoding", "utf8"});
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_EQ(utf8.out, "00:00:00  1.1.2000\t+420111\ta\\tb\\nč\\\\\r\n");
    EXPECT_EQ(Local({"sms-export", "received", "-"}).out,
              "00:00:00  1.1.2000\t+420111\ta\\tb\\n\xE8\\\\\r\n");

    // An existing configuration file is replaced only with --force.
    const std::string file = m_dir.File("unit.cfg");
    WriteFileBytes(file, {1, 2, 3});
    const CtlResult kept = Ctl({"read-config", file});
    EXPECT_EQ(kept.status, 69);
    EXPECT_TRUE(Has(kept.err, "--force"));
    EXPECT_EQ(Unit().RequestCount(), 0u);
    EXPECT_EQ(ReadFileBytes(file), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Ctl({"read-config", file, "--force"}).status, 0);
    EXPECT_EQ(ReadFileBytes(file).size(), 1667u);
}

// Outputs that are no files: /dev/null swallows the export and stays a device (no "file
// exists" refusal either), a terminal shows escape codes of a message as spaces while a pipe
// gets the text unchanged.
TEST_F(CtlTest, ExportsToDevicesAndTerminalsNeitherReplaceThemNorPassEscapeCodes) {
    {
        CSMSMng store;
        CSMS sms;
        sms.SetText("\x1b]0;owned\x07red\x1b[31m");
        sms.AddNumber("\x1b[2J123");
        ASSERT_GE(store.AddAndShow(sms, SMS_RECEIVED), 0);
    }
    const CtlResult toNull = Local({"sms-export", "received", "/dev/null"});
    EXPECT_EQ(toNull.status, 0) << toNull.err;
    struct stat st {};
    ASSERT_EQ(::lstat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    const CtlResult piped = Local({"sms-export", "received", "-"});
    EXPECT_TRUE(Has(piped.out, "\x1b]0;owned\x07red\x1b[31m")) << piped.out;
    PtyPair tty;
    CtlProcess p({"--folder", m_dir.Path(), "sms-export", "received", "-"}, {}, tty.SlavePath(),
                 true);
    const CtlResult onTerminal = p.Wait();
    EXPECT_EQ(onTerminal.status, 0);
    std::string shown;
    for (;;) {
        struct pollfd fd = {tty.Master(), POLLIN, 0};
        char buf[512];
        const ssize_t n = ::poll(&fd, 1, 200) > 0 ? ::read(tty.Master(), buf, sizeof buf) : 0;
        if (n <= 0)
            break;
        shown.append(buf, static_cast<size_t>(n));
    }
    EXPECT_TRUE(Has(shown, "red")) << shown;
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\x07'), std::string::npos) << shown;
}

// `do` parses its steps in memory that grows with their number, not its square, and refuses
// more steps than a connection needs.
TEST_F(CtlTest, DoRefusesTooManyStepsAndParsesTheAllowedOnesInLinearMemory) {
    std::vector<std::string> args = {"--folder", m_dir.Path(), "do"};
    // Long steps (the padding is blanks between the words) make a copy per step visible: in
    // linear memory 300 of them take about 9 MB, with a copy of the earlier ones in each
    // over 50 MB.
    const std::string step = "sms-list" + std::string(3000, ' ') + "received";
    for (int i = 0; i < 300; ++i)
        args.push_back(step);
    const CtlResult allowed = RunCtl(args);
    EXPECT_EQ(allowed.status, 0) << allowed.err.substr(0, 300);
    size_t lists = 0;
    for (size_t at = 0; (at = allowed.out.find("Přijaté", at)) != std::string::npos; ++at)
        ++lists;
    EXPECT_EQ(lists, 300u);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) // their shadow memory
    struct rusage usage {};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0); // the only child so far
    EXPECT_LT(usage.ru_maxrss, 24 * 1024) << "KiB at the peak";
#endif

    args.push_back("sms-list");
    const CtlResult tooMany = RunCtl(args);
    EXPECT_EQ(tooMany.status, 64);
    EXPECT_TRUE(Has(tooMany.err, "nejvýše 300")) << tooMany.err;
    EXPECT_TRUE(tooMany.out.empty());
}

// A controlling terminal is no port: taking it would put the user's own terminal in raw mode.
TEST_F(CtlTest, TheControllingTerminalIsRefusedAsAPort) {
    const CtlResult r = Local({"--port", "/dev/tty", "info"});
    EXPECT_EQ(r.status, 64);
    EXPECT_TRUE(Has(r.err, "je terminál, ze kterého program běží")) << r.err;
}

// A damaged SMS.dat is the only copy of what it held: a session that changes no message
// leaves it byte for byte, and nothing is copied for a read.
TEST_F(CtlTest, ADamagedStoreIsLeftAsItIsByASessionThatChangesNoMessage) {
    StartSim();
    {
        CSMSMng store;
        CSMS sms;
        sms.SetText("keep me");
        sms.AddNumber("123");
        ASSERT_GE(store.AddAndShow(sms, SMS_SENT), 0);
    }
    std::vector<uint8_t> damaged = ReadFileBytes(CSMSMng::FilePath());
    damaged.resize(damaged.size() - 3);
    WriteFileBytes(CSMSMng::FilePath(), damaged);
    const CtlResult info = Ctl({"info"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(ReadFileBytes(CSMSMng::FilePath()), damaged);
    for (const std::string& name : ListFolder(m_dir.File("Data")))
        EXPECT_EQ(name.find("SMS.dat.damaged"), std::string::npos) << name;
}

// A trace file or SMS store planted as a link is refused, and said so, without writing to
// its target.
TEST_F(CtlTest, PlantedLinksAreRefusedWithTheirNameAndTheirTargetsKept) {
    StartSim();
    const std::string victim = m_dir.File("victim.txt");
    WriteFileBytes(victim, {'k', 'e', 'e', 'p'});
    ASSERT_EQ(::symlink(victim.c_str(), m_dir.File("sercom.log").c_str()), 0);
    const CtlResult r = Ctl({"--trace", "info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "sercom.log: je to symbolický odkaz")) << r.err;
    EXPECT_EQ(ReadFileText(victim), "keep");

    // A session that changed no message leaves the store as it was (perhaps not there at all).
    ::mkdir(m_dir.File("Data").c_str(), 0700);
    ::unlink(CSMSMng::FilePath().c_str());
    ASSERT_EQ(::symlink(victim.c_str(), CSMSMng::FilePath().c_str()), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"sms-list"}, {"sms-delete", "received", "0"}}) {
        const CtlResult refused = Local(args);
        EXPECT_NE(refused.status, 0) << args[0];
        EXPECT_TRUE(Has(refused.err, "SMS.dat: je to symbolický odkaz")) << refused.err;
    }
    EXPECT_EQ(ReadFileText(victim), "keep");
}

// `find` over the ports named: one line per port with what answered there, the same as an
// array for scripts, and --save stores the port of the one unit as `settings` would.
TEST_F(CtlTest, FindNamesWhatAnswersOnEachPortAndSavesTheOnlyUnit) {
    StartSim();
    PtyPair silent;
    const std::string unit = m_sim->SlavePath();
    const std::string missing = m_dir.File("ttyUSB7");
    const CtlResult found = Local({"find", unit, silent.SlavePath(), missing});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, unit + ": jednotka TK530 virtual unit (výrobní číslo 00012345)\n" +
                             silent.SlavePath() + ": nic neodpovídá\n" + missing +
                             ": zařízení neexistuje\n");

    const CtlResult json = Local({"--json", "find", missing, unit});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out, "[{\"port\":\"" + missing +
                            "\",\"verdict\":\"missing\",\"name\":null,\"serial\":null,\"text\":"
                            "\"zařízení neexistuje\"},{\"port\":\"" +
                            unit +
                            "\",\"verdict\":\"found\",\"name\":\"TK530 virtual unit\",\"serial\":"
                            "\"00012345\",\"text\":\"jednotka TK530 virtual unit (výrobní číslo "
                            "00012345)\"}]\n");

    // Nothing answering is a failure for scripts, and nothing is saved.
    const CtlResult none = Local({"find", "--save", silent.SlavePath(), missing});
    EXPECT_EQ(none.status, 69);
    EXPECT_TRUE(Has(none.err, "neodpověděla")) << none.err;
    EXPECT_FALSE(FileExists(m_dir.File("Profile.dat")));

    const CtlResult saved = Local({"find", "--save", silent.SlavePath(), unit});
    EXPECT_EQ(saved.status, 0) << saved.err;
    CProfile profile;
    ASSERT_EQ(profile.Load(), PROFILE_OK);
    EXPECT_EQ(profile.PortPath(), unit);
}

// Two units answer: which one the user means cannot be guessed, so --save keeps the profile.
TEST_F(CtlTest, FindRefusesToSaveWhenTwoUnitsAnswer) {
    StartSim();
    CSimServer second;
    ASSERT_TRUE(second.Start());
    CProfile before;
    ASSERT_EQ(before.SetPortPath("/dev/ttyS3"), PROFILE_OK);
    ASSERT_EQ(before.Save(), PROFILE_OK);
    const std::vector<uint8_t> bytes = ReadFileBytes(m_dir.File("Profile.dat"));

    const CtlResult r = Local({"find", "--save", m_sim->SlavePath(), second.SlavePath()});
    second.Stop();
    EXPECT_EQ(r.status, 69);
    EXPECT_TRUE(Has(r.err, "více portech (" + m_sim->SlavePath() + ", " + second.SlavePath()))
        << r.err;
    EXPECT_TRUE(Has(r.out, second.SlavePath() + ": jednotka")) << r.out;
    EXPECT_EQ(ReadFileBytes(m_dir.File("Profile.dat")), bytes);
}
