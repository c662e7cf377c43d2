// The commands of tk530ctl. Each takes the parsed command line and returns the exit status.
#pragma once

#include "tools/cli/CtlConfig.h"

#include <cstdint>
#include <string>
#include <vector>

struct CfgImage;

namespace ctl {

// Exit statuses besides 0 and the link error codes 1-14.
inline constexpr int EXIT_USAGE = 64;    // the command line or a value in it is wrong
inline constexpr int EXIT_FILE = 65;     // a file is not valid, cannot be written or is in use
inline constexpr int EXIT_INTERNAL = 70; // the link engine could not start
inline constexpr int EXIT_REFUSED = 69;  // refused in the current state (a full list, a file
                                         // that exists), nothing was changed
inline constexpr int EXIT_PIN_GIVEN_UP = 100;
inline constexpr int EXIT_INTERRUPTED = 130; // Ctrl+C (or SIGTERM, SIGHUP), after a clean end

struct Args {
    std::string command;

    // Connection
    std::string port;
    std::string modem;
    std::string number;
    std::string pin;
    bool trace = false;
    uint32_t retries = 0;
    uint32_t timeoutScale = 100;

    bool json = false;

    // Command arguments
    std::string file;
    bool verify = false;
    std::string setChannels;
    std::string clearChannels;
    std::string time;
    std::vector<std::string> to; // one recipient each
    std::string text;            // "-": standard input
    std::string list;
    bool append = false;
    bool overwrite = false;
    bool force = false;              // replace an existing file
    std::string encoding = "cp1250"; // of exports: cp1250 or utf8
    std::vector<int> indices;        // of messages in a list
    std::string name;
    std::string device;
    std::string init;
    std::string bearer;
    bool gsm = false;
    std::string modemRef;
    uint32_t seconds = 0; // 0: until interrupted
    uint32_t giveUp = 60; // monitor: seconds without an answer before it gives up; 0: never

    // settings
    std::string setPort;
    std::string setTrace; // on, off
    bool setLocal = false;
    bool setRemote = false;
    std::string setModem;

    // find
    std::vector<std::string> ports; // empty: the machine's serial devices
    bool save = false;

    // do: the steps, each a command with its arguments
    std::vector<Args> steps;
    std::vector<std::string> stepTexts;
    bool keepGoing = false;

    ConfigArgs config; // config ..., backups, write-config --force/--dry-run
};

// Runs one command (and `do`, its steps in one session); the exit status. With --json,
// what went to standard error is one error object at the end.
int RunCommand(const Args& args);

// Connects, reads the unit's configuration (keeping the usual backup) and disconnects. 0 with
// the image, or the exit status of the failure (reported).
int ReadUnitConfiguration(const Args& args, CConsole& console, CfgImage& image);

} // namespace ctl
