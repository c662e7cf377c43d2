// The program folder: where the program keeps its own files ("Profile.dat", "sercom.log" and
// the Data subfolder). Found once, used everywhere, by the window program and the
// command-line companion alike.
//
// A folder that travels with its data (the programs and their files copied from PC to PC) is
// the program folder: the executable's folder, when the user can write there or it already
// holds the program's files. An installed program lives in a folder the user cannot (or must
// not) write; its files then go to the user's data folder, $XDG_DATA_HOME/tk530
// (~/.local/share/tk530), created readable by the user only.
#pragma once

#include <string>
#include <string_view>

namespace tk {

struct ProgramFolderInfo {
    std::string path;      // the program folder in use, without a trailing slash
    bool portable = false; // the executable's own folder
    bool given = false;    // chosen by SetProgramFolder (tk530ctl --folder, tests)
    // Why the user's data folder could not be created ("<path>: <system reason>"); empty
    // when the folder is there. The files then fail to save with the same cause.
    std::string error;
};

// Where the environment and the executable's folder put the program folder:
// `executableFolder` when it holds "Profile.dat" or "Data", or when it is writable and not a
// "bin"/"sbin" folder (an installed program's, even where root may write); otherwise
// `<xdgDataHome>/tk530`, or `<home>/.local/share/tk530` when xdgDataHome is empty or
// relative. That folder (and any missing parent) is created 0700.
ProgramFolderInfo ResolveProgramFolder(const std::string& executableFolder,
                                       const std::string& xdgDataHome, const std::string& home);

// The folder of the running executable, without a trailing slash.
std::string ExecutableFolder();

// The program folder in use and how it was chosen (for the about box and `settings`).
ProgramFolderInfo ProgramFolderInUse();

// ProgramFolderInUse().path.
std::string ProgramFolder();

// Makes another folder the program folder for the rest of the process. For tests and for
// tools that serve a control panel installed elsewhere; the control panel never calls it.
void SetProgramFolder(std::string folder);

// ProgramFolder() + "/" + name.
std::string ProgramFile(std::string_view name);

// The Data subfolder, which holds "Connection.dat", "SMS.dat" and the modem list.
std::string DataFolder();

// DataFolder() + "/" + name.
std::string DataFile(std::string_view name);

} // namespace tk
