// The SMS commands of tk530ctl: the recipients of a new message, reading and sending through
// the unit, and the local lists (show, delete, mark read, export).
#include "base/Cp1250.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "sms/Recipients.h"
#include "sms/SMSExport.h"
#include "tools/cli/CtlFormat.h"
#include "tools/cli/CtlSession.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>

namespace ctl {

namespace {

std::string ListName(int list) {
    return LinkText(TXT_SMS_LIST_BASE + static_cast<uint32_t>(list));
}

// The text of --text: "-" reads standard input (one final line break dropped). No text can
// be longer than SMS_MAX_TEXT characters of four bytes each; more input, or a NUL (which would
// end the text unseen), is refused with the reason in `why`.
std::optional<std::string> MessageText(const Args& a, std::string& why) {
    if (a.text != "-")
        return a.text;
    std::string text;
    if (tk::ReadStreamContent(STDIN_FILENO, text, SMS_MAX_TEXT * 4 + 2) != 0) {
        why = "Text SMS ze standardního vstupu je delší než " + std::to_string(SMS_MAX_TEXT) +
              " znaků.";
        return std::nullopt;
    }
    if (text.find('\0') != std::string::npos) {
        why = "Text SMS ze standardního vstupu obsahuje znak NUL; takový text odeslat nelze.";
        return std::nullopt;
    }
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

// The store for a command that changes it, under the Data lock and as "SMS.dat" holds it now:
// in a session of `do` the session's own, read again when another program changed the file
// (the link adds fetched messages to it meanwhile, and it is saved after every change), else
// one read from the file. The exit status.
int ChangeStore(CConsole& console, const std::function<int(CSMSMng&)>& change) {
    tk::CDataLock lock;
    if (!LockData(lock, console) || !SmsFileSound(console))
        return EXIT_FILE;
    if (CSession* s = SharedSession()) {
        const auto held = s->UI().LockStore();
        s->Device().m_SMS.SyncWithFile();
        return change(s->Device().m_SMS);
    }
    CSMSMng store;
    CStoreDamageReport report(console);
    store.AddListener(&report);
    store.Load();
    return change(store);
}

// The store for reading: a damaged file is reported, what could be read is kept.
bool OpenStore(CSMSMng& store, CConsole& console) {
    if (const std::string planted = PlantedFileText(CSMSMng::FilePath()); !planted.empty()) {
        console.Err(planted + ".\n");
        return false;
    }
    if (!Exists(CSMSMng::FilePath()) || store.Load() == 1)
        return true;
    console.Err("Soubor " + ForTerminal(CSMSMng::FilePath()) + " je poškozený nebo jiné verze.\n");
    return false;
}

// The indices of a command, as sms-list shows them: each in the list, ascending, once.
bool CheckIndices(const CSMSMng& store, int list, std::vector<int> indices, CConsole& console,
                  std::vector<int32_t>& out) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    for (const int i : indices) {
        if (i < 0 || i >= store.GetCount(list)) {
            console.Err("Seznam " + ListName(list) + " nemá zprávu č. " + std::to_string(i) +
                        " (má " + std::to_string(store.GetCount(list)) +
                        " zpráv, číslované od 0; viz tk530ctl sms-list).\n");
            return false;
        }
        out.push_back(i);
    }
    return true;
}

// An export line: the line of the text export, with a TAB, a line break or a backslash in
// the text written as \t, \n and \\ so that every message stays one line of three fields.
std::string ExportLine(const CSMS& sms) {
    CMemoryWriter plain;
    CSMS stamp(sms);
    stamp.SetText("");
    stamp.WriteText(plain);
    std::string line(reinterpret_cast<const char*>(plain.Data().data()), plain.Data().size());
    line.resize(line.size() - 2); // CR LF
    const char* text = sms.GetText();
    for (size_t i = 0; text && text[i]; ++i) {
        switch (text[i]) {
        case '\t':
            line += "\\t";
            break;
        case '\r':
            line += "\\n";
            if (text[i + 1] == '\n')
                ++i;
            break;
        case '\n':
            line += "\\n";
            break;
        case '\\':
            line += "\\\\";
            break;
        default:
            line += text[i];
        }
    }
    return line + "\r\n";
}

std::string ReceivedJson(const CSMS& sms, int index) {
    const std::string list =
        index >= 0 ? JsonString(SmsListKey(SMS_RECEIVED)) : std::string("null");
    return "{\"list\":" + list + "," + SmsJson(sms, index).substr(1);
}

} // namespace

std::optional<CSMS> ComposeSms(const Args& a, CConsole& console, int& status) {
    status = EXIT_USAGE;
    // Each --to may name several recipients, as in the editor's recipient line: one rule.
    std::string line;
    for (const std::string& given : a.to)
        line += given + "\n";
    const RecipientList recipients = ParseRecipients(line);
    if (recipients.error != RCPT_OK) {
        console.Err(RecipientErrorText(recipients) + "\n");
        return std::nullopt;
    }
    const std::vector<std::string>& numbers = recipients.numbers;
    if (numbers.empty()) {
        console.Err(LinkText(TXT_NO_RECIPIENT) + "\n");
        return std::nullopt;
    }
    std::string why;
    const std::optional<std::string> given = MessageText(a, why);
    if (!given) {
        console.Err(why + "\n");
        return std::nullopt;
    }
    std::string text;
    std::string bad;
    switch (SmsTextFromUtf8(*given, text, &bad)) {
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
    CSMS sms;
    sms.SetTime(GetLocalTime());
    sms.SetText(text);
    for (const std::string& number : numbers)
        sms.AddNumber(number);
    sms.SetUnread(false); // written here, so read
    if (!SmsFileSound(console)) {
        status = EXIT_FILE;
        return std::nullopt;
    }
    CSMSMng store;
    store.Load();
    if (store.GetCount(SMS_TOSEND) >= SMS_LIST_MAX) {
        // Adding would push the oldest unsent message out of the list.
        console.Err("Seznam " + ListName(SMS_TOSEND) + " je plný (" + std::to_string(SMS_LIST_MAX) +
                    " zpráv): odešlete je (sms-resend) nebo odstraňte (sms-delete tosend N).\n");
        status = EXIT_REFUSED;
        return std::nullopt;
    }
    return sms;
}

bool SmsSavedInTheEnd(CSession& s) {
    const auto held = s.UI().LockStore();
    if (!s.UI().SmsSaveFailed() && s.Device().m_SMS.LastSaveError() == 0)
        return true;
    if (s.Device().m_SMS.SaveChanges() == 1)
        return true;
    s.Console().Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) + ")\n");
    return false;
}

int SmsReadStatus(CSession& s, uint32_t result) {
    const bool saved = SmsSavedInTheEnd(s);
    if (result == LE_SMS_NOT_STORED)
        return EXIT_FILE; // the message the PC could not save stays on the unit
    if (result != 0)
        return CSession::ExitStatus(result);
    return saved ? 0 : EXIT_FILE;
}

int SmsRead(CSession& s) {
    const uint32_t result = s.Run([&] { return s.Device().ReadSms(); });
    auto received = s.UI().Received();
    {
        // The indices they got when stored: a later message may have pushed earlier ones
        // down, or out of the full list (to the archive), since.
        const auto held = s.UI().LockStore();
        int position = s.Device().m_SMS.GetCount(SMS_RECEIVED);
        for (auto it = received.rbegin(); it != received.rend(); ++it) {
            if (it->second >= 0)
                it->second = --position >= 0 ? position : -2;
        }
    }
    std::string out;
    if (s.Arguments().json) {
        out = "{\"count\":" + std::to_string(received.size()) + ",\"messages\":[";
        for (size_t i = 0; i < received.size(); ++i)
            out += (i ? "," : "") + ReceivedJson(*received[i].first, received[i].second);
        out += "]}\n";
    } else {
        out = "Načteno SMS: " + std::to_string(received.size()) +
              (received.empty() ? "\n" : " (v jednotce byly smazány)\n");
        for (const auto& [sms, index] : received) {
            const std::string where = index >= 0    ? ListName(SMS_RECEIVED)
                                      : index == -2 ? "vytlačena do archivu"
                                                    : "jen v paměti";
            out += where + ": " + SmsLine(*sms, index) + "\n";
        }
    }
    s.Console().Out(out);
    // Unread messages that a full list gave up are kept, and the user learns where.
    if (const int archived = s.Device().m_SMS.ArchivedCount(); archived > 0)
        s.Console().Err("Nepřečtené SMS, které se do seznamu nevešly, uloženy do archivu: " +
                        std::to_string(archived) + " (" + ForTerminal(CSMSMng::ArchivePath()) +
                        ")\n");
    return SmsReadStatus(s, result);
}

int SmsSend(CSession& s, const CSMS& message) {
    CSMSMng& store = s.Device().m_SMS;
    int index = -1;
    bool saved = false;
    {
        const auto held = s.UI().LockStore();
        index = store.AddAndShow(message, SMS_TOSEND);
        saved = store.LastSaveError() == 0;
    }
    if (index < 0 || !saved) {
        s.Console().Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) +
                        ")\n");
        return EXIT_FILE;
    }
    const uint32_t result = s.Run([&] {
        const auto held = s.UI().LockStore(); // the worker waits for the queue's answer only
        return s.Device().SendSms({index});
    });
    saved = SmsSavedInTheEnd(s);
    if (result != 0) {
        s.Console().Err("Zpráva zůstává v seznamu " + ListName(SMS_TOSEND) +
                        " (sms-resend ji "
                        "odešle znovu).\n");
        return CSession::ExitStatus(result);
    }
    std::string numbers;
    for (int i = 0; i < message.GetNumberCount(); ++i)
        numbers += (i ? "," : "") + JsonString(message.GetNumber(i));
    s.Console().Out(s.Arguments().json ? "{\"sent\":1,\"numbers\":[" + numbers + "]}\n"
                                       : "SMS byla odeslána.\n");
    return saved ? 0 : EXIT_FILE;
}

int PrepareResend(const Args& a, CConsole& console, std::vector<int32_t>& indices) {
    CSMSMng store;
    if (!SmsFileSound(console))
        return EXIT_FILE;
    store.Load();
    std::vector<int> wanted = a.indices;
    if (wanted.empty()) {
        for (int i = 0; i < store.GetCount(SMS_TOSEND); ++i)
            wanted.push_back(i);
    }
    if (!CheckIndices(store, SMS_TOSEND, wanted, console, indices))
        return EXIT_USAGE;
    for (const int32_t i : indices) {
        const CSMS* sms = store.Get(i, SMS_TOSEND);
        if (sms->GetNumberCount() == 0 || sms->GetTextLength() == 0) {
            console.Err("Zpráva č. " + std::to_string(i) + " seznamu " + ListName(SMS_TOSEND) +
                        " nemá příjemce nebo text; odstraňte ji (sms-delete tosend " +
                        std::to_string(i) + ").\n");
            return EXIT_REFUSED;
        }
    }
    return 0;
}

int SmsResend(CSession& s, const std::vector<int32_t>& indices) {
    const bool json = s.Arguments().json;
    if (indices.empty()) {
        s.Console().Out(json ? "{\"sent\":0,\"waiting\":0}\n"
                             : "Seznam " + ListName(SMS_TOSEND) + " je prázdný.\n");
        return 0;
    }
    const uint32_t result = s.Run([&] {
        const auto held = s.UI().LockStore();
        return s.Device().SendSms(indices);
    });
    const bool saved = SmsSavedInTheEnd(s);
    const int sent = s.UI().SentCount();
    int waiting = 0;
    {
        const auto held = s.UI().LockStore();
        waiting = s.Device().m_SMS.GetCount(SMS_TOSEND);
    }
    s.Console().Out(json
                        ? "{\"sent\":" + std::to_string(sent) +
                              ",\"waiting\":" + std::to_string(waiting) + "}\n"
                        : "Odesláno SMS: " + std::to_string(sent) + " z " +
                              std::to_string(indices.size()) + "; v seznamu " +
                              ListName(SMS_TOSEND) + " zůstává " + std::to_string(waiting) + ".\n");
    if (result != 0)
        return CSession::ExitStatus(result);
    return saved ? 0 : EXIT_FILE;
}

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
    if (const std::string planted = PlantedFileText(CSMSMng::FilePath()); !planted.empty()) {
        console.Err(planted + ".\n");
        return EXIT_FILE;
    }
    if (damaged) {
        console.Err("Soubor " + ForTerminal(CSMSMng::FilePath()) +
                    " je poškozený nebo jiné verze; vypsáno je jen to, co se podařilo načíst.\n");
        return EXIT_FILE;
    }
    return 0;
}

int SmsShow(const Args& a, CConsole& console) {
    CSMSMng store;
    if (!OpenStore(store, console))
        return EXIT_FILE;
    const int list = SmsListByKey(a.list);
    std::vector<int32_t> index;
    if (!CheckIndices(store, list, a.indices, console, index) || index.size() != 1)
        return EXIT_USAGE;
    const CSMS& sms = *store.Get(index[0], list);
    if (a.json) {
        console.Out("{\"list\":" + JsonString(SmsListKey(list)) + "," +
                    SmsJson(sms, index[0]).substr(1) + "\n");
        return 0;
    }
    std::string numbers;
    for (int i = 0; i < sms.GetNumberCount(); ++i)
        numbers += (i ? ", " : "") + tk::Cp1250ToUtf8(sms.GetNumber(i));
    const char* text = sms.GetText();
    const std::string body = text ? tk::Cp1250ToUtf8(text) : std::string();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d  %d.%d.%d", sms.m_nHour, sms.m_nMinute,
                  sms.m_nSecond, sms.m_nDay, sms.m_nMonth, 2000 + sms.m_nYear);
    console.Out("seznam:  " + ListName(list) + "\nzpráva:  " + std::to_string(index[0]) +
                (sms.IsUnread() ? " (nepřečtená)" : " (přečtená)") + "\nčas:     " + stamp +
                "\nčísla:   " + (numbers.empty() ? "-" : ForTerminal(numbers)) + "\ntext (" +
                std::to_string(sms.GetTextLength()) + " znaků):\n" + ForTerminal(body, true) +
                "\n");
    return 0;
}

int SmsDelete(const Args& a, CConsole& console) {
    const int list = SmsListByKey(a.list);
    return ChangeStore(console, [&](CSMSMng& store) {
        std::vector<int32_t> indices;
        if (!CheckIndices(store, list, a.indices, console, indices))
            return EXIT_USAGE;
        const int deleted =
            store.DeleteAndShow(list, indices.data(), static_cast<int>(indices.size()));
        if (store.LastSaveError() != 0) {
            console.Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) +
                        ")\n");
            return EXIT_FILE;
        }
        console.Out(a.json ? "{\"list\":" + JsonString(SmsListKey(list)) +
                                 ",\"deleted\":" + std::to_string(deleted) +
                                 ",\"count\":" + std::to_string(store.GetCount(list)) + "}\n"
                           : "Smazáno SMS: " + std::to_string(deleted) + " ze seznamu " +
                                 ListName(list) + "; zůstává " +
                                 std::to_string(store.GetCount(list)) + ".\n");
        return 0;
    });
}

int SmsMarkRead(const Args& a, CConsole& console) {
    const int list = a.list.empty() ? SMS_RECEIVED : SmsListByKey(a.list);
    return ChangeStore(console, [&](CSMSMng& store) {
        std::vector<int> wanted = a.indices;
        if (wanted.empty()) {
            for (int i = 0; i < store.GetCount(list); ++i)
                wanted.push_back(i);
        }
        std::vector<int32_t> indices;
        if (!CheckIndices(store, list, wanted, console, indices))
            return EXIT_USAGE;
        int marked = 0;
        for (const int32_t i : indices) {
            CSMS* sms = store.Get(i, list);
            if (!sms->IsUnread())
                continue;
            sms->SetUnread(false);
            store.UpdateAndShow(i, list);
            ++marked;
        }
        if (store.LastSaveError() != 0) {
            console.Err(LinkText(TXT_SMS_SAVE_ERROR) + " (" + ForTerminal(CSMSMng::FilePath()) +
                        ")\n");
            return EXIT_FILE;
        }
        console.Out(a.json ? "{\"list\":" + JsonString(SmsListKey(list)) +
                                 ",\"marked\":" + std::to_string(marked) + "}\n"
                           : "Označeno jako přečtené: " + std::to_string(marked) + " v seznamu " +
                                 ListName(list) + ".\n");
        return 0;
    });
}

namespace {

// Export lines shown on a terminal: a text or number could carry escape sequences that the
// terminal would obey, so control characters are shown as in every other output; the TABs
// between the fields and the line ends stay. A file or pipe gets the lines unchanged.
std::string ExportLinesForTerminal(const std::string& lines) {
    std::string out;
    size_t start = 0;
    while (start <= lines.size()) {
        const size_t tab = std::min(lines.find('\t', start), lines.size());
        out += ForTerminal(std::string_view(lines).substr(start, tab - start), true);
        if (tab < lines.size())
            out += '\t';
        start = tab + 1;
    }
    return out;
}

} // namespace

int SmsExport(const Args& a, CConsole& console) {
    CSMSMng store;
    if (!OpenStore(store, console))
        return EXIT_FILE;
    const bool toStdout = a.file == "-";
    if (!toStdout && SmsExportFileExists(a.file) && !a.append && !a.overwrite) {
        console.Err("Soubor " + ForTerminal(a.file) +
                    " již existuje: zvolte --append (pokračovat v zápisu), nebo --overwrite "
                    "(přepsat).\n");
        return EXIT_REFUSED;
    }
    const int list = SmsListByKey(a.list);
    const int count = store.GetCount(list);
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += ExportLine(*store.Get(i, list));
    if (a.encoding == "utf8")
        lines = tk::Cp1250ToUtf8(lines);
    const std::string summary = a.json ? "{\"list\":" + JsonString(SmsListKey(list)) +
                                             ",\"count\":" + std::to_string(count) +
                                             ",\"file\":" + JsonString(a.file) + "}\n"
                                       : "";
    if (toStdout) // the lines are the output, also with --json
        return console.Out(::isatty(STDOUT_FILENO) ? ExportLinesForTerminal(lines) : lines)
                   ? 0
                   : EXIT_FILE;
    if (count == 0) {
        console.Out(a.json ? summary
                           : "Seznam " + ListName(list) + " je prázdný; nic nebylo uloženo.\n");
        return 0;
    }
    const int r =
        WriteSmsExportFile(lines, a.file, a.append ? SMS_EXPORT_APPEND : SMS_EXPORT_OVERWRITE);
    if (r != SMS_EXPORT_OK) {
        console.Err(std::string(ExportErrorText(r)) + " (" + ForTerminal(a.file) + ")\n");
        return EXIT_FILE;
    }
    console.Out(a.json ? summary
                       : "Uloženo SMS: " + std::to_string(count) + " do souboru " +
                             ForTerminal(a.file) + ".\n");
    return 0;
}

} // namespace ctl
