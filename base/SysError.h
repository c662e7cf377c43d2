// The system's error numbers (errno) in the program's language. The C library names them in
// English whatever the user reads; every reason that reaches a window or tk530ctl goes
// through here instead.
#pragma once

#include <string>

namespace tk {

// A short Czech phrase for `err` ("zařízení neexistuje"), lower case, without a final stop;
// an error number the table does not know reads "systémová chyba N".
std::string SystemErrorText(int err);

} // namespace tk
