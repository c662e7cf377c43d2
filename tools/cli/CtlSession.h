// What the commands of tk530ctl share: small checks and texts, the Data-folder lock of the
// process, and the session with the unit through the link engine.
#pragma once

#include "app/Device.h"
#include "base/DataLock.h"
#include "config/Profile.h"
#include "tools/cli/CtlCommands.h"
#include "tools/cli/CtlUI.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ctl {

bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
bool AllDigits(const std::string& s);
// A text for a message, in quotes and without control characters.
std::string Quoted(std::string_view s);
// A numbered text of the program (UTF-8).
std::string LinkText(uint32_t textId);
// User input (UTF-8) as CP1250 for the unit and the files; a message when it cannot be.
std::optional<std::string> ToCp1250(CConsole& console, std::string_view what,
                                    const std::string& utf8);
// The folder in which a file would be written exists.
bool FolderOfFileExists(const std::string& path);
// A file can be created beside `path` (the folder exists and takes new files).
bool CanWriteBeside(const std::string& path);
// For a message after a failed save: " (path)", with the system's reason when the folder
// refuses new files (" (path: Permission denied)").
std::string SaveFailure(const std::string& path);
// "SMS.dat" either does not exist or reads whole: a command that changes the store must not
// replace a file that holds more than could be read.
bool SmsFileSound(CConsole& console);
// Why the program's file at `path` is refused when a link or FIFO stands there (its path and
// the reason, for a message); empty when it is a regular file or missing.
std::string PlantedFileText(const std::string& path);

// The Data folder for a command that changes its files, for the change only: `own` takes the
// lock, waiting briefly while another program changes them. False after a refusal (reported).
bool LockData(tk::CDataLock& own, CConsole& console);

// A port as the user gave it, in the form the profile keeps: "COM2", "ttyUSB0" (a device in
// /dev), or an absolute path ("./x" is a path relative to the current folder; a long path such
// as a /dev/serial/by-id name is kept as it stands). nullopt after a refusal.
std::optional<std::string> ProfilePort(const std::string& given, CConsole& console);

class CSession;

// The commands in their own files.
int SmsList(const Args& a, CConsole& console);
int SmsExport(const Args& a, CConsole& console);
int SmsShow(const Args& a, CConsole& console);
int SmsDelete(const Args& a, CConsole& console);
int SmsMarkRead(const Args& a, CConsole& console);
int Settings(const Args& a, CConsole& console);
int Find(const Args& a, CConsole& console);
// The message of sms-send as the store keeps it; nullopt after a refusal (reported, its exit
// status in `status`).
std::optional<CSMS> ComposeSms(const Args& a, CConsole& console, int& status);
// The positions in the to-send list that sms-resend sends; 0 or the status of a refusal.
int PrepareResend(const Args& a, CConsole& console, std::vector<int32_t>& indices);
int SmsRead(CSession& s);
int SmsSend(CSession& s, const CSMS& message);
int SmsResend(CSession& s, const std::vector<int32_t>& indices);
// The store could not save a message it took from the unit: try once more, else say so.
bool SmsSavedInTheEnd(CSession& s);
// The exit status after reading messages ended with `result`: the store saved in the end
// (SmsSavedInTheEnd), a message the PC could not store, or the link's error.
int SmsReadStatus(CSession& s, uint32_t result);

// Tells on stderr, before the first save over an SMS.dat that was not loaded whole, where
// the file's content was kept; the store's other news are for windows only.
class CStoreDamageReport : public ISMSStoreListener {
public:
    explicit CStoreDamageReport(CConsole& console) : m_console(console) {}
    void OnSmsStoreDamaged(const std::string& copy) override;

private:
    CConsole& m_console;
};

// The session of `do` while it runs, else nullptr: its steps change its SMS store.
CSession* SharedSession();

enum class LockUse {
    Try,     // the command changes no Data file of its own accord
    Require, // the command changes the Data files: refused when they cannot be locked now
};

class CSession {
public:
    CSession(const Args& args, CConsole& console);
    ~CSession();
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // The settings, the lock and the engine. 0, or the exit status of a refusal (already
    // reported).
    int Open(LockUse lockUse, bool localOnly);

    // Queues a command (through `post`), waits until its sequence has ended, and returns the
    // outcome so far (0 or the first failure).
    uint32_t Run(const std::function<uint32_t()>& post);

    static int ExitStatus(uint32_t result) { return static_cast<int>(result); }

    CTK630& Device() { return m_device; }
    CCtlUI& UI() { return m_ui; }
    CConsole& Console() { return m_console; }
    const Args& Arguments() const { return *m_args; }
    // The arguments of the step that runs now (`do` runs several in one session).
    void SetArguments(const Args& args) { m_args = &args; }
    // The session was opened by `do`, which connects once for all its steps.
    bool Shared() const { return m_bShared; }
    void SetShared(bool shared);

private:
    int ChooseRemote();
    void HintPortGroup(uint32_t result);

    const Args* m_args;
    CConsole& m_console;
    CProfile m_profile;               // before the device, which keeps a reference to it
    CStoreDamageReport m_storeReport; // before the device, whose store tells it at the end
    CTK630 m_device;
    CCtlUI m_ui;
    bool m_bShared = false;
    bool m_bHinted = false;
    bool m_bTraceTold = false;
};

} // namespace ctl
