// Finding the modem for the modem settings: the machine's serial devices with names a user
// recognises, and a probe of ONE device the user picked, to suggest the modem's name. Ports
// are never probed in bulk: the unit itself, or another device, may sit on one of them and
// hang on unexpected commands.
#pragma once

#include "link/ModemPort.h"

#include <string>
#include <vector>

struct SerialPortInfo {
    std::string m_strPath;        // the path to store: /dev/serial/by-id/... when there is one
    std::string m_strDevice;      // the device node, /dev/ttyUSB0
    std::string m_strDescription; // vendor and model, else the device name ("ttyS0")
};

// Where the system keeps what the list is built from (tests point these at a folder of
// their own).
struct SerialScanRoots {
    std::string m_strDev = "/dev";
    std::string m_strSys = "/sys";
    std::string m_strUdev = "/run/udev/data";
};

// The serial devices of the machine, sorted by device name: USB and other hardware ports,
// and legacy ttyS ports only where a UART is behind them. Nothing is opened except, on
// kernels that do not show the UART type in sysfs, a ttyS node to ask for it.
std::vector<SerialPortInfo> ListSerialPorts(const SerialScanRoots& roots = {});

struct ModemProbe {
    std::string m_strName;               // suggested display name, at most 31 characters
    std::string m_strModel;              // answer to AT+CGMM, empty if none
    std::vector<std::string> m_identity; // lines of the answer to ATI
    bool m_bGsm = false;                 // it answered AT+CGMM: a GSM (3GPP) modem
};

// Talks to the modem on `device`: AT (until OK, as the dialler does), ATI and AT+CGMM, and
// suggests a name (the model, else the first line of ATI, else the device name). Results
// as those of CTAPIMng::MakeCall: 0, DIALERR_DEVICE (with `reason`), DIALERR_NO_OK,
// DIALERR_UNDEFINED_REPLY, DIALERR_CANCELLED, DIALERR_LINE_DOWN.
int ProbeModem(const std::string& device, ModemProbe* probe, std::string* reason,
               const HayesTimeouts& timeouts = {}, const CancelCheck& cancel = {});
