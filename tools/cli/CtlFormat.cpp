#include "tools/cli/CtlFormat.h"

#include "base/Cp1250.h"
#include "base/Json.h"
#include "base/Texts.h"
#include "link/ComNotify.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace ctl {

namespace {

constexpr int IO_CHANNELS = 5;
constexpr uint32_t SIGNAL_MAX = 32; // the GSM pane's bar ends there

using Rows = std::vector<std::pair<std::string_view, std::string>>;

// "  label:   value" lines, the values aligned.
std::string Group(std::string_view caption, const Rows& rows) {
    size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, Utf8Length(row.first));
    std::string out(caption);
    out += '\n';
    for (const auto& [label, value] : rows) {
        out += "  ";
        out += label;
        out.append(width - Utf8Length(label) + 2, ' ');
        out += value;
        out += '\n';
    }
    return out;
}

std::string Unit(const char* field, size_t size) {
    return ForTerminal(FieldText(field, size));
}

uint32_t Signal(const CGSMState& gsm) {
    return std::min(gsm.m_nSignal, SIGNAL_MAX);
}

std::string BitsJson(uint8_t bits) {
    std::string out = "[";
    for (int i = 0; i < IO_CHANNELS; ++i) {
        if (i > 0)
            out += ',';
        out += (bits >> i) & 1 ? '1' : '0';
    }
    return out + "]";
}

std::string SmsStamp(const CSMS& sms) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d  %d.%d.%d", sms.m_nHour, sms.m_nMinute,
                  sms.m_nSecond, sms.m_nDay, sms.m_nMonth, 2000 + sms.m_nYear);
    return buf;
}

std::string SmsIsoStamp(const CSMS& sms) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", 2000 + sms.m_nYear,
                  sms.m_nMonth, sms.m_nDay, sms.m_nHour, sms.m_nMinute, sms.m_nSecond);
    return buf;
}

std::string SmsText(const CSMS& sms) {
    const char* text = sms.GetText();
    return text ? tk::Cp1250ToUtf8(text) : std::string();
}

std::string PcStamp(const SysTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return buf;
}

std::string GsmLine(const CGSMState& gsm) {
    return "jméno operátora: " + Unit(gsm.m_szOperator, sizeof gsm.m_szOperator) +
           ", GSM modul: " + std::string(GSMStateText(gsm.m_nGSMState)) +
           ", SIM: " + std::string(SIMStateText(gsm.m_nSIMState)) +
           ", registrace sítě: " + std::string(NetStateText(gsm.m_nNetState)) +
           ", signál: " + std::to_string(Signal(gsm)) +
           ", credit SIM: " + FormatCredit(gsm.m_fCredit1) + ", BTS: " + FormatCellId(gsm.m_nBTS) +
           ", nepovolené přístupy: " + std::to_string(gsm.m_nWAC);
}

} // namespace

std::string JsonString(std::string_view utf8) {
    // One writer for every JSON string: the configuration export escapes the same controls.
    return tk::json::Quote(utf8);
}

std::string ForTerminal(std::string_view utf8, bool keepLineBreaks) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (keepLineBreaks && b == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
            continue;
        } else if (keepLineBreaks && b == '\n') {
            out += '\n';
        } else if (b < 0x20 || b == 0x7F) {
            out += ' ';
        } else if (b == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out += ' '; // U+0080..U+009F: the C1 controls
            ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::string FieldText(const char* cp1250, size_t size) {
    return tk::Cp1250ToUtf8(std::string_view(cp1250, strnlen(cp1250, size)));
}

size_t Utf8Length(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string FormatClock(const SysTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
    return buf;
}

std::string FormatDate(const SysTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u.%u", t.wDay, t.wMonth, t.wYear);
    return buf;
}

std::string IsoTime(const SysTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return buf;
}

std::string InfoText(const CDevIdent& id) {
    return Group("Výrobní štítek",
                 {
                     {"jméno:", Unit(id.m_szName, sizeof id.m_szName)},
                     {"verze firmware:", FormatVersion(id.m_nFWMajor, id.m_nFWMinor)},
                     {"verze hardware:", FormatVersion(id.m_nHWMajor, id.m_nHWMinor)},
                     {"výrobní číslo:", FormatSerial(id.m_nSerNum)},
                     {"IMEI:", Unit(id.m_szIMEI, sizeof id.m_szIMEI)},
                 });
}

std::string GsmText(const CGSMState& gsm) {
    return Group("Stav GSM",
                 {
                     {"jméno operátora:", Unit(gsm.m_szOperator, sizeof gsm.m_szOperator)},
                     {"GSM modul:", std::string(GSMStateText(gsm.m_nGSMState))},
                     {"SIM:", std::string(SIMStateText(gsm.m_nSIMState))},
                     {"registrace sítě:", std::string(NetStateText(gsm.m_nNetState))},
                     {"credit SIM:", FormatCredit(gsm.m_fCredit1)},
                     {"BTS:", FormatCellId(gsm.m_nBTS)},
                     {"nepovolené přístupy:", std::to_string(gsm.m_nWAC)},
                     {"signál:", std::to_string(Signal(gsm)) + "/" + std::to_string(SIGNAL_MAX)},
                 });
}

std::string IoText(const CIOState& io) {
    // The list of the inputs/outputs pane: one row per channel.
    static constexpr std::string_view kColumns[] = {"vstup/výstup", "hodnota vstupu",
                                                    "hodnota výstupu"};
    auto cell = [](std::string_view text, std::string_view column) {
        std::string s(text);
        s.append(Utf8Length(column) - Utf8Length(text) + 2, ' ');
        return s;
    };
    std::string out = "Binární vstupy/výstupy\n  ";
    out += cell(kColumns[0], kColumns[0]) + cell(kColumns[1], kColumns[1]);
    out += std::string(kColumns[2]) + "\n";
    for (int i = 0; i < IO_CHANNELS; ++i) {
        out += "  " + cell("IO" + std::to_string(i + 1), kColumns[0]);
        out += cell(IOBitText(io.m_nInputs, i), kColumns[1]);
        out += std::string(IOBitText(io.m_nOutputs, i)) + "\n";
    }
    return out;
}

std::string ClockText(const SysTime& clock) {
    return Group("Čas", {{"čas:", FormatClock(clock)}, {"datum:", FormatDate(clock)}});
}

std::string StatusText(const CDevStatus& status) {
    return GsmText(status.m_GSM) + IoText(status.m_IO) + ClockText(status.m_Time);
}

std::string InfoJson(const CDevIdent& id) {
    return "{\"name\":" + JsonString(FieldText(id.m_szName, sizeof id.m_szName)) +
           ",\"firmware\":" + JsonString(FormatVersion(id.m_nFWMajor, id.m_nFWMinor)) +
           ",\"hardware\":" + JsonString(FormatVersion(id.m_nHWMajor, id.m_nHWMinor)) +
           ",\"serial\":" + JsonString(FormatSerial(id.m_nSerNum)) +
           ",\"imei\":" + JsonString(FieldText(id.m_szIMEI, sizeof id.m_szIMEI)) + "}";
}

std::string GsmJson(const CGSMState& gsm) {
    return "{\"operator\":" + JsonString(FieldText(gsm.m_szOperator, sizeof gsm.m_szOperator)) +
           ",\"module\":" + JsonString(GSMStateText(gsm.m_nGSMState)) +
           ",\"module_state\":" + std::to_string(gsm.m_nGSMState) +
           ",\"sim\":" + JsonString(SIMStateText(gsm.m_nSIMState)) +
           ",\"sim_state\":" + std::to_string(gsm.m_nSIMState) +
           ",\"network\":" + JsonString(NetStateText(gsm.m_nNetState)) +
           ",\"network_state\":" + std::to_string(gsm.m_nNetState) +
           ",\"signal\":" + std::to_string(Signal(gsm)) + ",\"credit\":" +
           (std::isfinite(gsm.m_fCredit1) ? FormatCredit(gsm.m_fCredit1) : std::string("null")) +
           ",\"bts\":" + JsonString(FormatCellId(gsm.m_nBTS)) +
           ",\"refused\":" + std::to_string(gsm.m_nWAC) + "}";
}

std::string IoJson(const CIOState& io) {
    return "{\"inputs\":" + BitsJson(io.m_nInputs) + ",\"outputs\":" + BitsJson(io.m_nOutputs) +
           "}";
}

std::string StatusJson(const CDevStatus& status) {
    return "{\"gsm\":" + GsmJson(status.m_GSM) + ",\"io\":" + IoJson(status.m_IO) +
           ",\"clock\":" + JsonString(IsoTime(status.m_Time)) + "}";
}

std::string MonitorLine(int event, const SysTime& pcTime, const CDevStatus& status, const CSMS* sms,
                        int smsIndex, int64_t since) {
    std::string line = PcStamp(pcTime) + "  ";
    switch (event) {
    case CE_IO:
        line += "Binární IO  hodnota vstupu " + IOBitsText(status.m_IO.m_nInputs) +
                "  hodnota výstupu " + IOBitsText(status.m_IO.m_nOutputs);
        break;
    case CE_GSM:
        line += "GSM  " + GsmLine(status.m_GSM);
        break;
    case CE_TIME:
        line += "Čas  " + FormatClock(status.m_Time) + "  " + FormatDate(status.m_Time);
        break;
    case CE_SMS_RECEIVED:
        // Fetched means deleted in the unit: say where it is kept now.
        line += "SMS  " +
                std::string(smsIndex >= 0 ? GetText(TXT_SMS_LIST_BASE + SMS_RECEIVED)
                                          : std::string_view("jen v paměti")) +
                ": " + (sms ? SmsLine(*sms, smsIndex) : std::string());
        break;
    case CE_NO_ANSWER:
        line += "Jednotka neodpovídá od " + FormatClock(LocalTimeAt(since)) +
                " — zkontrolujte kabel a napájení";
        break;
    case CE_ANSWERING:
        line += "Jednotka opět odpovídá";
        break;
    default:
        return {};
    }
    return line + "\n";
}

std::string MonitorJson(int event, const SysTime& pcTime, const CDevStatus& status, const CSMS* sms,
                        int smsIndex, int64_t since) {
    std::string line = "{\"event\":";
    const std::string time = ",\"time\":" + JsonString(IsoTime(pcTime));
    switch (event) {
    case MONITOR_STATUS:
        line += "\"status\"" + time + ",\"info\":" + InfoJson(status.m_DevId) +
                ",\"gsm\":" + GsmJson(status.m_GSM) + ",\"io\":" + IoJson(status.m_IO) +
                ",\"clock\":" + JsonString(IsoTime(status.m_Time));
        break;
    case CE_IO:
        line += "\"io\"" + time + ",\"io\":" + IoJson(status.m_IO);
        break;
    case CE_GSM:
        line += "\"gsm\"" + time + ",\"gsm\":" + GsmJson(status.m_GSM);
        break;
    case CE_TIME:
        line += "\"clock\"" + time + ",\"clock\":" + JsonString(IsoTime(status.m_Time));
        break;
    case CE_SMS_RECEIVED:
        line += "\"sms\"" + time + ",\"list\":" +
                (smsIndex >= 0 ? JsonString(SmsListKey(SMS_RECEIVED)) : std::string("null")) +
                ",\"sms\":" + (sms ? SmsJson(*sms, smsIndex) : "null");
        break;
    case CE_NO_ANSWER:
        line += "\"no_answer\"" + time + ",\"since\":" + JsonString(IsoTime(LocalTimeAt(since)));
        break;
    case CE_ANSWERING:
        line += "\"answering\"" + time;
        break;
    default:
        return {};
    }
    return line + "}\n";
}

int SmsListByKey(std::string_view key) {
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        if (key == SmsListKey(list))
            return list;
    }
    return -1;
}

std::string_view SmsListKey(int list) {
    switch (list) {
    case SMS_RECEIVED:
        return "received";
    case SMS_SENT:
        return "sent";
    case SMS_TOSEND:
        return "tosend";
    default:
        return {};
    }
}

std::string SmsLine(const CSMS& sms, int index) {
    std::string numbers;
    for (int i = 0; i < sms.GetNumberCount(); ++i) {
        if (i > 0)
            numbers += ", ";
        numbers += tk::Cp1250ToUtf8(sms.GetNumber(i));
    }
    if (numbers.empty())
        numbers = "-";
    return std::string(sms.IsUnread() ? "* " : "  ") + std::to_string(index) + "  " +
           SmsStamp(sms) + "  " + ForTerminal(numbers) + "  " + ForTerminal(SmsText(sms));
}

std::string SmsJson(const CSMS& sms, int index) {
    std::string numbers = "[";
    for (int i = 0; i < sms.GetNumberCount(); ++i) {
        if (i > 0)
            numbers += ',';
        numbers += JsonString(tk::Cp1250ToUtf8(sms.GetNumber(i)));
    }
    numbers += ']';
    return "{\"index\":" + std::to_string(index) + ",\"time\":" + JsonString(SmsIsoStamp(sms)) +
           ",\"numbers\":" + numbers + ",\"text\":" + JsonString(SmsText(sms)) +
           ",\"unread\":" + (sms.IsUnread() ? "true" : "false") + "}";
}

std::string SmsListText(const CSMSMng& store, int list) {
    std::string out = store.ListNodeCaption(list) + "\n";
    for (int i = 0; i < store.GetCount(list); ++i) {
        if (const CSMS* sms = store.Get(i, list))
            out += "  " + SmsLine(*sms, i) + "\n";
    }
    return out;
}

std::string SmsListJson(const CSMSMng& store, int list) {
    std::string out = "{\"list\":" + JsonString(SmsListKey(list)) +
                      ",\"name\":" + JsonString(GetText(TXT_SMS_LIST_BASE + list)) +
                      ",\"count\":" + std::to_string(store.GetCount(list)) + ",\"messages\":[";
    for (int i = 0; i < store.GetCount(list); ++i) {
        if (i > 0)
            out += ',';
        if (const CSMS* sms = store.Get(i, list))
            out += SmsJson(*sms, i);
    }
    return out + "]}";
}

} // namespace ctl
