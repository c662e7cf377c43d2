#include "tools/cli/CtlCommands.h"

#include "app/Device.h"
#include "base/Cp1250.h"
#include "base/DataLock.h"
#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "base/Texts.h"
#include "config/Profile.h"
#include "link/ModemList.h"
#include "link/SerCom.h"
#include "link/TAPIMng.h"
#include "sms/SMSExport.h"
#include "tools/cli/CtlFormat.h"
#include "tools/cli/CtlUI.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ctl {

namespace {

constexpr size_t PORT_MAX = sizeof(CProfile::m_szPort) - 1;
constexpr size_t NUMBER_MAX = sizeof(CConnectDsc::m_szNum) - 1;
constexpr size_t PIN_MIN = 4;
constexpr size_t PIN_MAX = sizeof(CConnectDsc::m_szPIN) - 1;
constexpr size_t MODEM_NAME_MAX = sizeof(CModemInf::m_szName) - 1;
constexpr int CHANNELS = 5;
constexpr int IDLE_SLICE_MS = 200;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool AllDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

std::string Quoted(std::string_view s) {
    return "\"" + ForTerminal(s) + "\"";
}

std::string LinkText(uint32_t textId) {
    return std::string(GetText(textId));
}

// User input (UTF-8) as CP1250 for the unit and the files; a message when it cannot be.
std::optional<std::string> ToCp1250(CConsole& console, std::string_view what,
                                    const std::string& utf8) {
    std::string out;
    std::string bad;
    if (tk::Utf8ToCp1250(utf8, out, &bad))
        return out;
    console.Err(std::string(what) + ": znak " + Quoted(bad) + " nelze zapsat v kódování CP1250.\n");
    return std::nullopt;
}

// The folder in which a file would be written exists.
bool FolderOfFileExists(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return true;
    return IsFolder(slash == 0 ? "/" : path.substr(0, slash));
}

// A file can be created beside `path` (the folder exists and takes new files).
bool CanWriteBeside(const std::string& path) {
    tk::CSafeFileWriter probe;
    const bool ok = probe.Open(path, 0600);
    probe.Discard();
    return ok;
}

void RefuseLocked(CConsole& console, const tk::CDataLock& lock) {
    console.Err("Soubory ve složce Data právě používá jiný program (ovládací panel?); příkaz, "
                "který je mění, nyní nelze provést.\n  (" +
                ForTerminal(lock.Error()) + ")\n");
}

// "SMS.dat" either does not exist or reads whole: a command that changes the store must not
// replace a file that holds more than could be read.
bool SmsFileSound(CConsole& console) {
    const std::string path = CSMSMng::FilePath();
    if (!Exists(path))
        return true;
    CSMSMng probe;
    if (probe.Load() == 1)
        return true;
    console.Err("Soubor " + ForTerminal(path) +
                " je poškozený nebo jiné verze; aby se o jeho obsah nepřišlo, nebude změněn.\n");
    return false;
}

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

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
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
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 2000 || y > 2255 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59)
        return false;
    if (d > kDays[mo - 1] + (mo == 2 && IsLeapYear(y) ? 1 : 0))
        return false;
    t = SysTime{};
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    return true;
}

// --- a session with the unit through the link engine

enum class LockUse {
    Try,     // taken when free; without it "Connection.dat" is left alone
    Require, // the command changes the Data files: refused without it
};

class CSession {
public:
    CSession(const Args& args, CConsole& console)
        : m_args(args), m_console(console), m_device(m_profile),
          m_ui(m_device, console, UIOptionsFor(args)) {}

    ~CSession() {
        m_device.Stop(); // an open session is closed first
        RemoveInterruptHandler();
    }

    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // The settings, the lock and the engine. 0, or the exit status of a refusal (already
    // reported).
    int Open(LockUse lockUse, bool localOnly) {
        m_profile.Load(); // a missing profile gives the defaults, as for the control panel
        bool override = false;
        if (!m_args.port.empty()) {
            std::string port = m_args.port;
            if (port.size() > PORT_MAX) {
                // The profile holds 18 characters; a long link usually leads to a short name.
                char real[PATH_MAX];
                if (::realpath(SerialDevicePath(port).c_str(), real) && strlen(real) <= PORT_MAX)
                    port = real;
            }
            if (port.size() > PORT_MAX) {
                m_console.Err("Název portu " + Quoted(m_args.port) + " je delší než " +
                              std::to_string(PORT_MAX) + " znaků.\n");
                return EXIT_USAGE;
            }
            m_profile.m_nConnType = CONN_LOCAL;
            m_profile.SetPort(port.c_str());
            override = true;
        }
        if (!m_args.modem.empty()) {
            m_profile.m_nConnType = CONN_REMOTE;
            override = true;
        }
        if (m_args.trace)
            m_profile.m_bLog = 1;
        if (localOnly && m_profile.m_nConnType != CONN_LOCAL) {
            m_console.Err("SMS lze číst a odesílat jen při lokálním přístupu (kabelem).\n");
            return EXIT_USAGE;
        }
        const bool locked = m_lock.Acquire();
        if (!locked && lockUse == LockUse::Require) {
            RefuseLocked(m_console, m_lock);
            return EXIT_FILE;
        }

        m_device.m_Com.SetProgressSink(&m_ui);
        m_device.m_Com.SetEventSink(&m_ui);
        // The pauses only let a progress dialog show its full bar.
        m_device.m_Com.SetPauseMs(0);
        m_device.m_Com.SetTimeoutScale(m_args.timeoutScale);
        m_device.m_Com.SetSaveConnectionsOnStop(locked && !override);
        m_device.SetSaveStoreOnStop(locked);

        // Only this thread takes Ctrl+C; the worker started now inherits the blocked set.
        BlockInterrupts();
        const uint32_t started = m_device.Start();
        InstallInterruptHandler(&m_device.m_Com);
        UnblockInterrupts();
        if (started != 1) {
            m_console.Err(LinkText(TXT_INIT_ERROR) + std::to_string(started) + "\n");
            return EXIT_INTERNAL;
        }
        if (!m_args.modem.empty())
            return ChooseRemote();
        return 0;
    }

    // Queues a command (through `post`), waits until its sequence has ended, and returns the
    // outcome so far (0 or the first failure).
    uint32_t Run(const std::function<uint32_t()>& post) {
        const uint32_t queued = post();
        if (queued != 1) {
            m_console.Err(LinkText(TXT_INIT_ERROR) + std::to_string(queued) + "\n");
            return EXIT_INTERNAL;
        }
        while (!m_device.m_Com.WaitIdle(IDLE_SLICE_MS)) {
        }
        return m_ui.Result();
    }

    static int ExitStatus(uint32_t result) { return static_cast<int>(result); }

    CTK630& Device() { return m_device; }
    CCtlUI& UI() { return m_ui; }
    CConsole& Console() { return m_console; }
    const Args& Arguments() const { return m_args; }

private:
    static UIOptions UIOptionsFor(const Args& args) {
        UIOptions o;
        o.interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
        o.retries = args.retries;
        return o;
    }

    // The modem and the connection given on the command line, for this run only.
    int ChooseRemote() {
        CModemMng& modems = m_device.m_Com.GetModems().Modems();
        const std::string& ref = m_args.modem;
        int index = -1;
        if (AllDigits(ref)) {
            const unsigned long n = std::strtoul(ref.c_str(), nullptr, 10);
            if (n < modems.Count())
                index = static_cast<int>(n);
        } else {
            std::string name;
            tk::Utf8ToCp1250(ref, name);
            for (size_t i = 0; i < modems.Count() && index < 0; ++i) {
                if (name == modems.Get(i)->m_szName)
                    index = static_cast<int>(i);
            }
            const bool isDevice =
                ref[0] == '/' || (ref.size() > 3 && strncasecmp(ref.c_str(), "COM", 3) == 0 &&
                                  AllDigits(ref.substr(3)));
            if (index < 0 && isDevice) {
                const std::string device = SerialDevicePath(ref);
                for (size_t i = 0; i < modems.Count() && index < 0; ++i) {
                    if (device == modems.Get(i)->m_szDevice)
                        index = static_cast<int>(i);
                }
                // A modem that is not in the list: in the list of this run only.
                if (index < 0) {
                    const CModemInf inf = MakeModemInf(ref.substr(0, MODEM_NAME_MAX), device);
                    if (ValidateModem(inf) == 0)
                        index = modems.Add(inf);
                }
            }
        }
        if (index < 0) {
            m_console.Err("Modem " + Quoted(ref) + " není v seznamu modemů.\n");
            return EXIT_USAGE;
        }
        m_profile.m_nModem = index;
        CConnectDsc dsc{};
        dsc.SetNum(m_args.number.c_str());
        dsc.SetPIN(m_args.pin.c_str());
        CConnectDscMng& conns = m_device.m_Com.GetConnections();
        conns.Clear();
        conns.Add(dsc);
        conns.SetSel(0);
        return 0;
    }

    const Args& m_args;
    CConsole& m_console;
    CProfile m_profile; // before the device, which keeps a reference to it
    tk::CDataLock m_lock;
    CTK630 m_device;
    CCtlUI m_ui;
};

// --- commands with the unit

int Info(CSession& s) {
    CTK630& device = s.Device();
    s.Run([&] { return device.Online(); });
    if (device.m_Com.IsOnline())
        s.Run([&] { return device.Offline(); });
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
    s.Console().Out("Konfigurace byla uložena do souboru " + ForTerminal(file) + ".\n");
    return 0;
}

int WriteConfig(CSession& s) {
    const Args& a = s.Arguments();
    CTK630Cfg& cfg = s.Device().m_Cfg;
    if (cfg.LoadFile(a.file) != 1) {
        s.Console().Err(LinkText(TXT_CFG_LOAD_ERROR) + " (" + ForTerminal(a.file) + ")\n");
        return EXIT_FILE;
    }
    const uint32_t result = s.Run([&] {
        return s.Device().m_Com.Post(
            {CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&cfg), a.verify ? 1u : 0u});
    });
    if (result != 0)
        return CSession::ExitStatus(result);
    s.Console().Out(a.verify ? "Konfigurace byla zapsána do TK530 a ověřena.\n"
                             : "Konfigurace byla zapsána do TK530.\n");
    return 0;
}

int SetOutputs(CSession& s, uint8_t mask, uint8_t values) {
    const uint32_t result = s.Run([&] { return s.Device().SetOutputs(mask, values); });
    if (result != 0)
        return CSession::ExitStatus(result);
    s.Console().Out(IoText(s.UI().Snapshot().m_IO));
    return 0;
}

int SetTime(CSession& s, const std::optional<SysTime>& when) {
    const uint32_t result = s.Run([&] { return s.Device().SetTime(when ? &*when : nullptr); });
    if (result != 0)
        return CSession::ExitStatus(result);
    s.Console().Out(ClockText(s.UI().Snapshot().m_Time));
    return 0;
}

// The store could not save a message it took from the unit: try once more, else say so.
bool SmsSavedInTheEnd(CSession& s) {
    if (!s.UI().SmsSaveFailed() && s.Device().m_SMS.LastSaveError() == 0)
        return true;
    if (s.Device().m_SMS.Save() == 1)
        return true;
    s.Console().Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) + ")\n");
    return false;
}

int SmsRead(CSession& s) {
    const uint32_t result = s.Run([&] { return s.Device().ReadSms(); });
    const auto received = s.UI().Received();
    std::string out = "Načteno SMS: " + std::to_string(received.size()) + "\n";
    for (const auto& [sms, index] : received)
        out += SmsLine(*sms, index) + "\n";
    s.Console().Out(out);
    const bool saved = SmsSavedInTheEnd(s);
    if (result == LE_SMS_NOT_STORED)
        return EXIT_FILE; // the message the PC could not save stays on the unit
    if (result != 0)
        return CSession::ExitStatus(result);
    return saved ? 0 : EXIT_FILE;
}

int SmsSend(CSession& s, const CSMS& message) {
    CSMSMng& store = s.Device().m_SMS;
    const int index = store.AddAndShow(message, SMS_TOSEND);
    if (index < 0 || store.LastSaveError() != 0) {
        s.Console().Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) +
                        ")\n");
        return EXIT_FILE;
    }
    const uint32_t result = s.Run([&] { return s.Device().SendSms({index}); });
    const bool saved = SmsSavedInTheEnd(s);
    if (result != 0) {
        s.Console().Err("Zpráva zůstává v seznamu " + LinkText(TXT_SMS_LIST_BASE + SMS_TOSEND) +
                        ".\n");
        return CSession::ExitStatus(result);
    }
    s.Console().Out("SMS byla odeslána.\n");
    return saved ? 0 : EXIT_FILE;
}

int Monitor(CSession& s) {
    CTK630& device = s.Device();
    const bool json = s.Arguments().json;
    uint32_t result = s.Run([&] { return device.Online(); });
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
        const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
        while (!Interrupted() && (seconds == 0 || Clock::now() < end)) {
            const std::optional<MonitorEvent> ev = s.UI().NextMonitorEvent(IDLE_SLICE_MS);
            if (!ev)
                continue;
            if (ev->code == CE_OFFLINE) {
                result = s.UI().Result(); // the call dropped: 9
                break;
            }
            const std::string line =
                json ? MonitorJson(ev->code, ev->pcTime, ev->status, ev->sms.get(), ev->smsIndex)
                     : MonitorLine(ev->code, ev->pcTime, ev->status, ev->sms.get(), ev->smsIndex);
            // Nobody reads any more (a pipe to a program that has ended): end as for Ctrl+C.
            if (!s.Console().Out(line))
                break;
        }
    }
    if (device.m_Com.IsOnline())
        s.Run([&] { return device.Offline(); });
    const bool saved = SmsSavedInTheEnd(s);
    if (result == LE_SMS_NOT_STORED)
        return EXIT_FILE; // the message the PC could not save stays on the unit
    if (result != 0)
        return CSession::ExitStatus(result);
    return saved ? 0 : EXIT_FILE;
}

// --- local commands (no unit)

int SmsList(const Args& a, CConsole& console) {
    CSMSMng store;
    const bool damaged = Exists(CSMSMng::FilePath()) && store.Load() != 1;
    std::string out;
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        if (!a.list.empty() && list != SmsListByKey(a.list))
            continue;
        if (a.json)
            out += (out.empty() ? "" : ",") + SmsListJson(store, list);
        else
            out += SmsListText(store, list);
    }
    console.Out(a.json ? "{\"lists\":[" + out + "]}\n" : out);
    if (damaged) {
        console.Err("Soubor " + ForTerminal(CSMSMng::FilePath()) +
                    " je poškozený nebo jiné verze; vypsáno je jen to, co se podařilo načíst.\n");
        return EXIT_FILE;
    }
    return 0;
}

int SmsExport(const Args& a, CConsole& console) {
    CSMSMng store;
    if (Exists(CSMSMng::FilePath()) && store.Load() != 1) {
        console.Err("Soubor " + ForTerminal(CSMSMng::FilePath()) +
                    " je poškozený nebo jiné verze.\n");
        return EXIT_FILE;
    }
    if (SmsExportFileExists(a.file) && !a.append && !a.overwrite) {
        console.Err("Soubor " + ForTerminal(a.file) +
                    " již existuje: zvolte --append (pokračovat v zápisu), nebo --overwrite "
                    "(přepsat).\n");
        return EXIT_USAGE;
    }
    const int list = SmsListByKey(a.list);
    const int r =
        ExportSmsList(store, list, a.file, a.append ? SMS_EXPORT_APPEND : SMS_EXPORT_OVERWRITE);
    if (r == SMS_EXPORT_NOTHING) {
        console.Out("Seznam " + LinkText(TXT_SMS_LIST_BASE + static_cast<uint32_t>(list)) +
                    " je prázdný; nic nebylo uloženo.\n");
        return 0;
    }
    if (r != SMS_EXPORT_OK) {
        console.Err(std::string(ExportErrorText(r)) + " (" + ForTerminal(a.file) + ")\n");
        return EXIT_FILE;
    }
    console.Out("Uloženo SMS: " + std::to_string(store.GetCount(list)) + " do souboru " +
                ForTerminal(a.file) + ".\n");
    return 0;
}

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

int Modems(CConsole& console) {
    CModemMng modems;
    if (!LoadModems(modems, console))
        return EXIT_FILE;
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
    if (!lock.Acquire()) {
        RefuseLocked(console, lock);
        return false;
    }
    return LoadModems(modems, console);
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
        return EXIT_USAGE;
    }
    if (index < 0 || !modems.Save()) {
        console.Err("Seznam modemů se nepodařilo uložit (" + ForTerminal(CModemMng::FilePath()) +
                    ").\n");
        return EXIT_FILE;
    }
    console.Out("Přidán modem " +
                ModemLine(*modems.Get(static_cast<size_t>(index)), static_cast<size_t>(index)));
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
        ModemLine(*modems.Get(static_cast<size_t>(index)), static_cast<size_t>(index));
    modems.Remove(static_cast<size_t>(index));
    if (!modems.Save()) {
        console.Err("Seznam modemů se nepodařilo uložit (" + ForTerminal(CModemMng::FilePath()) +
                    ").\n");
        return EXIT_FILE;
    }
    // The profile names its modem by position: keep it on the same modem, or on none.
    CProfile profile;
    if (profile.Load() == PROFILE_OK && profile.m_nModem >= index) {
        profile.m_nModem = profile.m_nModem == index ? -1 : profile.m_nModem - 1;
        if (profile.Save() != PROFILE_OK)
            console.Err("Soubor Profile.dat se nepodařilo uložit.\n");
    }
    console.Out("Odstraněn modem " + line);
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
            char c = 0;
            while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
                if (c != '\r')
                    pinText += c;
            }
        }
    }
    const std::optional<std::string> pin = ToCp1250(console, "PIN", pinText);
    if (!pin)
        return EXIT_USAGE;
    if (pin->size() < PIN_MIN || pin->size() > PIN_MAX) {
        console.Err("PIN musí mít 4 až 8 znaků.\n");
        return EXIT_USAGE;
    }
    checked.number = *number;
    checked.pin = *pin;
    return 0;
}

// The message of sms-send as the store keeps it; nullopt after a refusal (reported).
std::optional<CSMS> ComposeSms(const Args& a, CConsole& console, int& status) {
    status = EXIT_USAGE;
    std::string text;
    std::string bad;
    switch (SmsTextFromUtf8(a.text, text, &bad)) {
    case SMS_INPUT_OK:
        break;
    case SMS_INPUT_BAD_CHAR:
        console.Err("Text SMS: znak " + Quoted(bad) + " nelze zapsat v kódování CP1250.\n");
        return std::nullopt;
    default:
        console.Err("Text SMS je delší než " + std::to_string(SMS_MAX_TEXT) + " znaků.\n");
        return std::nullopt;
    }
    if (text.empty()) {
        console.Err("Text SMS je prázdný.\n");
        return std::nullopt;
    }
    const std::optional<std::string> line = ToCp1250(console, "Příjemci", a.to);
    if (!line)
        return std::nullopt;
    CSMS sms;
    sms.SetTime(GetLocalTime());
    sms.SetText(text);
    sms.SetNumbers(*line);
    if (sms.GetNumberCount() == 0) {
        console.Err(LinkText(TXT_NO_RECIPIENT) + "\n");
        return std::nullopt;
    }
    if (!SmsFileSound(console)) {
        status = EXIT_FILE;
        return std::nullopt;
    }
    CSMSMng store;
    store.Load();
    if (store.GetCount(SMS_TOSEND) >= SMS_LIST_MAX) {
        // Adding would push the oldest unsent message out of the list.
        console.Err("Seznam " + LinkText(TXT_SMS_LIST_BASE + SMS_TOSEND) + " je plný (" +
                    std::to_string(SMS_LIST_MAX) +
                    " zpráv); nejdříve zprávy v něm odešlete nebo odstraňte.\n");
        return std::nullopt;
    }
    return sms;
}

} // namespace

int RunCommand(const Args& args) {
    CConsole console(::isatty(STDERR_FILENO) != 0);
    const std::string& cmd = args.command;

    if (cmd == "sms-list")
        return SmsList(args, console);
    if (cmd == "sms-export")
        return SmsExport(args, console);
    if (cmd == "modems")
        return Modems(console);
    if (cmd == "modem-add")
        return ModemAdd(args, console);
    if (cmd == "modem-del")
        return ModemDel(args, console);

    // Everything that can be refused without the unit is refused before connecting.
    Args a = args;
    if (const int r = CheckRemoteArgs(args, console, a); r != 0)
        return r;
    uint8_t setMask = 0;
    uint8_t clearMask = 0;
    std::optional<SysTime> when;
    std::optional<CSMS> message;
    LockUse lockUse = LockUse::Try;
    bool localOnly = false;
    if (cmd == "read-config") {
        if (!FolderOfFileExists(a.file) || IsFolder(a.file)) {
            console.Err(LinkText(TXT_CFG_SAVE_ERROR) + " (" + ForTerminal(a.file) + ")\n");
            return EXIT_FILE;
        }
    } else if (cmd == "write-config") {
        CTK630Cfg probe;
        if (probe.LoadFile(a.file) != 1) {
            console.Err(LinkText(TXT_CFG_LOAD_ERROR) + " (" + ForTerminal(a.file) + ")\n");
            return EXIT_FILE;
        }
    } else if (cmd == "set-outputs") {
        if ((!a.setChannels.empty() && !ParseChannels(a.setChannels, setMask)) ||
            (!a.clearChannels.empty() && !ParseChannels(a.clearChannels, clearMask))) {
            console.Err("Kanály se zadávají čísly 1 až 5, např. 1,3-5.\n");
            return EXIT_USAGE;
        }
        if ((setMask & clearMask) != 0) {
            console.Err("Kanál nemůže být zároveň v --set i v --clear.\n");
            return EXIT_USAGE;
        }
        if ((setMask | clearMask) == 0) {
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
            when = t;
        }
    } else if (cmd == "sms-read" || cmd == "sms-send") {
        lockUse = LockUse::Require;
        localOnly = true;
        if (cmd == "sms-send") {
            int status = 0;
            message = ComposeSms(a, console, status);
            if (!message)
                return status;
        } else if (!SmsFileSound(console)) {
            return EXIT_FILE;
        }
    } else if (cmd == "monitor") {
        // Over a cable the keepalive also fetches the unit's messages into "SMS.dat".
        CProfile profile;
        profile.Load();
        if (a.modem.empty() && (!a.port.empty() || profile.m_nConnType == CONN_LOCAL)) {
            lockUse = LockUse::Require;
            if (!SmsFileSound(console))
                return EXIT_FILE;
        }
    }

    CSession session(a, console);
    if (const int r = session.Open(lockUse, localOnly); r != 0)
        return r;
    // A message the unit gives up must have a place to go.
    if (lockUse == LockUse::Require && !CanWriteBeside(CSMSMng::FilePath())) {
        console.Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) + ")\n");
        return EXIT_FILE;
    }

    if (cmd == "info")
        return Info(session);
    if (cmd == "status")
        return Status(session);
    if (cmd == "read-config")
        return ReadConfig(session);
    if (cmd == "write-config")
        return WriteConfig(session);
    if (cmd == "set-outputs")
        return SetOutputs(session, setMask | clearMask, setMask);
    if (cmd == "set-time")
        return SetTime(session, when);
    if (cmd == "sms-read")
        return SmsRead(session);
    if (cmd == "sms-send")
        return SmsSend(session, *message);
    if (cmd == "monitor")
        return Monitor(session);
    console.Err("Neznámý příkaz " + Quoted(cmd) + ".\n");
    return EXIT_USAGE;
}

} // namespace ctl
