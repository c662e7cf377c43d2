// The rules of the communication settings and remote access dialogs that need no widget:
// when their buttons may be pressed, which entry is selected after a delete, how a serial
// device is offered in the port boxes, and what a modem probe found.
#pragma once

#include "link/ModemList.h"
#include "link/SerialPorts.h"

#include <cstddef>
#include <string>
#include <vector>

// The shortest PIN the unit takes.
inline constexpr size_t PIN_MIN_LENGTH = 4;

// "Spojit" of the remote access dialog: a modem chosen, a number given and a PIN of four
// characters or more.
bool CanConnectRemote(bool modemSelected, bool numberEmpty, size_t pinLength);

// The buttons beside the connection list: "Přidat" while the list has room for another
// descriptor, "Odstranit" and "Nastavit" while an entry is selected.
struct ConnListButtons {
    bool add = false;
    bool del = false;
    bool set = false;
};
ConnListButtons ConnListButtonsFor(int count, int selected);

// The entry selected after entry `deleted` of a list of `countBefore` entries was removed:
// the one that took its place, the new last one when the last was removed, -1 when the list
// is now empty (or nothing was removed).
int SelectionAfterDelete(int deleted, int countBefore);

// The profile's modem index once modem `deleted` has left the list: the same modem stays
// chosen (its index moves up), the removed one is no longer chosen.
int ModemIndexAfterDelete(int chosen, int deleted);

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
