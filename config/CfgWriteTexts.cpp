#include "config/CfgWriteTexts.h"

#include "base/Cp1250.h"
#include "status/DevStatus.h"

#include <cstring>

std::string CfgUnitName(const CDevIdent& id) {
    std::string name =
        tk::Cp1250ToUtf8(std::string_view(id.m_szName, strnlen(id.m_szName, sizeof id.m_szName)));
    if (name.empty())
        name = "TK530";
    return name + " (výrobní číslo " + FormatSerial(id.m_nSerNum) + ")";
}

std::string CfgWriteQuestion(const CDevIdent& id) {
    return "Zapsat do jednotky " + CfgUnitName(id) + " tyto změny?";
}

std::string CfgUnchangedText(const CDevIdent& id) {
    return "Jednotka " + CfgUnitName(id) + " už má tuto konfiguraci. Nic nebylo zapsáno.";
}

std::string CfgWrittenText(const CDevIdent& id, intptr_t changes) {
    std::string text = "Konfigurace zapsána do jednotky " + CfgUnitName(id);
    if (changes >= 0)
        text += ", počet změn: " + std::to_string(changes);
    return text + ".";
}
