#include "connections/ComSetRules.h"

#include "connections/ConnectDsc.h"

#include <cstring>

bool CanConnectRemote(bool modemSelected, bool numberEmpty, size_t pinLength) {
    return modemSelected && !numberEmpty && pinLength >= PIN_MIN_LENGTH;
}

ConnListButtons ConnListButtonsFor(int count, int selected) {
    ConnListButtons b;
    // A 101st descriptor would be refused by the list after the item dialog was filled in.
    b.add = count < CONNECT_MAX;
    b.del = count > 0 && selected >= 0 && selected < count;
    b.set = b.del;
    return b;
}

int SelectionAfterDelete(int deleted, int countBefore) {
    const int countAfter = countBefore - 1;
    if (deleted < 0 || deleted >= countBefore || countAfter <= 0)
        return -1;
    return deleted < countAfter ? deleted : countAfter - 1;
}

int ModemIndexAfterDelete(int chosen, int deleted) {
    if (chosen < 0 || deleted < 0 || chosen == deleted)
        return -1;
    return chosen > deleted ? chosen - 1 : chosen;
}

std::vector<PortChoice> PortChoices(const std::vector<SerialPortInfo>& ports) {
    std::vector<PortChoice> choices;
    for (const char* com : {"COM1", "COM2", "COM3", "COM4"})
        choices.push_back({com, com});
    for (const SerialPortInfo& port : ports) {
        const std::string& device = port.m_strDevice.empty() ? port.m_strPath : port.m_strDevice;
        choices.push_back({port.m_strDescription + " \u2014 " + device,
                           port.m_strPath.empty() ? device : port.m_strPath});
    }
    return choices;
}

std::string PortFromBoxText(const std::string& text, const std::vector<PortChoice>& choices) {
    for (const PortChoice& choice : choices) {
        if (choice.m_strText == text)
            return choice.m_strPath;
    }
    return text;
}

std::string ProbeResultText(int result, const ModemProbe& probe, const std::string& reason) {
    switch (result) {
    case 0: {
        std::string text = "Modem odpověděl: " + probe.m_strName + ".";
        if (!probe.m_strModel.empty())
            text += "\nModel (AT+CGMM): " + probe.m_strModel + " \u2013 GSM modem.";
        if (!probe.m_identity.empty()) {
            text += "\nIdentifikace (ATI):";
            for (const std::string& line : probe.m_identity)
                text += " " + line;
        }
        return text;
    }
    case DIALERR_DEVICE:
        return "Zařízení nelze otevřít" + (reason.empty() ? std::string() : ": " + reason) + ".";
    case DIALERR_NO_OK:
        return "Modem neodpovídá na příkaz AT. Zkontrolujte zařízení, kabel a napájení modemu.";
    case DIALERR_UNDEFINED_REPLY:
        return "Modem odpověděl nesrozumitelně" +
               (reason.empty() ? std::string() : " (" + reason + ")") + ".";
    case DIALERR_CANCELLED:
        return "Zkouška byla přerušena.";
    case DIALERR_LINE_DOWN:
        return "Zařízení přestalo odpovídat (bylo odpojeno?).";
    default:
        return "Zkouška modemu se nezdařila.";
    }
}
