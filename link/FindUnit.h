// Finding the port the unit is on: the line check's identification exchange on every
// candidate port, several ports at once, each with a short wait, so that an installer with a
// USB adapter, a built-in port and a GSM modem on the laptop need not guess. A port that
// another program holds or that the user may not open is named as such and left alone.
//
// Modems of the modem list are never candidates: a modem takes the request for garbage at
// best, and a dialler using it would lose its line.
#pragma once

#include "link/LineCheck.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CModemMng;
struct SerialPortInfo;

// The wait for one port: a unit answers its identification within a few hundred
// milliseconds at 9600 Bd, so 1.5 s tells "nothing there" without making the user wait.
inline constexpr int64_t FIND_WAIT_MS = 1500;
// Ports checked at once. Each port is its own device, so they do not disturb each other; the
// bound only keeps a machine with dozens of ports from starting dozens of threads.
inline constexpr size_t FIND_MAX_PARALLEL = 8;

struct FindOptions {
    int64_t nWaitMs = FIND_WAIT_MS;
    size_t nMaxParallel = FIND_MAX_PARALLEL; // 0 counts as 1
};

// Called as each port's verdict is known, on the thread that checked it (several threads
// may call at once): the port's index in the list and its result.
using FindProgress = std::function<void(size_t index, const LineCheckResult& result)>;

// The ports to search when the user names none: every serial device of `ports` (as the port
// picker lists them), by-id paths first, then the plain device nodes, each device once, and
// none that a modem of `modems` uses.
std::vector<std::string> FindCandidates(const std::vector<SerialPortInfo>& ports,
                                        const CModemMng& modems);

// The same list with a second name of a device already listed left out (the by-id link and
// the node it points to, "COM1" and /dev/ttyS0): one device is opened by one check only.
// A name that leads to no device (a network port, a missing device) is kept as it stands.
std::vector<std::string> DistinctPorts(const std::vector<std::string>& ports);

// Checks every port of `ports` and returns a result per port, in the order of `ports`
// (m_strDevice is the device the name led to). Blocking: call it from a worker thread. After
// `cancel` the checks running give up within a tenth of a second and the ports not yet
// started are not opened; all those get LINE_OTHER with detail "zrušeno".
std::vector<LineCheckResult> FindUnit(const std::vector<std::string>& ports,
                                      const FindOptions& options = {},
                                      const CancelCheck& cancel = {},
                                      const FindProgress& progress = {});

// True when the check was cut short by the cancel.
bool FindCancelled(const LineCheckResult& result);

// The verdict as one short Czech phrase for a list line, e.g. "jednotka Brána (výrobní číslo
// 00004321)", "nic neodpovídá", "používá jiný program: minicom (pid 812)".
std::string FindVerdictText(const LineCheckResult& result);
// The verdict as a key for scripts: "found", "silent", "other_device", "busy",
// "no_permission", "missing", "error", "cancelled".
const char* FindVerdictKey(const LineCheckResult& result);
