#include "tools/cli/CtlSession.h"

#include "base/Cp1250.h"
#include "base/SafeFile.h"
#include "base/SysError.h"
#include "base/Texts.h"
#include "link/LinkError.h"
#include "link/ModemList.h"
#include "link/PortAccess.h"
#include "link/SerCom.h"
#include "link/TAPIMng.h"
#include "sms/SMSMng.h"
#include "tools/cli/CtlFormat.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ctl {

namespace {

constexpr size_t PORT_MAX = 4000; // what the profile keeps of a path
constexpr size_t MODEM_NAME_MAX = sizeof(CModemInf::m_szName) - 1;
constexpr int IDLE_SLICE_MS = 200;

CSession* g_sharedSession = nullptr;

// The lock was not taken: either another program holds the Data files, or the folder itself
// cannot be made or opened (a program folder the user may not write), which is said as such.
void RefuseLocked(CConsole& console, const tk::CDataLock& lock) {
    if (lock.Busy())
        console.Err("Soubory ve složce Data právě mění jiný program (ovládací panel?) a neuvolnil "
                    "je ani po " +
                    std::to_string(tk::kDataLockWaitMs / 1000) +
                    " s; příkaz, který je mění, nyní nelze provést. Zkuste to znovu.\n  (" +
                    ForTerminal(lock.Error()) + ")\n");
    else
        console.Err("Složku Data nelze vytvořit ani otevřít, příkaz nelze provést: " +
                    ForTerminal(lock.Error()) + "\n");
}

UIOptions UIOptionsFor(const Args& args) {
    UIOptions o;
    o.interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
    o.retries = args.retries;
    return o;
}

} // namespace

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

std::optional<std::string> ToCp1250(CConsole& console, std::string_view what,
                                    const std::string& utf8) {
    std::string out;
    std::string bad;
    if (tk::Utf8ToCp1250(utf8, out, &bad))
        return out;
    console.Err(std::string(what) + ": znak " + Quoted(bad) + " nelze zapsat v kódování CP1250.\n");
    return std::nullopt;
}

bool FolderOfFileExists(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return true;
    return IsFolder(slash == 0 ? "/" : path.substr(0, slash));
}

bool CanWriteBeside(const std::string& path) {
    tk::CSafeFileWriter probe;
    const bool ok = probe.Open(path, 0600);
    probe.Discard();
    return ok;
}

std::string SaveFailure(const std::string& path) {
    tk::CSafeFileWriter probe;
    if (probe.Open(path, 0600)) {
        probe.Discard();
        return " (" + ForTerminal(path) + ")";
    }
    return " (" + ForTerminal(path) + ": " + tk::FileErrorText(probe.Error()) + ")";
}

std::string PlantedFileText(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return "Soubor " + ForTerminal(path) + ": " +
           tk::FileErrorText(S_ISLNK(st.st_mode) ? tk::kRefusedLink : tk::kRefusedKind);
}

bool SmsFileSound(CConsole& console) {
    const std::string path = CSMSMng::FilePath();
    // A link or FIFO planted where the store belongs is neither read nor written through.
    if (const std::string planted = PlantedFileText(path); !planted.empty()) {
        console.Err(planted + "; nebude změněn.\n");
        return false;
    }
    if (!Exists(path))
        return true;
    CSMSMng probe;
    if (probe.Load() == 1)
        return true;
    console.Err("Soubor " + ForTerminal(path) +
                " je poškozený nebo jiné verze; aby se o jeho obsah nepřišlo, nebude změněn.\n");
    return false;
}

bool LockData(tk::CDataLock& own, CConsole& console) {
    if (own.Acquire(tk::kDataLockWaitMs))
        return true;
    RefuseLocked(console, own);
    return false;
}

namespace {

bool IsControllingTerminal(const std::string& port) {
    if (IsNetworkPort(port))
        return false;
    const std::string path = port[0] == '/' ? port : "/dev/" + port;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    if (st.st_rdev == makedev(5, 0)) // /dev/tty
        return true;
    const int fd = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false; // no controlling terminal
    struct stat own {};
    const bool same = ::fstat(fd, &own) == 0 && own.st_rdev == st.st_rdev;
    ::close(fd);
    return same;
}

} // namespace

std::optional<std::string> ProfilePort(const std::string& given, CConsole& console) {
    std::string port = given;
    if (port.empty()) {
        console.Err("Název portu je prázdný.\n");
        return std::nullopt;
    }
    // A serial device server on the network: kept as written, once its form is sound.
    if (IsNetworkPort(port)) {
        std::string reason;
        if (!ParseNetPort(port, nullptr, &reason)) {
            console.Err(ForTerminal(reason) + "\n");
            return std::nullopt;
        }
    } else if (port[0] != '/' && port.find('/') != std::string::npos) {
        // A name with a slash is a path, as a shell user means it; only a bare name is a
        // device in /dev.
        char real[PATH_MAX];
        if (::realpath(port.c_str(), real)) {
            port = real;
        } else {
            char cwd[PATH_MAX];
            if (::getcwd(cwd, sizeof cwd))
                port = std::string(cwd) + "/" + port;
        }
    }
    // The controlling terminal is the user's own screen and keyboard: as a port it would be
    // switched to raw mode under the user's shell.
    if (IsControllingTerminal(port)) {
        console.Err("Port " + Quoted(given) +
                    " je terminál, ze kterého program běží; zvolte sériový port.\n");
        return std::nullopt;
    }
    // A long path (a /dev/serial/by-id name) is kept whole: it names the adapter, wherever it
    // is plugged in. Only a line break cannot be kept.
    if (port.find_first_of("\r\n") != std::string::npos || port.size() > PORT_MAX) {
        console.Err("Název portu " + Quoted(given) +
                    " nelze uložit: obsahuje konec řádku nebo je "
                    "delší než " +
                    std::to_string(PORT_MAX) + " znaků.\n");
        return std::nullopt;
    }
    return port;
}

// --- CSession

CSession::CSession(const Args& args, CConsole& console)
    : m_args(&args), m_console(console), m_storeReport(console), m_device(m_profile),
      m_ui(m_device, console, UIOptionsFor(args)) {}

CSession::~CSession() {
    m_device.Stop(); // an open session is closed first
    RemoveInterruptHandler();
    if (g_sharedSession == this)
        g_sharedSession = nullptr;
}

void CSession::SetShared(bool shared) {
    m_bShared = shared;
    g_sharedSession = shared ? this : nullptr;
}

void CStoreDamageReport::OnSmsStoreDamaged(const std::string& copy) {
    const std::string path = CSMSMng::FilePath();
    m_console.Err("Soubor " + ForTerminal(path) + " byl poškozený" +
                  (copy.empty() ? "; jeho kopii se nepodařilo uložit, proto nebude změněn.\n"
                                : "; jeho obsah je uložen v " + ForTerminal(copy) +
                                      " a soubor se nyní ukládá znovu.\n"));
}

CSession* SharedSession() {
    return g_sharedSession;
}

int CSession::Open(LockUse lockUse, bool localOnly) {
    const Args& args = *m_args;
    const bool haveProfile = m_profile.Load() == PROFILE_OK; // else the defaults, as the panel
    if (m_profile.m_bBadConnType)
        m_console.Err("Soubor Profile.dat uvádí neznámý způsob přístupu; použije se lokální "
                      "přístup (kabelem).\n");
    bool override = false;
    if (!args.port.empty()) {
        const std::optional<std::string> port = ProfilePort(args.port, m_console);
        if (!port)
            return EXIT_USAGE;
        m_profile.m_nConnType = CONN_LOCAL;
        if (m_profile.SetPortPath(*port) != PROFILE_OK)
            return EXIT_USAGE; // ProfilePort refuses what the profile cannot keep
        override = true;
    }
    if (!args.modem.empty()) {
        m_profile.m_nConnType = CONN_REMOTE;
        override = true;
    }
    if (args.trace)
        m_profile.m_bLog = 1;
    if (!haveProfile && !override) {
        // Nothing says which port: say which one is tried, and how to choose another.
        m_console.Err("Soubor Profile.dat neexistuje, použije se port " +
                      Quoted(m_profile.PortPath()) + " (" +
                      ForTerminal(SerialDevicePath(m_profile.PortPath())) +
                      "). Jiný port: --port ZAŘÍZENÍ, proměnná TK530_PORT, nebo trvale "
                      "tk530ctl settings --port ZAŘÍZENÍ.\n");
    }
    if (localOnly && m_profile.m_nConnType != CONN_LOCAL) {
        m_console.Err("SMS lze číst a odesílat jen při lokálním přístupu (kabelem).\n");
        return EXIT_USAGE;
    }
    // The Data files are changed one change at a time, each under the lock (the SMS store
    // does so itself): a whole session never holds it, so the control panel stays usable.
    // A command that changes them only checks that they can be locked at all.
    if (lockUse == LockUse::Require) {
        tk::CDataLock probe;
        if (!probe.Acquire(tk::kDataLockWaitMs)) {
            RefuseLocked(m_console, probe);
            return EXIT_FILE;
        }
    }

    m_device.m_Com.SetProgressSink(&m_ui);
    m_device.m_Com.SetEventSink(&m_ui);
    // The pauses only let a progress dialog show its full bar.
    m_device.m_Com.SetPauseMs(0);
    m_device.m_Com.SetTimeoutScale(args.timeoutScale);
    // A connection given on the command line is for this run: the list stays as it is.
    m_device.m_Com.SetSaveConnectionsOnStop(!override);

    // Only this thread takes Ctrl+C (the engine starts its worker with the signals blocked);
    // they stay open while the program's files are opened, so nothing there can hang it.
    m_device.m_SMS.AddListener(&m_storeReport);
    const uint32_t started = m_device.Start();
    InstallInterruptHandler(&m_device.m_Com);
    if (started != 1) {
        m_console.Err(LinkText(TXT_INIT_ERROR) + std::to_string(started) + "\n");
        return EXIT_INTERNAL;
    }
    if (!args.modem.empty())
        return ChooseRemote();
    return 0;
}

uint32_t CSession::Run(const std::function<uint32_t()>& post) {
    const uint32_t queued = post();
    if (queued != 1) {
        m_console.Err(LinkText(TXT_INIT_ERROR) + std::to_string(queued) + "\n");
        return EXIT_INTERNAL;
    }
    while (!m_device.m_Com.WaitIdle(IDLE_SLICE_MS)) {
    }
    const uint32_t result = m_ui.Result();
    HintPortGroup(result);
    // The worker is idle: what it found when it opened the trace can be read now.
    const std::string& traceError = m_device.m_Com.SerCom().LogError();
    if (!traceError.empty() && !m_bTraceTold) {
        m_bTraceTold = true;
        m_console.Err("Záznam komunikace se nezapisuje: " + ForTerminal(traceError) + "\n");
    }
    return result;
}

// A port refused for lack of permission: once per user, how to join the group that owns it.
void CSession::HintPortGroup(uint32_t result) {
    PortGroupHint hint;
    if (m_bHinted || !ShouldGivePortGroupHint(result, m_ui.PortFailure(), hint))
        return;
    m_bHinted = true;
    m_console.Err(ForTerminal(PortGroupHintText(hint), true));
}

// The modem and the connection given on the command line, for this run only.
int CSession::ChooseRemote() {
    CModemMng& modems = m_device.m_Com.GetModems().Modems();
    const std::string& ref = m_args->modem;
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
            ref[0] == '/' ||
            (ref.size() > 3 && strncasecmp(ref.c_str(), "COM", 3) == 0 && AllDigits(ref.substr(3)));
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
    dsc.SetNum(m_args->number.c_str());
    dsc.SetPIN(m_args->pin.c_str());
    CConnectDscMng& conns = m_device.m_Com.GetConnections();
    conns.Clear();
    conns.Add(dsc);
    conns.SetSel(0);
    return 0;
}

} // namespace ctl
