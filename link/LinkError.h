// The texts of the link's error codes (the codes themselves are base/LinkResult.h).
#pragma once

#include "base/LinkResult.h"

#include <cstdint>
#include <string>
#include <string_view>

// The message text of a link error (texts 200-213, 103 for LE_SMS_NOT_STORED, and its own
// text for LE_BACKUP_FAILED), UTF-8;
// empty for codes without one.
std::string_view LinkErrorText(LinkResult code);

// The message shown for an error: the text alone when `command` is 0, else the text followed
// by " EC: " and the command code in four upper-case hexadecimal digits.
std::string LinkErrorMessage(LinkResult code, uint32_t command);
