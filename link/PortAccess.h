// A serial device the user may not open: the group that owns it, and the hint, given once per
// user, how to join it. The program never changes groups itself; that is the administrator's.
#pragma once

#include "link/LinkError.h"

#include <string>
#include <sys/types.h>
#include <vector>

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

// Other programs that hold this character device open: flock and TIOCEXCL only keep out
// later openers. Found through /proc/<pid>/fd; this process and the far end of a
// pseudo-terminal (the process holding its master) do not count. Empty when /proc cannot be
// read.
struct PortHolder {
    int pid = 0;
    std::string name; // /proc/<pid>/comm
};
std::vector<PortHolder> FindPortHolders(dev_t device, const std::string& procRoot = "/proc");
// "ModemManager (pid 812), minicom (pid 2001)"; empty when there is no holder.
std::string PortHolderList(const std::vector<PortHolder>& holders);
// "port používá ModemManager (pid 812)"; empty when there is no holder.
std::string PortHoldersText(const std::vector<PortHolder>& holders);

// A port that could not be opened, as the opener found it at that moment. It travels with the
// link error to whoever explains the failure (the progress dialog, the group hint, the line
// check), so nobody looks at the device again later, when it may have changed.
struct PortOpenFailure {
    std::string device;              // the device path; empty when no open failed
    int err = 0;                     // the system's error number (0: the settings did not take)
    std::vector<PortHolder> holders; // err EBUSY: the programs holding the device
    bool groupHelps = false;         // err EACCES: joining `group` would let the user in
    PortGroupHint group;             // groupHelps: the device's group and the user
};

// The record of a failed open of `device` with `err`: for EBUSY the holders (those given, or
// looked up through `fd` or the path when none were), for EACCES/EPERM whether the device's
// group is the remedy. `fd` is the descriptor that was opened, or -1.
PortOpenFailure DescribeOpenFailure(const std::string& device, int err, int fd = -1,
                                    std::vector<PortHolder> holders = {});

// Whether the hint follows a link's error: only when the port could not be opened
// (LE_PORT_OPEN), joining the device's group is the remedy, and the hint was not given to this
// user before (TakePortGroupHint marks it given). `hint` receives the facts to show.
bool ShouldGivePortGroupHint(LinkResult linkError, const PortOpenFailure& failure,
                             PortGroupHint& hint);
