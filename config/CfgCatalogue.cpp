#include "config/CfgCatalogue.h"

#include "base/Cp1250.h"
#include "base/Json.h"
#include "sms/Recipients.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// --- the named values of the choices, as the panes' radio buttons offer them

constexpr CfgChoice kCreditModes[] = {
    {0, "none", "nezjišťovat"},
    {1, "sim", "credit na SIM"},
    {2, "call", "na zavolání"},
};

constexpr CfgChoice kTones[] = {
    {0, "none", "bez tónu"},         {2, "k_d", "K + D"},         {3, "k_k_d", "K + K + D"},
    {4, "k_k_k_d", "K + K + K + D"}, {1, "continuous", "trvalý"},
};

constexpr CfgChoice kSmsModes[] = {
    {0, "delete", "mazat"},
    {1, "port", "předat na port"},
    {2, "forward", "přeposlat na číslo"},
};

constexpr CfgChoice kProgChars[] = {
    {0, "hash", "# (křížek)"},
    {1, "star", "* (hvězdička)"},
};

// 1-60 is the interval of the pulses (the numeric range of the field).
constexpr CfgChoice kTariffs[] = {
    {0, "none", "žádná"},
    {61, "polarity", "změna polarity při spojení"},
    {63, "pulse", "puls po spojení"},
};
constexpr int kTariffIntervalMin = 1;
constexpr int kTariffIntervalMax = 60;
constexpr char kTariffIntervalLabel[] = "pulsy v intervalu (s):";

constexpr CfgChoice kRenumModes[] = {
    {RENUM_SUBSTITUTE, "substitute", "náhradní volba"},
    {RENUM_ADDITIONAL, "additional", "dodatečná volba"},
    {RENUM_EMPTY, "empty", "nepoužito"},
};

constexpr int kAlarmsInPanes = 5;

struct Builder {
    std::vector<CfgField> fields;
    int pane = CFG_PANE_NONE;
    int param = 0;
    std::string group;

    CfgField& Add(std::string key, std::string label, CfgKind kind, size_t offset, size_t size) {
        CfgField f;
        f.key = std::move(key);
        f.label = std::move(label);
        f.group = group;
        f.pane = pane;
        f.paneParam = param;
        f.kind = kind;
        f.offset = static_cast<uint16_t>(offset);
        f.size = static_cast<uint16_t>(size);
        fields.push_back(std::move(f));
        return fields.back();
    }
    void Text(std::string key, std::string label, size_t offset, size_t size) {
        Add(std::move(key), std::move(label), CfgKind::Text, offset, size);
    }
    // A text that is a telephone number.
    void Number(std::string key, std::string label, size_t offset, size_t size) {
        Add(std::move(key), std::move(label), CfgKind::Text, offset, size).dialNumber = true;
    }
    void Number(std::string key, std::string label, size_t offset, int min, int max,
                CfgKind kind = CfgKind::Number) {
        CfgField& f = Add(std::move(key), std::move(label), kind, offset, 1);
        f.min = min;
        f.max = max;
    }
    void Choice(std::string key, std::string label, size_t offset,
                std::span<const CfgChoice> choices, int min = 0, int max = -1) {
        CfgField& f = Add(std::move(key), std::move(label), CfgKind::Choice, offset, 1);
        f.choices = choices;
        f.min = min;
        f.max = max;
    }
    void Flag(std::string key, std::string label, size_t offset) {
        CfgField& f = Add(std::move(key), std::move(label), CfgKind::Flag, offset, 1);
        f.min = 0;
        f.max = 1;
    }
    void Alarm(int i) {
        const size_t base =
            offsetof(CfgImage, m_aAlarm) + sizeof(CfgAlarm) * static_cast<size_t>(i);
        const std::string key = "alarm[" + std::to_string(i) + "].";
        group = "Alarm " + std::to_string(i + 1);
        param = i < kAlarmsInPanes ? i : 0;
        Number(key + "call_number", "alarm volání", base + offsetof(CfgAlarm, m_szACall),
               sizeof(CfgAlarm::m_szACall));
        Number(key + "sms_numbers[0]", "alarm SMS1", base + offsetof(CfgAlarm, m_szASMS1),
               sizeof(CfgAlarm::m_szASMS1));
        Number(key + "sms_numbers[1]", "alarm SMS2", base + offsetof(CfgAlarm, m_szASMS2),
               sizeof(CfgAlarm::m_szASMS2));
        Text(key + "sms_text", "text SMS", base + offsetof(CfgAlarm, m_szASMS),
             sizeof(CfgAlarm::m_szASMS));
        param = 0;
    }
    void Reserved(std::string key, size_t offset, size_t size) {
        char label[48];
        std::snprintf(label, sizeof label, "bajty %03zX–%03zX", offset, offset + size - 1);
        Add(std::move(key), label, CfgKind::Reserved, offset, size);
    }
};

#define FIELD(m) offsetof(CfgImage, m), sizeof(CfgImage::m)
#define AT(m) offsetof(CfgImage, m)

std::vector<CfgField> Build() {
    Builder b;
    // In the order of the configuration tree.
    b.pane = CFG_PANE_EN_DIRS;
    for (size_t i = 0; i < 16; ++i)
        b.Text("dial.enabled[" + std::to_string(i) + "]", "povolený směr " + std::to_string(i + 1),
               AT(m_aszEnDir) + 8 * i, 8);

    b.pane = CFG_PANE_CALL_PARS;
    b.Text("dial.completion", "doplnění směru", FIELD(m_szAddDir));
    b.Text("dial.disallowed_code", "kód pro nepovol.směry", FIELD(m_szDelNum));
    b.Number("dial.max_digits", "maximální počet číslic (3 - 24)", AT(m_nMaxNumLen), 3, 24);

    b.pane = CFG_PANE_RENUM;
    b.Flag("renum.enabled", "povoleno", AT(m_nRenumEnable));
    for (int i = 0; i < 5; ++i) {
        const size_t base = AT(m_aRenum) + sizeof(CfgRenumItem) * static_cast<size_t>(i);
        const std::string key = "renum.entry[" + std::to_string(i) + "].";
        b.group = "Přečíslování " + std::to_string(i + 1);
        b.Text(key + "prefix", "Vstupní předčíslí", base + offsetof(CfgRenumItem, m_szENum),
               sizeof(CfgRenumItem::m_szENum));
        b.Text(key + "number", "Výsledná volba", base + offsetof(CfgRenumItem, m_szRNum),
               sizeof(CfgRenumItem::m_szRNum));
        b.Choice(key + "mode", "Mód", base + offsetof(CfgRenumItem, m_nMode), kRenumModes);
    }
    b.group.clear();
    b.Number("renum.dtmf_delay", "prodleva vysílání DTMF", AT(m_nPDDelay), 0, 255);
    b.Number("renum.dtmf_length", "délka DTMF kódu", AT(m_nPDWidth), 3, 10);

    b.pane = CFG_PANE_SIM;
    b.Choice("sim.credit.mode", "Kredit", AT(m_nCMode), kCreditModes);
    b.Text("sim.credit.command", "na zavolání", FIELD(m_szCCmd));
    b.Add("sim.credit.low_value", "minimální hodnota", CfgKind::Float, FIELD(m_fLowVal));
    b.Text("sim.pin", "PIN", FIELD(m_szPIN));
    b.Number("sim.monthly_call.number", "měsíční volání", FIELD(m_szMCall));
    b.Number("sim.monthly_call.melody", "melodie pro měsíční volání", AT(m_nMCallMusic), 0, 255);
    b.Choice("sim.tone", "Oznamovací tón", AT(m_nTone), kTones);

    b.pane = CFG_PANE_SMS;
    b.Choice("sms.incoming.mode", "Příchozí SMS", AT(m_nSMSMode), kSmsModes);
    b.Number("sms.incoming.forward_number", "přeposlat na číslo", FIELD(m_szForwardNum));
    b.Number("sms.info.number", "číslo pro informační SMS", FIELD(m_szInfoSMS));
    b.Text("sms.info.reset_text", "text SMS při RESETu", FIELD(m_szResetTxt));
    b.Text("sms.info.credit_text", "text SMS při nízkém kreditu", FIELD(m_szCreditTxt));

    b.pane = CFG_PANE_TIME_PARS;
    b.Number("time.ring_after_init", "vyzvánění po inicializaci (0.1 s)", AT(m_nRRingLen), 0, 255);
    b.Number("time.dial_delay", "prodleva před volbou (0.1 s)", AT(m_nDDelay), 0, 255);
    b.Number("time.dial_wait", "čekání na volbu (1 s)", AT(m_nDTimeout1), 0, 255);
    b.Number("time.number_supervision", "doba dohledu čísla (1 s)", AT(m_nDTimeout2), 0, 255);

    b.pane = CFG_PANE_BASIC;
    b.Choice("basic.programming_char", "Znak programování", AT(m_nSCode), kProgChars);
    b.fields.back().otherShownAs = 1; // any value but 0 shows "*"
    b.Choice("basic.tariff", "Tarifikace", AT(m_nTariff), kTariffs, kTariffIntervalMin,
             kTariffIntervalMax);
    b.group = "Audio";
    b.Number("basic.audio.input", "vstup", AT(m_nAIn), 0, 100, CfgKind::Level);
    b.Number("basic.audio.output", "výstup", AT(m_nAOut), 0, 100, CfgKind::Level);
    b.group.clear();
    b.Flag("basic.remote_access", "povolit vzdálený přístup", AT(m_nRAccess));

    b.pane = CFG_PANE_ALARM;
    for (int i = 0; i < kAlarmsInPanes; ++i)
        b.Alarm(i);

    // What no pane edits: the alarms the tree has no node for, and the carried bytes.
    b.pane = CFG_PANE_NONE;
    for (int i = kAlarmsInPanes; i < 8; ++i)
        b.Alarm(i);
    b.group.clear();
    b.Reserved("reserved.head", FIELD(m_abHead));
    b.Reserved("reserved.audio", FIELD(m_abAudioRes));
    b.Reserved("reserved.dialling_1", FIELD(m_abCallRes1));
    b.Reserved("reserved.dialling_2", FIELD(m_abCallRes2));
    return std::move(b.fields);
}

#undef FIELD
#undef AT

const uint8_t* Bytes(const CfgImage& image) {
    return reinterpret_cast<const uint8_t*>(&image);
}
uint8_t* Bytes(CfgImage& image) {
    return reinterpret_cast<uint8_t*>(&image);
}

// The text of a text field (CP1250 bytes up to its zero).
std::string_view FieldText(const CfgField& f, const CfgImage& image) {
    const char* p = reinterpret_cast<const char*>(Bytes(image) + f.offset);
    return {p, strnlen(p, f.size)};
}

float FloatAt(const CfgField& f, const CfgImage& image) {
    float v = 0;
    std::memcpy(&v, Bytes(image) + f.offset, sizeof v);
    return v;
}

std::string Hex(const uint8_t* p, size_t n, bool spaced) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (spaced && i > 0)
            out += ' ';
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 15];
    }
    return out;
}

// Hexadecimal bytes, blanks between bytes allowed; false on any other character.
bool ParseHex(std::string_view text, std::string& out) {
    out.clear();
    int high = -1;
    for (const char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c == ' ' && high < 0)
            continue;
        else
            return false;
        if (high < 0) {
            high = v;
        } else {
            out += static_cast<char>(high << 4 | v);
            high = -1;
        }
    }
    return high < 0;
}

const CfgChoice* ChoiceOf(const CfgField& f, int value) {
    for (const CfgChoice& c : f.choices)
        if (c.value == value)
            return &c;
    return nullptr;
}

bool InRange(const CfgField& f, int value) {
    return f.min <= f.max && value >= f.min && value <= f.max;
}

std::string ChoiceKeys(const CfgField& f) {
    std::string keys;
    for (const CfgChoice& c : f.choices)
        keys += (keys.empty() ? "" : ", ") + std::string(c.key);
    if (f.min <= f.max)
        keys += ", " + std::to_string(f.min) + " až " + std::to_string(f.max);
    return keys;
}

std::string RangeText(const CfgField& f) {
    return std::to_string(f.min) + " až " + std::to_string(f.max);
}

// A whole decimal number (optional minus), nothing else.
bool ParseInt(std::string_view text, long& value) {
    if (text.empty() || text.size() > 12)
        return false;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end;
}

void SetByte(const CfgField& f, CfgImage& image, long value) {
    Bytes(image)[f.offset] = static_cast<uint8_t>(value);
}

int Fail(int error, std::string* detail, std::string text) {
    if (detail)
        *detail = std::move(text);
    return error;
}

// A number, choice or flag value: allowed by the pane, or with `force` any byte.
int SetByteValue(const CfgField& f, long value, bool allowed, CfgImage& image, bool force,
                 std::string* detail) {
    if (!allowed && !(force && value >= 0 && value <= 255)) {
        if (f.kind == CfgKind::Choice)
            return Fail(CFG_E_CHOICE, detail,
                        "hodnota " + std::to_string(value) + ", panel zná jen " + ChoiceKeys(f));
        if (f.kind == CfgKind::Flag)
            return Fail(CFG_E_RANGE, detail,
                        "hodnota " + std::to_string(value) + ", panel zná jen true a false");
        return Fail(CFG_E_RANGE, detail,
                    "hodnota " + std::to_string(value) + ", panel dovoluje " + RangeText(f));
    }
    SetByte(f, image, value);
    return CFG_OK;
}

int SetText(const CfgField& f, std::string_view utf8, CfgImage& image, bool force,
            std::string* detail) {
    std::string bad;
    std::string cp;
    if (!tk::Utf8ToCp1250(utf8, cp, &bad))
        return Fail(CFG_E_CHARSET, detail, "znak „" + bad + "“ nelze zapsat v kódování CP1250");
    if (cp.find('\0') != std::string::npos)
        return Fail(CFG_E_NUL, detail, "text obsahuje znak s kódem 0");
    if (f.dialNumber && !force) {
        if (const int e = CheckDialNumber(utf8, &bad); e != RCPT_OK)
            return Fail(CFG_E_DIAL, detail, DialNumberHint(e, bad));
    }
    if (cp.size() > f.Room())
        return Fail(CFG_E_TOO_LONG, detail,
                    std::to_string(cp.size()) + " znaků v CP1250, místo je na " +
                        std::to_string(f.Room()));
    // The same text keeps its field as it is, bytes after the text included.
    if (FieldText(f, image) == cp)
        return CFG_OK;
    CopyTextField(reinterpret_cast<char*>(Bytes(image) + f.offset), f.size, cp.data(), cp.size());
    return CFG_OK;
}

int SetFloat(const CfgField& f, std::string_view text, CfgImage& image, bool force,
             std::string* detail) {
    float v = 0;
    if (text.size() == 10 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
        // The exact bits, for what no decimal number expresses (not a number, infinities).
        std::string bits;
        if (!ParseHex(text.substr(2), bits) || bits.size() != 4 || text.find(' ') != text.npos)
            return Fail(CFG_E_TYPE, detail, "čeká se desetinné číslo");
        const uint32_t u = static_cast<uint32_t>(static_cast<uint8_t>(bits[0])) << 24 |
                           static_cast<uint32_t>(static_cast<uint8_t>(bits[1])) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(bits[2])) << 8 |
                           static_cast<uint32_t>(static_cast<uint8_t>(bits[3]));
        std::memcpy(&v, &u, sizeof v);
    } else {
        std::string s(text);
        for (char& c : s)
            if (c == ',')
                c = '.';
        // Only plain decimal notation: from_chars would also take "inf" and "nan".
        const bool plain =
            !s.empty() && s.find_first_not_of("0123456789.-+eE") == s.npos && s[0] != '+';
        const char* end = s.data() + s.size();
        const auto r = plain ? std::from_chars(s.data(), end, v) : std::from_chars_result{};
        if (!plain || r.ptr != end ||
            (r.ec != std::errc() && r.ec != std::errc::result_out_of_range))
            return Fail(CFG_E_TYPE, detail, "čeká se desetinné číslo");
        if (r.ec == std::errc::result_out_of_range) {
            // Too large for a float is refused; too small to hold rounds to zero.
            double d = 0;
            const auto rd = std::from_chars(s.data(), end, d);
            const size_t e = s.find_first_of("eE");
            const bool tiny = rd.ec == std::errc()
                                  ? std::fabs(d) < 1.0
                                  : e != s.npos && e + 1 < s.size() && s[e + 1] == '-';
            if (!tiny)
                return Fail(CFG_E_RANGE, detail, "číslo je pro pole příliš velké");
            v = s[0] == '-' ? -0.0f : 0.0f;
        }
    }
    if (!std::isfinite(v) && !force)
        return Fail(CFG_E_NOT_FINITE, detail, "hodnota není konečné číslo");
    std::memcpy(Bytes(image) + f.offset, &v, sizeof v);
    return CFG_OK;
}

int SetReserved(const CfgField& f, std::string_view text, CfgImage& image, std::string* detail) {
    std::string bytes;
    if (!ParseHex(text, bytes) || bytes.size() != f.size)
        return Fail(CFG_E_BYTES, detail,
                    "čeká se " + std::to_string(f.size) + " bajtů šestnáctkově");
    std::memcpy(Bytes(image) + f.offset, bytes.data(), f.size);
    return CFG_OK;
}

// How a value was written: by a user, or as one of JSON's types.
enum class Source { User, JsonString, JsonNumber, JsonBool };

int SetValue(const CfgField& f, std::string_view text, Source src, CfgImage& image, bool force,
             std::string* detail) {
    const bool user = src == Source::User;
    auto wrongType = [&](const char* expected) {
        return Fail(CFG_E_TYPE, detail, std::string("čeká se ") + expected);
    };
    switch (f.kind) {
    case CfgKind::Text:
        if (!user && src != Source::JsonString)
            return wrongType("text");
        return SetText(f, text, image, force, detail);
    case CfgKind::Reserved:
        if (!user && src != Source::JsonString)
            return wrongType("text se šestnáctkovými bajty");
        return SetReserved(f, text, image, detail);
    case CfgKind::Float:
        if (src == Source::JsonBool || (src == Source::JsonString && text.substr(0, 2) != "0x"))
            return wrongType("desetinné číslo");
        return SetFloat(f, text, image, force, detail);
    case CfgKind::Number:
    case CfgKind::Level: {
        long v = 0;
        if ((!user && src != Source::JsonNumber) || !ParseInt(text, v))
            return wrongType("celé číslo");
        return SetByteValue(f, v, InRange(f, static_cast<int>(v)), image, force, detail);
    }
    case CfgKind::Flag: {
        long v = -1;
        if (src == Source::JsonBool || user) {
            if (text == "true" || (user && (text == "1" || text == "ano")))
                v = 1;
            else if (text == "false" || (user && (text == "0" || text == "ne")))
                v = 0;
        }
        if (v >= 0)
            return SetByteValue(f, v, true, image, force, detail);
        if ((user || src == Source::JsonNumber) && ParseInt(text, v))
            return SetByteValue(f, v, v == 0 || v == 1, image, force, detail);
        return wrongType("true nebo false");
    }
    case CfgKind::Choice: {
        if (src == Source::JsonString || user) {
            for (const CfgChoice& c : f.choices)
                if (text == c.key)
                    return SetByteValue(f, c.value, true, image, force, detail);
        }
        long v = 0;
        if ((user || src == Source::JsonNumber) && ParseInt(text, v))
            return SetByteValue(f, v, InRange(f, static_cast<int>(v)), image, force, detail);
        return Fail(CFG_E_CHOICE, detail,
                    "„" + std::string(text) + "“ není žádná z voleb " + ChoiceKeys(f));
    }
    }
    return wrongType("hodnota");
}

} // namespace

const char* CfgPaneCaption(int pane) {
    switch (pane) {
    case CFG_PANE_CALL_PARS:
        return "Ostatní směry";
    case CFG_PANE_EN_DIRS:
        return "Povolené směry";
    case CFG_PANE_SIM:
        return "SIM karta";
    case CFG_PANE_ALARM:
        return "Alarmy";
    case CFG_PANE_SMS:
        return "SMS";
    case CFG_PANE_TIME_PARS:
        return "Časové parametry";
    case CFG_PANE_BASIC:
        return "Ostatní parametry";
    case CFG_PANE_RENUM:
        return "Virtuální příčková linka";
    default:
        return "Údaje, které panely neupravují";
    }
}

const std::vector<CfgField>& CfgCatalogue() {
    static const std::vector<CfgField> kFields = Build();
    return kFields;
}

const CfgField* CfgFindField(std::string_view key) {
    for (const CfgField& f : CfgCatalogue())
        if (f.key == key)
            return &f;
    return nullptr;
}

const CfgField* CfgFieldAt(size_t offset) {
    for (const CfgField& f : CfgCatalogue())
        if (offset >= f.offset && offset < static_cast<size_t>(f.offset) + f.size)
            return &f;
    return nullptr;
}

const char* CfgErrorText(int error) {
    switch (error) {
    case CFG_OK:
        return "v pořádku";
    case CFG_E_UNKNOWN_KEY:
        return "neznámý klíč";
    case CFG_E_TYPE:
        return "hodnota je jiného druhu";
    case CFG_E_RANGE:
        return "hodnota je mimo rozsah";
    case CFG_E_CHOICE:
        return "neznámá volba";
    case CFG_E_TOO_LONG:
        return "text je příliš dlouhý";
    case CFG_E_CHARSET:
        return "znak nelze zapsat v kódování CP1250";
    case CFG_E_NUL:
        return "text obsahuje znak s kódem 0";
    case CFG_E_NOT_FINITE:
        return "hodnota není konečné číslo";
    case CFG_E_BYTES:
        return "chybně zapsané bajty";
    case CFG_E_TAIL:
        return "uložené bajty za textem neodpovídají textu";
    case CFG_E_SYNTAX:
        return "chyba zápisu JSON";
    case CFG_E_FORMAT:
        return "soubor není konfigurace TK530";
    case CFG_E_DIAL:
        return "telefonní číslo, které jednotka nevytočí";
    default:
        return "neznámá chyba";
    }
}

std::string CfgFormatFloat(float value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string CfgValueText(const CfgField& f, const CfgImage& image) {
    const uint8_t byte = Bytes(image)[f.offset];
    switch (f.kind) {
    case CfgKind::Text: {
        const std::string_view text = FieldText(f, image);
        // The list of enabled directions shows an unused entry as "-".
        if (text.empty() && f.pane == CFG_PANE_EN_DIRS)
            return "-";
        return tk::Cp1250ToUtf8(text);
    }
    case CfgKind::Number:
    case CfgKind::Level:
        return std::to_string(byte);
    case CfgKind::Flag:
        return byte == 1   ? "ano"
               : byte == 0 ? "ne"
                           : "nezaškrtnuto (hodnota " + std::to_string(byte) + ")";
    case CfgKind::Choice:
        if (const CfgChoice* c = ChoiceOf(f, byte))
            return c->label;
        if (InRange(f, byte))
            return std::string(kTariffIntervalLabel) + " " + std::to_string(byte);
        if (const CfgChoice* shown = ChoiceOf(f, f.otherShownAs))
            return std::string(shown->label) + " (hodnota " + std::to_string(byte) + ")";
        return "nezvoleno (hodnota " + std::to_string(byte) + ")";
    case CfgKind::Float:
        return CfgFormatFloat(FloatAt(f, image));
    case CfgKind::Reserved:
        return Hex(Bytes(image) + f.offset, f.size, true);
    }
    return {};
}

int CfgCheckField(const CfgField& f, const CfgImage& image, std::string* detail) {
    const uint8_t byte = Bytes(image)[f.offset];
    switch (f.kind) {
    case CfgKind::Number:
    case CfgKind::Level:
        if (!InRange(f, byte))
            return Fail(CFG_E_RANGE, detail,
                        "hodnota " + std::to_string(byte) + ", panel dovoluje " + RangeText(f));
        return CFG_OK;
    case CfgKind::Flag:
        if (byte > 1)
            return Fail(CFG_E_RANGE, detail,
                        "hodnota " + std::to_string(byte) + ", panel zná jen 0 a 1");
        return CFG_OK;
    case CfgKind::Choice:
        if (!ChoiceOf(f, byte) && !InRange(f, byte))
            return Fail(CFG_E_CHOICE, detail,
                        "hodnota " + std::to_string(byte) + ", panel zná jen " + ChoiceKeys(f));
        return CFG_OK;
    case CfgKind::Float:
        if (!std::isfinite(FloatAt(f, image)))
            return Fail(CFG_E_NOT_FINITE, detail,
                        "hodnota " + CfgFormatFloat(FloatAt(f, image)) + " není konečné číslo");
        return CFG_OK;
    case CfgKind::Text:
        if (f.dialNumber) {
            std::string bad;
            const int e = CheckDialNumber(tk::Cp1250ToUtf8(FieldText(f, image)), &bad);
            if (e != RCPT_OK)
                return Fail(CFG_E_DIAL, detail, DialNumberHint(e, bad));
        }
        // Other texts are taken as typed.
        return CFG_OK;
    case CfgKind::Reserved:
        // Carried bytes as they came.
        return CFG_OK;
    }
    return CFG_OK;
}

std::vector<CfgProblem> CfgCheckImage(const CfgImage& image) {
    std::vector<CfgProblem> problems;
    for (const CfgField& f : CfgCatalogue()) {
        std::string detail;
        if (const int e = CfgCheckField(f, image, &detail); e != CFG_OK)
            problems.push_back({&f, f.key, e, std::move(detail)});
    }
    return problems;
}

int CfgSetFromText(const CfgField& field, std::string_view text, CfgImage& image, bool force,
                   std::string* detail) {
    return SetValue(field, text, Source::User, image, force, detail);
}

int CfgSetFromJson(const CfgField& field, const tk::json::Value& value, CfgImage& image, bool force,
                   std::string* detail) {
    using tk::json::Type;
    switch (value.type) {
    case Type::String:
        return SetValue(field, value.text, Source::JsonString, image, force, detail);
    case Type::Number:
        return SetValue(field, value.text, Source::JsonNumber, image, force, detail);
    case Type::Bool:
        return SetValue(field, value.boolean ? "true" : "false", Source::JsonBool, image, force,
                        detail);
    default:
        return Fail(CFG_E_TYPE, detail,
                    std::string("hodnota je ") + tk::json::TypeName(value.type));
    }
}

std::string CfgValueJson(const CfgField& f, const CfgImage& image) {
    const uint8_t byte = Bytes(image)[f.offset];
    switch (f.kind) {
    case CfgKind::Text:
        return tk::json::Quote(tk::Cp1250ToUtf8(FieldText(f, image)));
    case CfgKind::Number:
    case CfgKind::Level:
        return std::to_string(byte);
    case CfgKind::Flag:
        return byte == 1 ? "true" : byte == 0 ? "false" : std::to_string(byte);
    case CfgKind::Choice:
        if (const CfgChoice* c = ChoiceOf(f, byte))
            return tk::json::Quote(c->key);
        return std::to_string(byte);
    case CfgKind::Float: {
        const float v = FloatAt(f, image);
        if (std::isfinite(v))
            return CfgFormatFloat(v);
        uint32_t u = 0;
        std::memcpy(&u, &v, sizeof u);
        const uint8_t be[4] = {static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                               static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
        return "\"0x" + Hex(be, 4, false) + "\"";
    }
    case CfgKind::Reserved:
        return "\"" + Hex(Bytes(image) + f.offset, f.size, false) + "\"";
    }
    return "null";
}

std::string CfgTextTail(const CfgField& f, const CfgImage& image) {
    if (f.kind != CfgKind::Text)
        return {};
    const size_t len = FieldText(f, image).size();
    const uint8_t* tail = Bytes(image) + f.offset + len + 1;
    const size_t n = len + 1 < f.size ? f.size - len - 1 : 0;
    for (size_t i = 0; i < n; ++i)
        if (tail[i] != 0)
            return Hex(tail, n, false);
    return {};
}

int CfgSetTextTail(const CfgField& f, std::string_view hex, CfgImage& image, std::string* detail) {
    if (f.kind != CfgKind::Text)
        return Fail(CFG_E_TAIL, detail, "pole není text");
    std::string bytes;
    if (!ParseHex(hex, bytes))
        return Fail(CFG_E_BYTES, detail, "čekají se bajty šestnáctkově");
    const size_t len = FieldText(f, image).size();
    if (len + 1 + bytes.size() != f.size)
        return Fail(CFG_E_TAIL, detail,
                    "za textem je místo na " + std::to_string(f.size - len - 1) + " bajtů, ne " +
                        std::to_string(bytes.size()));
    std::memcpy(Bytes(image) + f.offset + len + 1, bytes.data(), bytes.size());
    return CFG_OK;
}

bool CfgFieldEqual(const CfgField& f, const CfgImage& a, const CfgImage& b) {
    if (f.kind == CfgKind::Text)
        return FieldText(f, a) == FieldText(f, b);
    return std::memcmp(Bytes(a) + f.offset, Bytes(b) + f.offset, f.size) == 0;
}

std::vector<CfgDiffEntry> CfgDiff(const CfgImage& a, const CfgImage& b) {
    std::vector<CfgDiffEntry> out;
    for (const CfgField& f : CfgCatalogue()) {
        if (!CfgFieldEqual(f, a, b))
            out.push_back({&f, CfgValueText(f, a), CfgValueText(f, b)});
    }
    return out;
}
