// tk530-sim: a virtual TK530 unit on a pseudo-terminal, for trying the control panel without
// a unit, for demonstrations and for tests. Prints the device to open as its first line.
#include "tools/sim/SimServer.h"
#include "tools/sim/SimState.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

void LogLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"A virtual TK530 unit on a pseudo-terminal. Prints the device path to open "
                 "as its first line of output and serves until interrupted (SIGINT, SIGTERM). "
                 "SIGUSR1 mutes the unit (requests arrive, nothing answers, as with the cable "
                 "pulled at the unit's end); SIGUSR2 lets it answer again."};
    app.set_version_flag("--version", std::string("tk530-sim ") + TK530_VERSION);
    std::string link;
    std::string pin = "1234";
    std::string stateFile;
    std::string dial = "connect";
    std::vector<std::string> faultTexts;
    bool modem = false;
    bool verbose = false;
    bool sendFail = false;
    bool sendRefuse = false;
    uint32_t blockAfter = 3;
    uint32_t badPinCode = 3;
    uint32_t smsCount = 0;
    uint32_t baud = 0;
    uint32_t sendPolls = 2;
    uint32_t guardMs = 1000;
    uint32_t connectDelayMs = 1000;
    uint32_t hangUpAfter = 0;
    uint16_t cfgType = 1;

    app.add_option("--link", link, "Make PATH a symbolic link to the device")->option_text("PATH");
    app.add_flag("--modem", modem,
                 "A Hayes modem in front of the unit: dial it with ATD; the unit then requires "
                 "the PIN login");
    app.add_option("--pin", pin, "Access PIN checked by the login (default 1234)")
        ->check([](const std::string& v) {
            return v.size() <= 8 ? std::string() : std::string("at most 8 characters");
        });
    app.add_option("--block-after", blockAfter,
                   "Wrong PINs in a row after which every login is blocked; 0 = never "
                   "(default 3)");
    app.add_option("--bad-pin-code", badPinCode,
                   "Confirmation code that refuses a wrong PIN: 3 (default) or 4")
        ->check(CLI::IsMember({3, 4}));
    app.add_option("--sms", smsCount, "Preload N stored SMS messages")->option_text("N");
    app.add_option("--fault", faultTexts,
                   "Fault CMD:KIND[:COUNT[:AFTER]] (repeatable). CMD: hex code (28), name "
                   "(READ_CFG) or *. KIND: noanswer, badsum, noise[=N], confirm=N, "
                   "echo[=offset|length], delay=MS, hangup. COUNT: requests hit (all when "
                   "left out); AFTER: matching requests let through first")
        ->option_text("FAULT");
    app.add_option("--baud", baud,
                   "Write replies at the pace of an 8N1 line of this speed (9600: 960 bytes "
                   "per second); 0 = at once (default)");
    app.add_option("--state", stateFile,
                   "Load the unit's state from FILE (when it exists) and save it there on exit")
        ->option_text("FILE");
    app.add_flag("--verbose", verbose, "Log each request and reply on standard error");
    app.add_option("--send-polls", sendPolls,
                   "Send-state polls answered 'in progress' after each SMS (default 2)");
    app.add_flag("--send-fail", sendFail, "Sending an SMS ends as failed");
    app.add_flag("--send-refuse", sendRefuse, "Refuse every SMS handed over for sending");
    app.add_option("--cfg-type", cfgType, "Device type code of the type reply (default 1)");
    app.add_option("--dial", dial, "Result of a dial: connect, busy, no-carrier, no-answer")
        ->check(CLI::IsMember({"connect", "busy", "no-carrier", "no-answer"}));
    app.add_option("--connect-delay", connectDelayMs,
                   "Milliseconds from ATD to its result (default 1000)");
    app.add_option("--guard", guardMs, "Escape guard time in milliseconds (default 1000)");
    app.add_option("--hangup-after", hangUpAfter,
                   "The modem drops the call after N answered frames; 0 = never")
        ->option_text("N");
    CLI11_PARSE(app, argc, argv);

    std::vector<SimFault> faults;
    for (const std::string& text : faultTexts) {
        SimFault f;
        std::string error;
        if (!ParseSimFault(text, f, &error)) {
            std::fprintf(stderr, "tk530-sim: %s\n", error.c_str());
            return 2;
        }
        faults.push_back(f);
    }

    SimServerOptions options;
    options.modem = modem;
    options.baud = baud;
    options.linkPath = link;
    options.modemOptions.guardMs = guardMs;
    options.modemOptions.connectDelayMs = connectDelayMs;
    options.modemOptions.hangUpAfterFrames = hangUpAfter;
    options.modemOptions.dialResult = dial == "busy"         ? SimDialResult::Busy
                                      : dial == "no-carrier" ? SimDialResult::NoCarrier
                                      : dial == "no-answer"  ? SimDialResult::NoAnswer
                                                             : SimDialResult::Connect;
    if (verbose)
        options.log = LogLine;

    // The signals are taken by sigtimedwait below, in this thread only.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // whoever reads the device path may stop listening

    CSimServer server(options);
    CVirtualUnit& unit = server.Unit();
    if (!stateFile.empty() && Exists(stateFile)) {
        SimUnitState state = unit.State();
        std::string error;
        if (!LoadSimState(stateFile, state, &error) || !unit.SetState(state)) {
            std::fprintf(stderr, "tk530-sim: %s\n", error.c_str());
            return 2;
        }
    }
    // Options given on the command line win over the state file.
    if (app.count("--pin"))
        unit.SetPin(pin);
    if (app.count("--block-after"))
        unit.SetBlockAfter(blockAfter);
    unit.SetBadPinCode(static_cast<uint8_t>(badPinCode));
    if (app.count("--send-polls") || sendFail || sendRefuse) {
        SimSendOptions send = unit.SendOptions();
        if (app.count("--send-polls"))
            send.pollsInProgress = sendPolls;
        send.fail = send.fail || sendFail;
        send.refuse = send.refuse || sendRefuse;
        unit.SetSendOptions(send);
    }
    if (app.count("--cfg-type")) {
        SimIdent ident = unit.Ident();
        ident.cfgType = cfgType;
        unit.SetIdent(ident);
    }
    const SysTime now = unit.Clock();
    for (uint32_t i = 1; i <= smsCount; ++i)
        unit.AddStoredSms(
            SimSampleSms(static_cast<int>(i), AddSeconds(now, -60 * int64_t{smsCount - i + 1})));
    for (const SimFault& f : faults)
        unit.AddFault(f);

    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "tk530-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);

    for (;;) {
        const struct timespec wait = {0, 200 * 1000 * 1000};
        const int sig = sigtimedwait(&signals, nullptr, &wait);
        if (sig == SIGUSR1 || sig == SIGUSR2) {
            unit.SetMuted(sig == SIGUSR1);
            if (verbose)
                LogLine(sig == SIGUSR1 ? "muted" : "answering again");
            continue;
        }
        if (sig > 0)
            break;
        if (server.IsHungUp()) {
            // The line was hung up on purpose (a fault): serve on a new one.
            if (!server.Reopen(&error)) {
                std::fprintf(stderr, "tk530-sim: %s\n", error.c_str());
                server.Stop();
                return 1;
            }
            std::printf("%s\n", server.SlavePath().c_str());
            std::fflush(stdout);
        }
    }
    server.Stop();
    if (!stateFile.empty() && !SaveSimState(stateFile, unit.State(), &error)) {
        std::fprintf(stderr, "tk530-sim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
