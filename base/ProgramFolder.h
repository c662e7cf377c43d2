// The program folder: where the executable lives, and with it every file of the program's own
// ("Profile.dat", "sercom.log", and the Data subfolder). Found once, used everywhere.
#pragma once

#include <string>
#include <string_view>

namespace tk {

// The folder of the running executable, without a trailing slash.
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
