#include "link/PortRules.h"

#include "link/ModemPort.h"

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
