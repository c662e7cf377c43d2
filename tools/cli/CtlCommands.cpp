#include "tools/cli/CtlCommands.h"

#include "app/Device.h"
#include "base/Cp1250.h"
#include "base/DataLock.h"
#include "base/ProgramFolder.h"
#include "base/Texts.h"
#include "config/CfgBackup.h"
#include "link/ComMsg.h"
#include "link/ModemList.h"
#include "link/SerCom.h"
#include "link/TAPIMng.h"
#include "status/SysTime.h"
#include "tools/cli/CtlFormat.h"
#include "tools/cli/CtlSession.h"
#include "tools/cli/CtlUI.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <strings.h>
#include <unistd.h>

namespace ctl {

namespace {

constexpr size_t NUMBER_MAX = sizeof(CConnectDsc::m_szNum) - 1;
constexpr size_t PIN_MIN = 4;
constexpr size_t PIN_MAX = sizeof(CConnectDsc::m_szPIN) - 1;
constexpr size_t MODEM_NAME_MAX = sizeof(CModemInf::m_szName) - 1;
constexpr int CHANNELS = 5;
constexpr int IDLE_SLICE_MS = 200;

// "1,3-5" as a mask of channels 1-5.
bool ParseChannels(const std::string& text, uint8_t& mask) {
    mask = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t comma = std::min(text.find(',', pos), text.size());
        const std::string item = text.substr(pos, comma - pos);
        const size_t dash = item.find('-');
        const std::string first = item.substr(0, dash);
        const std::string last = dash == std::string::npos ? first : item.substr(dash + 1);
        if (!AllDigits(first) || !AllDigits(last) || first.size() > 1 || last.size() > 1)
            return false;
        const int from = first[0] - '0';
        const int to = last[0] - '0';
        if (from < 1 || to > CHANNELS || from > to)
            return false;
        for (int c = from; c <= to; ++c)
            mask = static_cast<uint8_t>(mask | 1u << (c - 1));
        pos = comma + 1;
    }
    return mask != 0;
}

// "YYYY-MM-DDTHH:MM:SS" of a date that exists, in the years the unit's clock can hold.
bool ParseTime(const std::string& text, SysTime& t) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
        6)
        return false;
    if (y < 2000 || y > 2255)
        return false;
    SysTime parsed;
    parsed.wYear = static_cast<uint16_t>(y);
    parsed.wMonth = static_cast<uint16_t>(mo);
    parsed.wDay = static_cast<uint16_t>(d);
    parsed.wHour = static_cast<uint16_t>(h);
    parsed.wMinute = static_cast<uint16_t>(mi);
    parsed.wSecond = static_cast<uint16_t>(s);
    if (!IsValidSysTime(parsed))
        return false;
    t = parsed;
    return true;
}

// --- commands with the unit

int Info(CSession& s) {
    CTK630& device = s.Device();
    if (!s.Shared()) {
        s.Run([&] { return device.Online(); });
        if (device.m_Com.IsOnline())
            s.Run([&] { return device.Offline(); });
    }
    const uint32_t result = s.UI().Result();
    if (result != 0)
        return CSession::ExitStatus(result);
    const CDevIdent id = s.UI().Snapshot().m_DevId;
    s.Console().Out(s.Arguments().json ? InfoJson(id) + "\n" : InfoText(id));
    return 0;
}

int Status(CSession& s) {
    const uint32_t result = s.Run([&] { return s.Device().ReadStatus(); });
    if (result != 0)
        return CSession::ExitStatus(result);
    const CDevStatus status = s.UI().Snapshot();
    s.Console().Out(s.Arguments().json ? StatusJson(status) + "\n" : StatusText(status));
    return 0;
}

int ReadConfig(CSession& s) {
    const std::string& file = s.Arguments().file;
    CTK630Cfg& cfg = s.Device().m_Cfg;
    const uint32_t result = s.Run([&] {
        return s.Device().m_Com.Post({CM_READ_CFG, reinterpret_cast<uintptr_t>(&cfg), 0});
    });
    if (result != 0)
        return CSession::ExitStatus(result);
    if (cfg.SaveFile(file) != 1) {
        s.Console().Err(LinkText(TXT_CFG_SAVE_ERROR) + " (" + ForTerminal(file) + ")\n");
        return EXIT_FILE;
    }
    s.Console().Out(s.Arguments().json
                        ? "{\"file\":" + JsonString(file) + "}\n"
                        : "Konfigurace byla uložena do souboru " + ForTerminal(file) + ".\n");
    return 0;
}

int WriteConfig(CSession& s, const std::string& file) {
    const Args& a = s.Arguments();
    CTK630Cfg& cfg = s.Device().m_Cfg;
    if (cfg.LoadFile(file) != 1) {
        s.Console().Err(LinkText(TXT_CFG_LOAD_ERROR) + " (" + ForTerminal(file) + ")\n");
        return EXIT_FILE;
    }
    // What the unit held is kept in the backups first: nothing is written without it.
    const uint32_t flags = CFG_WRITE_BACKUP | (a.verify ? CFG_WRITE_VERIFY : 0u);
    const uint32_t result = s.Run([&] {
        return s.Device().m_Com.Post({CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&cfg), flags});
    });
    if (result != 0)
        return CSession::ExitStatus(result);
    if (a.json)
        s.Console().Out("{\"file\":" + JsonString(file) +
                        ",\"verified\":" + (a.verify ? "true" : "false") + "}\n");
    else
        s.Console().Out(std::string(a.verify ? "Konfigurace byla zapsána do TK530 a ověřena."
                                             : "Konfigurace byla zapsána do TK530.") +
                        " Předchozí konfigurace jednotky je uložena v zálohách (" +
                        ForTerminal(CfgBackupFolder()) + ").\n");
    return 0;
}

int SetOutputs(CSession& s, uint8_t mask, uint8_t values) {
    const uint32_t result = s.Run([&] { return s.Device().SetOutputs(mask, values); });
    if (result != 0)
        return CSession::ExitStatus(result);
    const CIOState io = s.UI().Snapshot().m_IO;
    s.Console().Out(s.Arguments().json ? "{\"io\":" + IoJson(io) + "}\n" : IoText(io));
    return 0;
}

int SetTime(CSession& s, const std::optional<SysTime>& when) {
    const uint32_t result = s.Run([&] { return s.Device().SetTime(when ? &*when : nullptr); });
    if (result != 0)
        return CSession::ExitStatus(result);
    const SysTime clock = s.UI().Snapshot().m_Time;
    s.Console().Out(s.Arguments().json ? "{\"clock\":" + JsonString(IsoTime(clock)) + "}\n"
                                       : ClockText(clock));
    return 0;
}

int Monitor(CSession& s) {
    CTK630& device = s.Device();
    const bool json = s.Arguments().json;
    uint32_t result = 0;
    if (!device.m_Com.IsOnline())
        result = s.Run([&] { return device.Online(); });
    if (!device.m_Com.IsOnline())
        return CSession::ExitStatus(result);
    s.UI().StartMonitor();
    result = s.Run([&] { return device.ReadStatus(); });
    if (result == 0) {
        const CDevStatus status = s.UI().Snapshot();
        s.Console().Out(json ? MonitorJson(MONITOR_STATUS, GetLocalTime(), status, nullptr, -1)
                             : InfoText(status.m_DevId) + StatusText(status));
        using Clock = std::chrono::steady_clock;
        const uint32_t seconds = s.Arguments().seconds;
        const uint32_t giveUp = s.Arguments().giveUp;
        const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
        int64_t silentSince = -1; // the last answer while the unit is silent, else -1
        while (!Interrupted() && (seconds == 0 || Clock::now() < end)) {
            if (silentSince >= 0 && giveUp != 0 &&
                static_cast<int64_t>(std::time(nullptr)) - silentSince >= giveUp) {
                s.Console().Err("Jednotka neodpovídá déle než " + std::to_string(giveUp) +
                                " s, sledování končí.\n");
                result = LE_TIMEOUT;
                break;
            }
            const std::optional<MonitorEvent> ev = s.UI().NextMonitorEvent(IDLE_SLICE_MS);
            if (!ev)
                continue;
            if (ev->code == CE_OFFLINE) {
                result = s.UI().Result(); // the call dropped: 9; the device vanished: 1
                break;
            }
            if (ev->code == CE_NO_ANSWER)
                silentSince = ev->since;
            else if (ev->code == CE_ANSWERING)
                silentSince = -1;
            const std::string line = json ? MonitorJson(ev->code, ev->pcTime, ev->status,
                                                        ev->sms.get(), ev->smsIndex, ev->since)
                                          : MonitorLine(ev->code, ev->pcTime, ev->status,
                                                        ev->sms.get(), ev->smsIndex, ev->since);
            // Nobody reads any more (a pipe to a program that has ended): end as for Ctrl+C.
            if (!s.Console().Out(line))
                break;
        }
    }
    s.UI().StopMonitor();
    if (device.m_Com.IsOnline() && !s.Shared())
        s.Run([&] { return device.Offline(); });
    return SmsReadStatus(s, result);
}

// --- local commands (no unit)

std::string ModemLine(const CModemInf& m, size_t index) {
    std::string line = std::to_string(index) + "  " +
                       ForTerminal(FieldText(m.m_szName, sizeof m.m_szName)) + "  " +
                       ForTerminal(FieldText(m.m_szDevice, sizeof m.m_szDevice));
    if (m.m_szInit[0])
        line += "  init " + ForTerminal(FieldText(m.m_szInit, sizeof m.m_szInit));
    if (m.m_bGsm)
        line += "  GSM " + ForTerminal(ModemBearer(m));
    return line + "\n";
}

// The modem list as it is in the file; a damaged list is reported and not used.
bool LoadModems(CModemMng& modems, CConsole& console) {
    if (modems.Load() != CModemMng::LoadResult::Damaged)
        return true;
    console.Err("Seznam modemů " + ForTerminal(CModemMng::FilePath()) +
                " je poškozený; aby se o něj nepřišlo, nebude změněn.\n");
    return false;
}

std::string ModemJson(const CModemInf& m, size_t index) {
    return "{\"index\":" + std::to_string(index) +
           ",\"name\":" + JsonString(FieldText(m.m_szName, sizeof m.m_szName)) +
           ",\"device\":" + JsonString(FieldText(m.m_szDevice, sizeof m.m_szDevice)) +
           ",\"init\":" + JsonString(FieldText(m.m_szInit, sizeof m.m_szInit)) +
           ",\"gsm\":" + (m.m_bGsm ? "true" : "false") +
           ",\"bearer\":" + JsonString(ModemBearer(m)) + "}";
}

int Modems(const Args& a, CConsole& console) {
    CModemMng modems;
    if (!LoadModems(modems, console))
        return EXIT_FILE;
    if (a.json) {
        std::string out = "{\"modems\":[";
        for (size_t i = 0; i < modems.Count(); ++i)
            out += (i ? "," : "") + ModemJson(*modems.Get(i), i);
        console.Out(out + "]}\n");
        return 0;
    }
    if (modems.Count() == 0) {
        console.Out("Seznam modemů je prázdný.\n");
        return 0;
    }
    std::string out;
    for (size_t i = 0; i < modems.Count(); ++i)
        out += ModemLine(*modems.Get(i), i);
    console.Out(out);
    return 0;
}

bool CopyText(char* field, size_t size, const std::string& text) {
    if (text.size() >= size)
        return false;
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size());
    return true;
}

// The modem list, locked against the control panel, for a command that changes it.
bool OpenModemsToChange(tk::CDataLock& lock, CModemMng& modems, CConsole& console) {
    return LockData(lock, console) && LoadModems(modems, console);
}

int ModemAdd(const Args& a, CConsole& console) {
    tk::CDataLock lock;
    CModemMng modems;
    if (!OpenModemsToChange(lock, modems, console))
        return EXIT_FILE;
    const std::optional<std::string> name = ToCp1250(console, "Jméno modemu", a.name);
    if (!name)
        return EXIT_USAGE;
    if (name->size() > MODEM_NAME_MAX) {
        console.Err("Jméno modemu může mít nejvýše " + std::to_string(MODEM_NAME_MAX) +
                    " znaků.\n");
        return EXIT_USAGE;
    }
    for (size_t i = 0; i < modems.Count(); ++i) {
        if (*name == modems.Get(i)->m_szName) {
            console.Err("Modem se jménem " + Quoted(a.name) + " už v seznamu je.\n");
            return EXIT_USAGE;
        }
    }
    CModemInf inf = MakeModemInf(*name, "");
    const std::string device = SerialDevicePath(a.device);
    bool ok = a.device.size() > 3 && strncasecmp(a.device.c_str(), "COM", 3) == 0
                  ? AllDigits(a.device.substr(3))
                  : a.device[0] == '/';
    ok = ok && CopyText(inf.m_szDevice, sizeof inf.m_szDevice, device);
    if (!ok || ValidateModem(inf) == ML_BAD_DEVICE) {
        console.Err("Zařízení modemu se zadává absolutní cestou (/dev/...) nebo jako COMn.\n");
        return EXIT_USAGE;
    }
    if (!CopyText(inf.m_szInit, sizeof inf.m_szInit, a.init) ||
        (!a.bearer.empty() && !CopyText(inf.m_szBearer, sizeof inf.m_szBearer, a.bearer))) {
        console.Err("Inicializační řetězec nebo příkaz nosiče je příliš dlouhý.\n");
        return EXIT_USAGE;
    }
    inf.m_bGsm = a.gsm || !a.bearer.empty();
    switch (ValidateModem(inf)) {
    case 0:
        break;
    case ML_BAD_NAME:
        console.Err("Jméno modemu nesmí být prázdné ani obsahovat řídicí znaky.\n");
        return EXIT_USAGE;
    default:
        console.Err("Inicializační řetězec a příkaz nosiče smějí obsahovat jen tisknutelné "
                    "znaky ASCII.\n");
        return EXIT_USAGE;
    }
    const int index = modems.Add(inf);
    if (index == ML_FULL) {
        console.Err("Seznam modemů je plný (" + std::to_string(CModemMng::MAX_MODEMS) +
                    " modemů).\n");
        return EXIT_REFUSED;
    }
    if (index < 0 || !modems.Save()) {
        console.Err("Seznam modemů se nepodařilo uložit" + SaveFailure(CModemMng::FilePath()) +
                    ".\n");
        return EXIT_FILE;
    }
    const CModemInf& added = *modems.Get(static_cast<size_t>(index));
    console.Out(a.json ? "{\"added\":" + ModemJson(added, static_cast<size_t>(index)) + "}\n"
                       : "Přidán modem " + ModemLine(added, static_cast<size_t>(index)));
    return 0;
}

int ModemDel(const Args& a, CConsole& console) {
    tk::CDataLock lock;
    CModemMng modems;
    if (!OpenModemsToChange(lock, modems, console))
        return EXIT_FILE;
    int index = -1;
    if (AllDigits(a.modemRef)) {
        const unsigned long n = std::strtoul(a.modemRef.c_str(), nullptr, 10);
        if (n < modems.Count())
            index = static_cast<int>(n);
    } else {
        std::string name;
        tk::Utf8ToCp1250(a.modemRef, name);
        for (size_t i = 0; i < modems.Count() && index < 0; ++i) {
            if (name == modems.Get(i)->m_szName)
                index = static_cast<int>(i);
        }
    }
    if (index < 0) {
        console.Err("Modem " + Quoted(a.modemRef) + " není v seznamu modemů.\n");
        return EXIT_USAGE;
    }
    const std::string line =
        a.json
            ? "{\"removed\":" +
                  ModemJson(*modems.Get(static_cast<size_t>(index)), static_cast<size_t>(index)) +
                  "}\n"
            : "Odstraněn modem " +
                  ModemLine(*modems.Get(static_cast<size_t>(index)), static_cast<size_t>(index));
    modems.Remove(static_cast<size_t>(index));
    if (!modems.Save()) {
        console.Err("Seznam modemů se nepodařilo uložit" + SaveFailure(CModemMng::FilePath()) +
                    ".\n");
        return EXIT_FILE;
    }
    // The profile names its modem by position: keep it on the same modem, or on none.
    CProfile profile;
    if (profile.Load() == PROFILE_OK && profile.m_nModem >= index) {
        profile.m_nModem = profile.m_nModem == index ? -1 : profile.m_nModem - 1;
        if (profile.Save() != PROFILE_OK)
            console.Err("Soubor Profile.dat se nepodařilo uložit" +
                        SaveFailure(tk::ProgramFile("Profile.dat")) + ".\n");
    }
    console.Out(line);
    return 0;
}

// --- checks that need no unit

int CheckRemoteArgs(const Args& a, CConsole& console, Args& checked) {
    if (a.modem.empty())
        return 0;
    const std::optional<std::string> number = ToCp1250(console, "Telefonní číslo", a.number);
    if (!number)
        return EXIT_USAGE;
    std::string dial;
    if (number->size() > NUMBER_MAX || !MakeDialString(number->c_str(), &dial)) {
        console.Err("Neplatné telefonní číslo " + Quoted(a.number) + " (nejvýše " +
                    std::to_string(NUMBER_MAX) + " znaků: číslice, +, *, #, mezery, -).\n");
        return EXIT_USAGE;
    }
    std::string pinText = a.pin;
    if (pinText == "-") {
        // From standard input, so that it does not show in the process list; typed on a
        // terminal, it does not show on the screen either.
        pinText.clear();
        if (::isatty(STDIN_FILENO)) {
            pinText = PromptLine(console, "PIN: ", false).value_or("");
        } else {
            // Bounded: a PIN is a few characters, and too long a line is refused below.
            char c = 0;
            while (pinText.size() <= 4 * PIN_MAX && ::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
                if (c != '\r')
                    pinText += c;
            }
        }
    }
    const std::optional<std::string> pin = ToCp1250(console, "PIN", pinText);
    if (!pin)
        return EXIT_USAGE;
    if (pin->size() < PIN_MIN || pin->size() > PIN_MAX || pin->find('\0') != std::string::npos) {
        console.Err("PIN musí mít 4 až 8 znaků.\n");
        return EXIT_USAGE;
    }
    checked.number = *number;
    checked.pin = *pin;
    return 0;
}

// --- the commands and how they run

using LocalCommand = int (*)(const Args&, CConsole&);

// The commands that need no unit.
const std::map<std::string, LocalCommand, std::less<>>& LocalCommands() {
    static const std::map<std::string, LocalCommand, std::less<>> commands = {
        {"sms-list", SmsList},        {"sms-export", SmsExport},      {"sms-show", SmsShow},
        {"sms-delete", SmsDelete},    {"sms-mark-read", SmsMarkRead}, {"modems", Modems},
        {"modem-add", ModemAdd},      {"modem-del", ModemDel},        {"settings", Settings},
        {"config", RunConfigCommand}, {"backups", RunConfigCommand},  {"find", Find},
    };
    return commands;
}

// Over a cable the keepalive of an open session also fetches the unit's messages into
// "SMS.dat": such a session changes the Data files.
bool FetchesSms(const Args& a) {
    if (!a.modem.empty())
        return false;
    if (!a.port.empty())
        return true;
    CProfile profile;
    profile.Load();
    return profile.m_nConnType == CONN_LOCAL;
}

// What a command with the unit needs of the session.
LockUse LockFor(const Args& a, bool& localOnly) {
    const std::string& cmd = a.command;
    localOnly = cmd == "sms-read" || cmd == "sms-send" || cmd == "sms-resend";
    if (localOnly)
        return LockUse::Require;
    return cmd == "monitor" && FetchesSms(a) ? LockUse::Require : LockUse::Try;
}

// What a command with the unit takes from the checks made before connecting.
struct Plan {
    uint8_t setMask = 0;
    uint8_t clearMask = 0;
    std::optional<SysTime> when;
    std::optional<CSMS> message;
    std::vector<int32_t> resend;
    std::string cfgFile; // write-config: the file to send, a backup:N resolved
    bool done = false;   // the checks did all there was to do (write-config --dry-run)
};

// Everything that can be refused without the unit is refused before connecting.
int Prepare(const Args& a, CConsole& console, Plan& plan) {
    const std::string& cmd = a.command;
    if (cmd == "read-config") {
        if (!FolderOfFileExists(a.file) || IsFolder(a.file)) {
            console.Err(LinkText(TXT_CFG_SAVE_ERROR) + " (" + ForTerminal(a.file) + ")\n");
            return EXIT_FILE;
        }
        if (Exists(a.file) && !a.force) {
            console.Err("Soubor " + ForTerminal(a.file) +
                        " již existuje: přepíšete jej volbou --force.\n");
            return EXIT_REFUSED;
        }
    } else if (cmd == "write-config") {
        // Loaded and checked; --dry-run has compared it with the unit and ends here.
        const int r = PrepareWriteConfig(a, console, plan.cfgFile);
        if (r != WRITE_CONFIG_GO_ON) {
            plan.done = true;
            return r;
        }
    } else if (cmd == "set-outputs") {
        if ((!a.setChannels.empty() && !ParseChannels(a.setChannels, plan.setMask)) ||
            (!a.clearChannels.empty() && !ParseChannels(a.clearChannels, plan.clearMask))) {
            console.Err("Kanály se zadávají čísly 1 až 5, např. 1,3-5.\n");
            return EXIT_USAGE;
        }
        if ((plan.setMask & plan.clearMask) != 0) {
            console.Err("Kanál nemůže být zároveň v --set i v --clear.\n");
            return EXIT_USAGE;
        }
        if ((plan.setMask | plan.clearMask) == 0) {
            console.Err("Zadejte kanály v --set nebo --clear.\n");
            return EXIT_USAGE;
        }
    } else if (cmd == "set-time") {
        if (a.time != "now") {
            SysTime t;
            if (!ParseTime(a.time, t)) {
                console.Err("Neplatný čas " + Quoted(a.time) +
                            ": zadejte now nebo RRRR-MM-DDTHH:MM:SS (roky 2000 až 2255).\n");
                return EXIT_USAGE;
            }
            plan.when = t;
        }
    } else if (cmd == "sms-send") {
        int status = 0;
        plan.message = ComposeSms(a, console, status);
        if (!plan.message)
            return status;
    } else if (cmd == "sms-resend") {
        return PrepareResend(a, console, plan.resend);
    } else if (cmd == "sms-read" || (cmd == "monitor" && FetchesSms(a))) {
        if (!SmsFileSound(console))
            return EXIT_FILE;
    }
    return 0;
}

int RunWithUnit(CSession& s, const Plan& plan) {
    const std::string& cmd = s.Arguments().command;
    if (cmd == "info")
        return Info(s);
    if (cmd == "status")
        return Status(s);
    if (cmd == "read-config")
        return ReadConfig(s);
    if (cmd == "write-config")
        return WriteConfig(s, plan.cfgFile);
    if (cmd == "set-outputs")
        return SetOutputs(s, plan.setMask | plan.clearMask, plan.setMask);
    if (cmd == "set-time")
        return SetTime(s, plan.when);
    if (cmd == "sms-read")
        return SmsRead(s);
    if (cmd == "sms-send")
        return SmsSend(s, *plan.message);
    if (cmd == "sms-resend")
        return SmsResend(s, plan.resend);
    if (cmd == "monitor")
        return Monitor(s);
    s.Console().Err("Neznámý příkaz " + Quoted(cmd) + ".\n");
    return EXIT_USAGE;
}

// A message the unit gives up must have a place to go.
int CheckSmsFolder(LockUse lockUse, CConsole& console) {
    if (lockUse == LockUse::Require && !CanWriteBeside(CSMSMng::FilePath())) {
        console.Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) + ")\n");
        return EXIT_FILE;
    }
    return 0;
}

int RunSingle(const Args& a, CConsole& console) {
    const auto& local = LocalCommands();
    if (const auto it = local.find(a.command); it != local.end())
        return it->second(a, console);
    Plan plan;
    if (const int r = Prepare(a, console, plan); r != 0 || plan.done)
        return r;
    bool localOnly = false;
    const LockUse lockUse = LockFor(a, localOnly);
    CSession session(a, console);
    if (const int r = session.Open(lockUse, localOnly); r != 0)
        return r;
    if (const int r = CheckSmsFolder(lockUse, console); r != 0)
        return r;
    return RunWithUnit(session, plan);
}

// `do`: the steps in order in one session, connected once before the first step that needs
// the unit and disconnected after the last.
int RunSteps(const Args& global, CConsole& console) {
    bool needUnit = false;
    bool localOnly = false;
    LockUse lockUse = LockUse::Try;
    for (const Args& step : global.steps) {
        if (LocalCommands().count(step.command))
            continue;
        needUnit = true;
        bool only = false;
        if (LockFor(step, only) == LockUse::Require)
            lockUse = LockUse::Require;
        localOnly = localOnly || only;
    }
    std::optional<CSession> session;
    if (needUnit) {
        session.emplace(global, console);
        if (const int r = session->Open(lockUse, localOnly); r != 0)
            return r;
        if (const int r = CheckSmsFolder(lockUse, console); r != 0)
            return r;
        session->SetShared(true);
    }
    int first = 0;
    for (size_t i = 0; i < global.steps.size() && !Interrupted(); ++i) {
        const Args& step = global.steps[i];
        int status = 0;
        const auto& local = LocalCommands();
        if (const auto it = local.find(step.command); it != local.end()) {
            status = it->second(step, console);
        } else {
            Plan plan;
            session->UI().NewStep();
            status = Prepare(step, console, plan);
            CTK630& device = session->Device();
            if (status == 0 && !plan.done && !device.m_Com.IsOnline()) {
                // The connection is made at the first step that needs it (the local ones before
                // it may have prepared its files), and again after a step that lost it.
                status = CSession::ExitStatus(session->Run([&] { return device.Online(); }));
            }
            if (status == 0 && !plan.done) {
                session->SetArguments(step);
                status = RunWithUnit(*session, plan);
            }
        }
        if (status != 0) {
            console.Err("Krok " + std::to_string(i + 1) + " (" + ForTerminal(global.stepTexts[i]) +
                        ") skončil se stavem " + std::to_string(status) + ".\n");
            if (first == 0)
                first = status;
            if (!global.keepGoing)
                break;
        }
    }
    if (session) {
        session->SetArguments(global);
        CTK630& device = session->Device();
        if (device.m_Com.IsOnline())
            session->Run([&] { return device.Offline(); });
    }
    return first;
}

} // namespace

int ReadUnitConfiguration(const Args& args, CConsole& console, CfgImage& image) {
    auto read = [&](CSession& session) {
        CTK630Cfg& cfg = session.Device().m_Cfg;
        const uint32_t result = session.Run([&] {
            return session.Device().m_Com.Post({CM_READ_CFG, reinterpret_cast<uintptr_t>(&cfg), 0});
        });
        if (result != 0)
            return CSession::ExitStatus(result);
        image = *cfg.GetImage();
        return 0;
    };
    // A step of `do` reads through the session's connection.
    if (CSession* shared = SharedSession()) {
        shared->UI().NewStep();
        return read(*shared);
    }
    Args a = args;
    if (const int r = CheckRemoteArgs(args, console, a); r != 0)
        return r;
    CSession session(a, console);
    if (const int r = session.Open(LockUse::Try, false); r != 0)
        return r;
    return read(session);
}

int RunCommand(const Args& args) {
    CConsole console(::isatty(STDERR_FILENO) != 0, args.json);
    // The port of the environment is for the runs that name none.
    Args a = args;
    const char* envPort = std::getenv("TK530_PORT");
    if (a.port.empty() && a.modem.empty() && envPort && *envPort && a.command != "settings") {
        a.port = envPort;
        for (Args& step : a.steps)
            step.port = envPort;
    }
    int status = CheckRemoteArgs(a, console, a);
    if (status == 0) {
        for (Args& step : a.steps) {
            step.number = a.number;
            step.pin = a.pin;
        }
        status = a.command == "do" ? RunSteps(a, console) : RunSingle(a, console);
    }
    // Interrupted: the session has been closed properly all the same.
    if (Interrupted())
        status = EXIT_INTERRUPTED;
    console.Finish(status);
    return status;
}

} // namespace ctl
