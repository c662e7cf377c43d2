// The rules of the port boxes and the modem probe that need no widget: how a serial device is
// offered for choosing and stored when chosen, and what a modem probe found, in Czech.
#pragma once

#include "link/ModemList.h"
#include "link/SerialPorts.h"

#include <string>
#include <vector>

// One entry of a port box: what the user sees and what is stored when it is chosen.
struct PortChoice {
    std::string m_strText; // "FTDI FT232R (ttyUSB0) — /dev/ttyUSB0"
    std::string m_strPath; // the path to store, /dev/serial/by-id/... when there is one
};

// The fixed short names COM1 to COM4, then every serial device found, in the scan's order.
std::vector<PortChoice> PortChoices(const std::vector<SerialPortInfo>& ports);

// The port stored for the text of a port box: the chosen device's path when the text is one
// of the device entries, otherwise the text as typed.
std::string PortFromBoxText(const std::string& text, const std::vector<PortChoice>& choices);

// What the modem probe of the modem settings found, in Czech, for the result of ProbeModem.
std::string ProbeResultText(int result, const ModemProbe& probe, const std::string& reason);
