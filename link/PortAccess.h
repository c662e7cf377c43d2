// A serial device the user may not open: the group that owns it, and the hint, given once per
// user, how to join it. The program never changes groups itself; that is the administrator's.
#pragma once

#include "link/LinkError.h"

#include <functional>
#include <string>

class CModemMng;
class CProfile;

struct PortGroupHint {
    std::string device;  // the device path
    std::string group;   // the group that owns it ("dialout")
    std::string user;    // the user running the program
    bool joined = false; // already listed in the group, but not in this login's groups
};

// True, with the facts in `hint`, when `device` exists and this process may not read and
// write it, and its group would give the right (the device's group may read and write it).
bool PortNeedsGroup(const std::string& device, PortGroupHint& hint);

// The name of the user running the program (its number when it has none). Safe to call from
// several threads at once, as the search for the unit does.
std::string CurrentUserName();

// What a look at a device path, without opening it, says about using it as a port.
enum DeviceState {
    DEVICE_USABLE = 0,        // a character device this user may read and write
    DEVICE_GONE = 1,          // no such device (an unplugged adapter's by-id link dangles)
    DEVICE_NO_PERMISSION = 2, // this user may not read and write it
    DEVICE_NOT_SERIAL = 3,    // there, but not a character device
    DEVICE_OTHER = 4,         // stat failed otherwise; `err` says why
};
// An empty path counts as gone. `err` (optional) receives the errno of a failed look.
DeviceState CheckDevice(const std::string& device, int* err = nullptr);

// The Czech hint for the user.
std::string PortGroupHintText(const PortGroupHint& hint);

// True the first time for this user (and marks the hint as given, in
// $XDG_STATE_HOME/tk530 or ~/.local/state/tk530); false afterwards.
bool TakePortGroupHint();

// The device a connect opens: the profile's port for local access, the chosen modem's device
// for remote access; empty when no modem of the list is chosen.
std::string LinkDevice(const CProfile& profile, const CModemMng& modems);

// Whether the hint follows a link's error: only when the port could not be opened
// (LE_PORT_OPEN), `needsGroup` finds that joining the device's group is the remedy, and the
// hint was not given to this user before (TakePortGroupHint marks it given). `needsGroup` is
// PortNeedsGroup; tests give their own, as they cannot be refused a device.
using PortGroupCheck = std::function<bool(const std::string& device, PortGroupHint& hint)>;
bool ShouldGivePortGroupHint(LinkResult linkError, const std::string& device, PortGroupHint& hint,
                             const PortGroupCheck& needsGroup = PortNeedsGroup);
