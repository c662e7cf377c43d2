#include "tools/sim/SimState.h"

#include "base/Cp1250.h"
#include "base/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <strings.h>

namespace {

constexpr size_t kConfigBytesPerLine = 32;

// A CP1250 text as a quoted UTF-8 string with C escapes.
std::string Quote(const std::string& cp1250) {
    const std::string utf8 = tk::Cp1250ToUtf8(cp1250);
    std::string out = "\"";
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a value into bare words and quoted strings (unescaped); '#' outside quotes starts a
// comment.
bool Tokenize(const std::string& value, std::vector<Token>& tokens, std::string& error) {
    size_t i = 0;
    while (i < value.size()) {
        const char c = value[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t{"", true};
            ++i;
            for (;;) {
                if (i >= value.size()) {
                    error = "unterminated text";
                    return false;
                }
                char d = value[i++];
                if (d == '"')
                    break;
                if (d == '\\') {
                    if (i >= value.size()) {
                        error = "unterminated text";
                        return false;
                    }
                    d = value[i++];
                    if (d == 'n') {
                        d = '\n';
                    } else if (d == 'r') {
                        d = '\r';
                    } else if (d == 't') {
                        d = '\t';
                    } else if (d == 'x') {
                        const int hi = i < value.size() ? HexDigit(value[i]) : -1;
                        const int lo = i + 1 < value.size() ? HexDigit(value[i + 1]) : -1;
                        if (hi < 0 || lo < 0) {
                            error = "bad \\x escape";
                            return false;
                        }
                        d = static_cast<char>(hi * 16 + lo);
                        i += 2;
                    }
                }
                t.text += d;
            }
            tokens.push_back(t);
        } else {
            Token t;
            while (i < value.size() && value[i] != ' ' && value[i] != '\t' && value[i] != '#' &&
                   value[i] != '"' && value[i] != '\r')
                t.text += value[i++];
            tokens.push_back(t);
        }
    }
    return true;
}

bool ToUnsigned(const Token& t, uint64_t max, uint64_t& out) {
    if (t.quoted || t.text.empty() || t.text[0] == '-')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(t.text.c_str(), &end, 0);
    if (errno || *end || v > max)
        return false;
    out = v;
    return true;
}

template <typename T>
bool ToNumber(const Token& t, T& out) {
    uint64_t v = 0;
    if (!ToUnsigned(t, static_cast<T>(~T{0}), v))
        return false;
    out = static_cast<T>(v);
    return true;
}

bool ToFloat(const Token& t, float& out) {
    if (t.quoted || t.text.empty())
        return false;
    char* end = nullptr;
    out = std::strtof(t.text.c_str(), &end);
    return *end == '\0';
}

bool ToBool(const Token& t, bool& out) {
    for (const char* yes : {"yes", "1", "true", "on"}) {
        if (strcasecmp(t.text.c_str(), yes) == 0) {
            out = true;
            return true;
        }
    }
    for (const char* no : {"no", "0", "false", "off"}) {
        if (strcasecmp(t.text.c_str(), no) == 0) {
            out = false;
            return true;
        }
    }
    return false;
}

bool ToText(const Token& t, size_t max, std::string& out, std::string& error) {
    if (!t.quoted) {
        error = "a text must be in double quotes";
        return false;
    }
    std::string bad;
    if (!tk::Utf8ToCp1250(t.text, out, &bad)) {
        error = "the character " + bad + " has no code page 1250 form";
        return false;
    }
    if (out.find('\0') != std::string::npos) {
        error = "a text cannot hold a zero byte";
        return false;
    }
    if (out.size() > max) {
        error = "the text is longer than " + std::to_string(max) + " characters";
        return false;
    }
    return true;
}

// "YYYY-MM-DD" "hh:mm:ss" from two tokens.
bool ToTime(const Token& date, const Token& time, SysTime& out) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::sscanf(date.text.c_str(), "%u-%u-%u%c", &y, &mo, &d, &tail) != 3 ||
        std::sscanf(time.text.c_str(), "%u:%u:%u%c", &h, &mi, &s, &tail) != 3 || y > 9999 ||
        mo > 99 || d > 99 || h > 99 || mi > 99 || s > 99)
        return false;
    SysTime t;
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    if (!IsValidSysTime(t))
        return false;
    out = AddSeconds(t, 0);
    return true;
}

std::string FormatTime(const SysTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return buf;
}

std::string YesNo(bool v) {
    return v ? "yes" : "no";
}

std::string Hex(unsigned v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", width, v);
    return buf;
}

// One "key = value" line into the state.
bool ParseLine(const std::string& key, const std::vector<Token>& v, SimUnitState& s,
               std::string& error) {
    auto count = [&](size_t n) {
        if (v.size() == n)
            return true;
        error = "expected " + std::to_string(n) + " value(s)";
        return false;
    };
    auto number = [&](const Token& t, auto& out) {
        if (ToNumber(t, out))
            return true;
        error = "bad number '" + t.text + "'";
        return false;
    };
    auto flag = [&](const Token& t, bool& out) {
        if (ToBool(t, out))
            return true;
        error = "expected yes or no, not '" + t.text + "'";
        return false;
    };
    auto time = [&](const Token& date, const Token& t, SysTime& out) {
        if (ToTime(date, t, out))
            return true;
        error = "expected a date and time as YYYY-MM-DD hh:mm:ss";
        return false;
    };

    SimIdent& id = s.ident;
    SimGsm& g = s.gsm;
    if (key == "name")
        return count(1) && ToText(v[0], 127, id.name, error);
    if (key == "firmware")
        return count(2) && number(v[0], id.fwMajor) && number(v[1], id.fwMinor);
    if (key == "hardware")
        return count(2) && number(v[0], id.hwMajor) && number(v[1], id.hwMinor);
    if (key == "serial")
        return count(2) && number(v[0], id.serial) && number(v[1], id.serialAux);
    if (key == "imei")
        return count(1) && ToText(v[0], 15, id.imei, error);
    if (key == "type")
        return count(2) && number(v[0], id.typeAux) && number(v[1], id.cfgType);
    if (key == "gsm")
        return count(5) && number(v[0], g.gsmState) && number(v[1], g.simState) &&
               number(v[2], g.netState) && number(v[3], g.signal) && number(v[4], g.refused);
    if (key == "credit") {
        if (!count(2))
            return false;
        if (ToFloat(v[0], g.credit1) && ToFloat(v[1], g.credit2))
            return true;
        error = "bad credit value";
        return false;
    }
    if (key == "cell")
        return count(1) && number(v[0], g.cellId);
    if (key == "operator")
        return count(1) && ToText(v[0], 16, g.operatorName, error);
    if (key == "inputs")
        return count(1) && number(v[0], s.inputs);
    if (key == "outputs")
        return count(1) && number(v[0], s.outputs);
    if (key == "clock")
        return count(2) && time(v[0], v[1], s.clock);
    if (key == "pin")
        return count(1) && ToText(v[0], 8, s.pin, error);
    if (key == "block-after")
        return count(1) && number(v[0], s.blockAfter);
    if (key == "wrong-pins")
        return count(1) && number(v[0], s.wrongPins);
    if (key == "blocked")
        return count(1) && flag(v[0], s.blocked);
    if (key == "send-polls")
        return count(1) && number(v[0], s.send.pollsInProgress);
    if (key == "send-fail")
        return count(1) && flag(v[0], s.send.fail);
    if (key == "send-refuse")
        return count(1) && flag(v[0], s.send.refuse);
    if (key == "sms") {
        SimSms sms;
        if (!count(4) || !time(v[0], v[1], sms.time) || !ToText(v[2], 175, sms.number, error) ||
            !ToText(v[3], 175, sms.text, error))
            return false;
        if (sms.number.size() + sms.text.size() > 175) {
            error = "number and text are longer than a stored message can be";
            return false;
        }
        s.stored.push_back(sms);
        return true;
    }
    if (key == "sent") {
        SimSentSms sms;
        if (!count(3) || !ToText(v[0], 255, sms.number, error) ||
            !ToText(v[1], 255, sms.text, error) || !flag(v[2], sms.accepted))
            return false;
        s.sent.push_back(sms);
        return true;
    }
    if (key.rfind("config.", 0) == 0) {
        uint16_t offset = 0;
        if (!number(Token{key.substr(7), false}, offset))
            return false;
        if (size_t{offset} + v.size() > s.config.size()) {
            error = "configuration bytes beyond the end of the memory";
            return false;
        }
        for (size_t i = 0; i < v.size(); ++i) {
            uint64_t b = 0;
            if (v[i].quoted || v[i].text.size() != 2 || !ToUnsigned({"0x" + v[i].text}, 255, b)) {
                error = "bad configuration byte '" + v[i].text + "'";
                return false;
            }
            s.config[offset + i] = static_cast<uint8_t>(b);
        }
        return true;
    }
    error = "unknown key '" + key + "'";
    return false;
}

} // namespace

std::string FormatSimState(const SimUnitState& s) {
    const SimIdent& id = s.ident;
    const SimGsm& g = s.gsm;
    std::ostringstream out;
    char credit[64];
    std::snprintf(credit, sizeof credit, "%.9g %.9g", static_cast<double>(g.credit1),
                  static_cast<double>(g.credit2));
    out << "# State of a virtual TK530 unit. Texts in double quotes (UTF-8, C escapes);\n"
        << "# numbers decimal or 0x hexadecimal; a missing line keeps its default.\n"
        << "name = " << Quote(id.name) << "\n"
        << "firmware = " << unsigned{id.fwMajor} << " " << unsigned{id.fwMinor} << "\n"
        << "hardware = " << id.hwMajor << " " << unsigned{id.hwMinor} << "\n"
        << "serial = " << id.serial << " " << unsigned{id.serialAux} << "\n"
        << "imei = " << Quote(id.imei) << "\n"
        << "type = " << id.typeAux << " " << id.cfgType << "  # the second is the device type\n"
        << "gsm = " << unsigned{g.gsmState} << " " << unsigned{g.simState} << " "
        << unsigned{g.netState} << " " << unsigned{g.signal} << " " << unsigned{g.refused}
        << "  # module, SIM, network, signal, refused accesses\n"
        << "credit = " << credit << "\n"
        << "cell = " << Hex(g.cellId, 4) << "\n"
        << "operator = " << Quote(g.operatorName) << "\n"
        << "inputs = " << Hex(s.inputs, 2) << "\n"
        << "outputs = " << Hex(s.outputs, 2) << "\n"
        << "clock = " << FormatTime(s.clock) << "\n"
        << "pin = " << Quote(s.pin) << "\n"
        << "block-after = " << s.blockAfter << "  # 0 = never\n"
        << "wrong-pins = " << s.wrongPins << "\n"
        << "blocked = " << YesNo(s.blocked) << "\n"
        << "send-polls = " << s.send.pollsInProgress << "\n"
        << "send-fail = " << YesNo(s.send.fail) << "\n"
        << "send-refuse = " << YesNo(s.send.refuse) << "\n"
        << "# stored messages, oldest first: received, number, text\n";
    for (const SimSms& sms : s.stored)
        out << "sms = " << FormatTime(sms.time) << " " << Quote(sms.number) << " "
            << Quote(sms.text) << "\n";
    out << "# messages handed over for sending: number, text, accepted\n";
    for (const SimSentSms& sms : s.sent)
        out << "sent = " << Quote(sms.number) << " " << Quote(sms.text) << " "
            << YesNo(sms.accepted) << "\n";
    out << "# configuration memory (device layout), " << kConfigBytesPerLine
        << " bytes a line from the offset in the key\n";
    for (size_t off = 0; off < s.config.size(); off += kConfigBytesPerLine) {
        char key[32];
        std::snprintf(key, sizeof key, "config.0x%04zX =", off);
        out << key;
        for (size_t i = off; i < std::min(s.config.size(), off + kConfigBytesPerLine); ++i) {
            char b[4];
            std::snprintf(b, sizeof b, " %02X", s.config[i]);
            out << b;
        }
        out << "\n";
    }
    return out.str();
}

bool ParseSimState(const std::string& text, SimUnitState& state, std::string* error) {
    SimUnitState work = state;
    work.stored.clear();
    work.sent.clear();
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string reason;
        const size_t eq = line.find('=');
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::vector<Token> tokens;
        if (eq == std::string::npos || eq < first) {
            reason = "expected key = value";
        } else if (Tokenize(line.substr(eq + 1), tokens, reason)) {
            std::string key = line.substr(first, eq - first);
            key.erase(key.find_last_not_of(" \t") + 1);
            ParseLine(key, tokens, work, reason);
        }
        if (!reason.empty()) {
            if (error)
                *error = "line " + std::to_string(lineNo) + ": " + reason;
            return false;
        }
    }
    state = std::move(work);
    return true;
}

bool SaveSimState(const std::string& path, const SimUnitState& state, std::string* error) {
    const std::string text = FormatSimState(state);
    if (tk::WriteFileAtomically(path, text.data(), text.size(), 0644, tk::FileOwner::User))
        return true;
    if (error)
        *error = path + ": cannot be saved";
    return false;
}

bool LoadSimState(const std::string& path, SimUnitState& state, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string reason;
    if (ParseSimState(text.str(), state, &reason))
        return true;
    if (error)
        *error = path + ": " + reason;
    return false;
}

bool ParseSimFault(std::string_view text, SimFault& fault, std::string* error) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t colon = text.find(':', start);
        parts.emplace_back(text.substr(start, colon - start));
        if (colon == std::string_view::npos)
            break;
        start = colon + 1;
    }
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "fault '" + std::string(text) + "': " + why;
        return false;
    };
    if (parts.size() < 2 || parts.size() > 4)
        return fail("expected CMD:KIND[:COUNT[:AFTER]]");

    SimFault f;
    const std::string& cmd = parts[0];
    uint64_t code = 0;
    if (cmd == "*" || strcasecmp(cmd.c_str(), "any") == 0) {
        f.command = SIM_ANY_COMMAND;
    } else if (SimCommandByName(cmd) >= 0) {
        f.command = SimCommandByName(cmd);
    } else {
        std::string hex = cmd;
        if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X'))
            hex = hex.substr(2);
        if (hex.empty() || hex.size() > 2 || !ToUnsigned({"0x" + hex}, 255, code))
            return fail("unknown command '" + cmd + "'");
        f.command = static_cast<int>(code);
    }

    std::string kind = parts[1];
    std::string arg;
    const size_t eq = kind.find('=');
    if (eq != std::string::npos) {
        arg = kind.substr(eq + 1);
        kind.resize(eq);
    }
    uint64_t value = 0;
    const bool haveValue = !arg.empty() && ToUnsigned({arg}, 0xFFFFFFFF, value);
    if (!arg.empty() && !haveValue && kind != "echo")
        return fail("bad value '" + arg + "'");
    if (kind == "noanswer") {
        f.kind = SimFaultKind::NoAnswer;
    } else if (kind == "badsum") {
        f.kind = SimFaultKind::BadChecksum;
    } else if (kind == "noise") {
        f.kind = SimFaultKind::Noise;
        f.value = haveValue ? static_cast<uint32_t>(value) : 8;
        if (f.value == 0 || f.value > 4096)
            return fail("noise takes 1 to 4096 bytes");
    } else if (kind == "confirm") {
        f.kind = SimFaultKind::Confirm;
        if (!haveValue || value == 0 || value > 255)
            return fail("confirm needs a code from 1 to 255 (confirm=6)");
        f.value = static_cast<uint32_t>(value);
    } else if (kind == "echo") {
        f.kind = SimFaultKind::BadEcho;
        if (arg.empty() || arg == "offset")
            f.value = 0;
        else if (arg == "length")
            f.value = 1;
        else
            return fail("echo takes offset or length");
    } else if (kind == "delay") {
        f.kind = SimFaultKind::Delay;
        if (!haveValue || value > 600000)
            return fail("delay needs milliseconds (delay=4000)");
        f.value = static_cast<uint32_t>(value);
    } else if (kind == "hangup") {
        f.kind = SimFaultKind::HangUp;
    } else if (kind == "short") {
        f.kind = SimFaultKind::Short;
        f.value = haveValue ? static_cast<uint32_t>(value) : 4;
        if (f.value > 255)
            return fail("short takes 0 to 255 bytes");
    } else {
        return fail("unknown kind '" + kind + "'");
    }
    if (!arg.empty() && (f.kind == SimFaultKind::NoAnswer || f.kind == SimFaultKind::BadChecksum ||
                         f.kind == SimFaultKind::HangUp))
        return fail(kind + " takes no value");

    uint64_t n = 0;
    if (parts.size() >= 3) {
        if (!ToUnsigned({parts[2]}, 0xFFFFFFFE, n) || n == 0)
            return fail("bad count '" + parts[2] + "'");
        f.count = static_cast<uint32_t>(n);
    }
    if (parts.size() == 4) {
        if (!ToUnsigned({parts[3]}, 0xFFFFFFFF, n))
            return fail("bad AFTER '" + parts[3] + "'");
        f.after = static_cast<uint32_t>(n);
    }
    fault = f;
    return true;
}

SimSms SimSampleSms(int n, const SysTime& time) {
    SimSms sms;
    sms.time = time;
    char number[32];
    std::snprintf(number, sizeof number, "+420777%06d", n % 1000000);
    sms.number = number;
    // Czech text, so that the code page travels with every sample.
    tk::Utf8ToCp1250("Testovací zpráva č. " + std::to_string(n) + " z virtuální jednotky.",
                     sms.text);
    return sms;
}
