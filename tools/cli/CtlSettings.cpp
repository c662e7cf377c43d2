// tk530ctl settings: the communication settings of the profile, as the window's
// communication settings dialog shows and changes them (access mode, port, trace, modem).
#include "base/Cp1250.h"
#include "base/ProgramFolder.h"
#include "link/ModemList.h"
#include "link/SerCom.h"
#include "tools/cli/CtlFormat.h"
#include "tools/cli/CtlSession.h"

#include <cstdlib>

namespace ctl {

namespace {

std::string ModemName(const CModemMng& modems, int index) {
    if (index < 0 || static_cast<size_t>(index) >= modems.Count())
        return {};
    const CModemInf& m = *modems.Get(static_cast<size_t>(index));
    return FieldText(m.m_szName, sizeof m.m_szName);
}

// The modem of --modem: its index or its name in the modem list; -1 for "none".
std::optional<int> FindModem(const CModemMng& modems, const std::string& ref, CConsole& console) {
    if (ref == "-1" || ref == "none")
        return -1;
    if (AllDigits(ref)) {
        const unsigned long n = std::strtoul(ref.c_str(), nullptr, 10);
        if (n < modems.Count())
            return static_cast<int>(n);
    } else {
        std::string name;
        tk::Utf8ToCp1250(ref, name);
        for (size_t i = 0; i < modems.Count(); ++i) {
            if (name == modems.Get(i)->m_szName)
                return static_cast<int>(i);
        }
    }
    console.Err("Modem " + Quoted(ref) +
                " není v seznamu modemů (tk530ctl modems jej vypíše, modem-add přidá).\n");
    return std::nullopt;
}

// How the program folder in use was chosen, as `settings` names it.
const char* FolderKind(const tk::ProgramFolderInfo& f) {
    if (f.given)
        return "zvolená (--folder)";
    return f.portable ? "přenosná, vedle programu" : "uživatelská data";
}

const char* FolderKindJson(const tk::ProgramFolderInfo& f) {
    if (f.given)
        return "given";
    return f.portable ? "portable" : "user";
}

std::string SettingsText(const CProfile& p, bool saved, const CModemMng& modems) {
    const std::string modem = ModemName(modems, p.m_nModem);
    std::string out = "Nastavení komunikace";
    out += saved ? "\n" : " (Profile.dat zatím neexistuje: výchozí hodnoty)\n";
    out += "  přístup:           ";
    out += p.m_nConnType == CONN_REMOTE ? "vzdálený přístup\n" : "lokální přístup\n";
    out += "  komunikační port:  " + ForTerminal(p.PortPath()) + " (" +
           ForTerminal(SerialDevicePath(p.PortPath())) + ")\n";
    out += "  záznam komunikace: ";
    out += p.m_bLog ? "ano (sercom.log)\n" : "ne\n";
    out +=
        "  modem:             " +
        (p.m_nModem < 0 ? std::string("žádný")
                        : std::to_string(p.m_nModem) +
                              (modem.empty() ? " (není v seznamu)" : "  " + ForTerminal(modem))) +
        "\n";
    const tk::ProgramFolderInfo folder = tk::ProgramFolderInUse();
    out += "  programová složka: " + ForTerminal(folder.path) + " (" + FolderKind(folder) + ")\n";
    if (!folder.error.empty())
        out += "    nelze ji vytvořit: " + ForTerminal(folder.error) + "\n";
    return out;
}

std::string SettingsJson(const CProfile& p, bool saved, const CModemMng& modems) {
    const tk::ProgramFolderInfo folder = tk::ProgramFolderInUse();
    const std::string modem = ModemName(modems, p.m_nModem);
    return "{\"access\":" + JsonString(p.m_nConnType == CONN_REMOTE ? "remote" : "local") +
           ",\"port\":" + JsonString(tk::Cp1250ToUtf8(p.PortPath())) +
           ",\"device\":" + JsonString(tk::Cp1250ToUtf8(SerialDevicePath(p.PortPath()))) +
           ",\"trace\":" + (p.m_bLog ? "true" : "false") +
           ",\"modem\":" + std::to_string(p.m_nModem) +
           ",\"modem_name\":" + (modem.empty() ? "null" : JsonString(modem)) +
           ",\"saved\":" + (saved ? "true" : "false") + ",\"folder\":" + JsonString(folder.path) +
           ",\"folder_kind\":" + JsonString(FolderKindJson(folder)) + "}\n";
}

} // namespace

int Settings(const Args& given, CConsole& console) {
    // "tk530ctl --port X settings" means to keep X as much as "settings --port X" does.
    Args a = given;
    if (a.setPort.empty())
        a.setPort = a.port;
    const bool change = !a.setPort.empty() || !a.setTrace.empty() || a.setLocal || a.setRemote ||
                        !a.setModem.empty();
    tk::CDataLock lock;
    if (change && !LockData(lock, console))
        return EXIT_FILE;
    CModemMng modems;
    if (modems.Load() == CModemMng::LoadResult::Damaged && !a.setModem.empty()) {
        console.Err("Seznam modemů " + ForTerminal(CModemMng::FilePath()) +
                    " je poškozený; modem nyní nelze vybrat.\n");
        return EXIT_FILE;
    }
    CProfile profile;
    bool saved = profile.Load() == PROFILE_OK; // the window sizes stay as they are
    if (change) {
        if (!a.setPort.empty()) {
            const std::optional<std::string> port = ProfilePort(a.setPort, console);
            if (!port)
                return EXIT_USAGE;
            if (profile.SetPortPath(*port) != PROFILE_OK)
                return EXIT_USAGE; // ProfilePort refuses what the profile cannot keep
        }
        if (!a.setTrace.empty())
            profile.m_bLog = a.setTrace == "on" ? 1 : 0;
        if (a.setLocal)
            profile.m_nConnType = CONN_LOCAL;
        if (a.setRemote)
            profile.m_nConnType = CONN_REMOTE;
        if (!a.setModem.empty()) {
            const std::optional<int> modem = FindModem(modems, a.setModem, console);
            if (!modem)
                return EXIT_USAGE;
            profile.m_nModem = *modem;
        }
        if (profile.Save() != PROFILE_OK) {
            console.Err("Soubor Profile.dat se nepodařilo uložit" +
                        SaveFailure(tk::ProgramFile("Profile.dat")) + ".\n");
            return EXIT_FILE;
        }
        saved = true;
    }
    console.Out(a.json ? SettingsJson(profile, saved, modems)
                       : SettingsText(profile, saved, modems));
    const char* envPort = std::getenv("TK530_PORT");
    if (envPort && *envPort)
        console.Err("Proměnná TK530_PORT=" + ForTerminal(envPort) +
                    " má přednost: příkazy bez --port a --modem použijí tento port.\n");
    return 0;
}

} // namespace ctl
