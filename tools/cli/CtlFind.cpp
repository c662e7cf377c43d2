// tk530ctl find: which port the unit is on. Every port given (else every serial device of the
// machine except the modems of the modem list) gets the line check's identification request;
// one line per port says what answered. With --save the one port where a unit answered
// becomes the profile's port, as `settings --port` would store it.
#include "base/Cp1250.h"
#include "base/ProgramFolder.h"
#include "config/Profile.h"
#include "link/FindUnit.h"
#include "link/ModemList.h"
#include "link/SerialPorts.h"
#include "tools/cli/CtlFormat.h"
#include "tools/cli/CtlSession.h"

namespace ctl {

namespace {

std::string FindJson(const std::vector<std::string>& ports,
                     const std::vector<LineCheckResult>& results) {
    std::string out = "[";
    for (size_t i = 0; i < ports.size(); ++i) {
        const LineCheckResult& r = results[i];
        const bool found = r.m_verdict == LINE_OK;
        out += std::string(i ? "," : "") + "{\"port\":" + JsonString(ports[i]) +
               ",\"verdict\":" + JsonString(FindVerdictKey(r)) +
               ",\"name\":" + (found ? JsonString(r.m_strUnitName) : "null") +
               ",\"serial\":" + (found ? JsonString(r.m_strSerial) : "null") +
               ",\"text\":" + JsonString(FindVerdictText(r)) + "}";
    }
    return out + "]\n";
}

// Stores `port` as the profile's port, under the Data lock as `settings` does.
int SavePort(const std::string& port, CConsole& console) {
    tk::CDataLock lock;
    if (!LockData(lock, console))
        return EXIT_FILE;
    const std::optional<std::string> kept = ProfilePort(port, console);
    if (!kept)
        return EXIT_USAGE;
    CProfile profile;
    profile.Load(); // the other settings stay as they are
    if (profile.SetPortPath(*kept) != PROFILE_OK)
        return EXIT_USAGE;
    if (profile.Save() != PROFILE_OK) {
        console.Err("Soubor Profile.dat se nepodařilo uložit" +
                    SaveFailure(tk::ProgramFile("Profile.dat")) + ".\n");
        return EXIT_FILE;
    }
    if (!console.Json())
        console.Out("Port " + ForTerminal(*kept) +
                    " je uložen jako komunikační port (Profile.dat).\n");
    return 0;
}

} // namespace

int Find(const Args& a, CConsole& console) {
    std::vector<std::string> ports;
    if (a.ports.empty()) {
        CModemMng modems;
        modems.Load(); // a damaged list excludes nothing: the modems are then unknown
        ports = FindCandidates(ListSerialPorts(), modems);
        if (ports.empty()) {
            console.Err("Počítač nemá žádný sériový port (kromě modemů ze seznamu modemů); "
                        "zadejte port jménem, např. tk530ctl find /dev/ttyUSB0.\n");
            return EXIT_REFUSED;
        }
    } else {
        ports = DistinctPorts(a.ports);
    }

    InstallInterruptHandler(nullptr); // Ctrl+C ends the search like "Storno"
    const std::vector<LineCheckResult> results = FindUnit(ports, {}, [] { return Interrupted(); });
    if (console.Json()) {
        console.Out(FindJson(ports, results));
    } else {
        for (size_t i = 0; i < ports.size(); ++i)
            console.Out(ForTerminal(ports[i]) + ": " + ForTerminal(FindVerdictText(results[i])) +
                        "\n");
    }
    if (Interrupted())
        return EXIT_INTERRUPTED;

    std::vector<std::string> found;
    for (size_t i = 0; i < ports.size(); ++i) {
        if (results[i].m_verdict == LINE_OK)
            found.push_back(ports[i]);
    }
    if (found.empty()) {
        console.Err(std::string("Na žádném portu neodpověděla jednotka") +
                    (a.save ? "; nic se neuložilo.\n" : ".\n"));
        return EXIT_REFUSED;
    }
    if (!a.save)
        return 0;
    if (found.size() > 1) {
        std::string list;
        for (const std::string& port : found)
            list += (list.empty() ? "" : ", ") + ForTerminal(port);
        console.Err("Jednotka odpovídá na více portech (" + list +
                    "); nic se neuložilo. Zvolte port příkazem tk530ctl settings --port PORT.\n");
        return EXIT_REFUSED;
    }
    return SavePort(found.front(), console);
}

} // namespace ctl
