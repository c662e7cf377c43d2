// The rules of the communication settings and remote access dialogs that need no widget:
// when their buttons may be pressed and which entry is selected after a delete. How a serial
// device is offered in the port boxes and what a modem probe found are the link's
// (link/PortRules.h).
#pragma once

#include <cstddef>

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
