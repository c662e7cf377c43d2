#include "link/HayesReader.h"

#include <array>

bool CHayesReader::Feed(uint8_t byte) {
    if (byte == '\n' || (byte == '\r' && m_bCrEnds)) {
        m_line.swap(m_partial);
        m_partial.clear();
        m_bOverlong = m_bPartialOverlong;
        m_bPartialOverlong = false;
        return true;
    }
    if (byte == '\r')
        return false;
    if (m_partial.size() < MAX_LINE)
        m_partial.push_back(static_cast<char>(byte));
    else
        m_bPartialOverlong = true;
    return false;
}

size_t CHayesReader::Feed(const uint8_t* data, size_t size, bool* lineDone) {
    *lineDone = false;
    for (size_t i = 0; i < size; ++i) {
        if (Feed(data[i])) {
            *lineDone = true;
            return i + 1;
        }
    }
    return size;
}

void CHayesReader::Reset() {
    m_partial.clear();
    m_bPartialOverlong = false;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string ToUpper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        c = Upper(c);
    return u;
}

// `word` alone, or followed by one of `next`.
bool IsWord(std::string_view u, std::string_view word, std::string_view next = " ") {
    if (u.substr(0, word.size()) != word)
        return false;
    return u.size() == word.size() || next.find(u[word.size()]) != std::string_view::npos;
}

// Unsolicited and intermediate result codes of the form "+XXXX: ..." (also "^XXXX: ..."
// and the like of some makers): network registration, signal, ring with its type ...
bool IsTaggedInfo(std::string_view u) {
    if (u.size() < 3 || std::string_view("+^*%$#").find(u[0]) == std::string_view::npos)
        return false;
    size_t i = 1;
    while (i < u.size() &&
           ((u[i] >= 'A' && u[i] <= 'Z') || (u[i] >= '0' && u[i] <= '9') || u[i] == '_'))
        ++i;
    return i > 1 && i < u.size() && u[i] == ':';
}

struct NumericCode {
    int code;
    HayesLine kind;
    const char* name;
};

// The basic codes, and the CONNECT speeds most modems give above them.
constexpr std::array<NumericCode, 19> kNumeric{{
    {0, HayesLine::Ok, "OK"},
    {1, HayesLine::Connect, "CONNECT"},
    {2, HayesLine::Info, "RING"},
    {3, HayesLine::Failure, "NO CARRIER"},
    {4, HayesLine::Failure, "ERROR"},
    {5, HayesLine::Connect, "CONNECT 1200"},
    {6, HayesLine::Failure, "NO DIALTONE"},
    {7, HayesLine::Failure, "BUSY"},
    {8, HayesLine::Failure, "NO ANSWER"},
    {10, HayesLine::Connect, "CONNECT 2400"},
    {11, HayesLine::Connect, "CONNECT 4800"},
    {12, HayesLine::Connect, "CONNECT 9600"},
    {13, HayesLine::Connect, "CONNECT 7200"},
    {14, HayesLine::Connect, "CONNECT 12000"},
    {15, HayesLine::Connect, "CONNECT 14400"},
    {16, HayesLine::Connect, "CONNECT 19200"},
    {17, HayesLine::Connect, "CONNECT 38400"},
    {18, HayesLine::Connect, "CONNECT 57600"},
    {19, HayesLine::Connect, "CONNECT 115200"},
}};

// The code of a numeric result ("0" ... "999"), -1 for anything else.
int NumericValue(std::string_view u) {
    if (u.empty() || u.size() > 3)
        return -1;
    int v = 0;
    for (char c : u) {
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

const NumericCode* FindNumeric(int v) {
    for (const NumericCode& n : kNumeric) {
        if (n.code == v)
            return &n;
    }
    return nullptr;
}

} // namespace

HayesLine ClassifyHayesLine(std::string_view line, std::string_view sentCommand, bool numeric) {
    const std::string_view t = Trim(line);
    if (t.empty())
        return HayesLine::Empty;
    const std::string u = ToUpper(t);
    const std::string_view sent = Trim(sentCommand);
    if (!sent.empty() && u == ToUpper(sent))
        return HayesLine::Echo;

    if (u == "OK")
        return HayesLine::Ok;
    if (IsWord(u, "CONNECT", " /"))
        return HayesLine::Connect;
    static constexpr std::string_view kFailures[] = {"BUSY",         "NO CARRIER", "NO DIALTONE",
                                                     "NO DIAL TONE", "NO ANSWER",  "ERROR"};
    for (std::string_view f : kFailures) {
        if (u == f)
            return HayesLine::Failure;
    }
    if (IsWord(u, "+CME ERROR", ": ") || IsWord(u, "+CMS ERROR", ": ") || IsWord(u, "DELAYED") ||
        IsWord(u, "BLACKLISTED"))
        return HayesLine::Failure;

    if (IsWord(u, "RING") || u == "RINGING" || u == "RINGBACK" || u == "DIALING" ||
        IsWord(u, "CARRIER") || IsWord(u, "PROTOCOL", ": ") || IsWord(u, "COMPRESSION", ": ") ||
        IsTaggedInfo(u))
        return HayesLine::Info;

    if (numeric) {
        const int v = NumericValue(u);
        if (const NumericCode* n = FindNumeric(v))
            return n->kind;
        if (v > 8)
            return HayesLine::Connect; // other makers' CONNECT speeds
    }
    return HayesLine::Unknown;
}

std::string HayesReasonText(std::string_view line, bool numeric) {
    const std::string_view t = Trim(line);
    if (numeric) {
        if (const NumericCode* n = FindNumeric(NumericValue(t)))
            return n->name;
    }
    std::string out;
    for (char c : t.substr(0, 60)) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x20 && b < 0x7F ? c : '?');
    }
    return out;
}
