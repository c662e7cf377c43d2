#include "link/LinkError.h"

#include "base/Texts.h"

#include <cstdio>

std::string_view LinkErrorText(LinkResult code) {
    if (code == LE_SMS_NOT_STORED)
        return GetText(TXT_SMS_SAVE_ERROR);
    if (code == LE_BACKUP_FAILED)
        return "Konfiguraci jednotky se nepodařilo zálohovat do složky Data/Backups, proto "
               "nebylo nic zapsáno.";
    if (code < LE_SERIAL || code > LE_AT_REPLY)
        return {};
    return GetText(TXT_LINK_ERROR_BASE + code);
}

std::string LinkErrorMessage(LinkResult code, uint32_t command) {
    std::string text(LinkErrorText(code));
    if (command == 0)
        return text;
    char ec[32];
    std::snprintf(ec, sizeof ec, " EC: %04X", command);
    return text + ec;
}
