#include "base/Json.h"

#include "base/Cp1250.h"

#include <cstdint>
#include <cstdio>
#include <unordered_set>

namespace tk::json {

namespace {

class Parser {
public:
    explicit Parser(std::string_view in) : m_in(in) {}

    bool Document(Value& out) {
        if (m_in.substr(0, 3) == "\xEF\xBB\xBF")
            m_pos = 3;
        SkipSpace();
        if (!ParseValue(out, 0))
            return false;
        SkipSpace();
        if (m_pos != m_in.size())
            return Fail("za hodnotou následuje další text");
        return true;
    }

    ParseError m_error;

private:
    bool Fail(const std::string& message) {
        if (m_error.message.empty()) {
            size_t line = 1;
            size_t column = 1;
            for (size_t i = 0; i < m_pos && i < m_in.size(); ++i) {
                if (m_in[i] == '\n') {
                    ++line;
                    column = 1;
                } else {
                    ++column;
                }
            }
            m_error = {line, column, message};
        }
        return false;
    }

    void SkipSpace() {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '\n') {
                ++m_line;
                m_lineStart = m_pos + 1;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                break;
            }
            ++m_pos;
        }
    }

    bool Literal(std::string_view word) {
        if (m_in.substr(m_pos, word.size()) != word)
            return Fail("neznámé slovo (hodnota je text v uvozovkách, číslo, true, false, "
                        "null, pole nebo objekt)");
        m_pos += word.size();
        return true;
    }

    bool ParseValue(Value& v, size_t depth) {
        v.line = m_line;
        v.column = m_pos - m_lineStart + 1;
        if (m_pos >= m_in.size())
            return Fail("očekávána hodnota, soubor ale skončil");
        switch (m_in[m_pos]) {
        case '{':
            return ParseObject(v, depth + 1);
        case '[':
            return ParseArray(v, depth + 1);
        case '"':
            v.type = Type::String;
            return ParseString(v.text);
        case 't':
            v.type = Type::Bool;
            v.boolean = true;
            return Literal("true");
        case 'f':
            v.type = Type::Bool;
            v.boolean = false;
            return Literal("false");
        case 'n':
            v.type = Type::Null;
            return Literal("null");
        default:
            v.type = Type::Number;
            return ParseNumber(v.text);
        }
    }

    bool Digits() {
        const size_t start = m_pos;
        while (m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9')
            ++m_pos;
        return m_pos > start;
    }

    bool ParseNumber(std::string& text) {
        const size_t start = m_pos;
        if (m_pos < m_in.size() && m_in[m_pos] == '-')
            ++m_pos;
        if (m_pos < m_in.size() && m_in[m_pos] == '0') {
            ++m_pos;
        } else if (!Digits()) {
            return Fail("neplatná hodnota");
        }
        if (m_pos < m_in.size() && m_in[m_pos] == '.') {
            ++m_pos;
            if (!Digits())
                return Fail("za desetinnou tečkou chybí číslice");
        }
        if (m_pos < m_in.size() && (m_in[m_pos] == 'e' || m_in[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_in.size() && (m_in[m_pos] == '+' || m_in[m_pos] == '-'))
                ++m_pos;
            if (!Digits())
                return Fail("v exponentu chybí číslice");
        }
        if (m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9')
            return Fail("číslo nesmí začínat nulou");
        text.assign(m_in.substr(start, m_pos - start));
        return true;
    }

    bool Hex4(uint32_t& value) {
        if (m_pos + 4 > m_in.size())
            return Fail("neúplná sekvence \\u");
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_in[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return Fail("neplatná sekvence \\u");
        }
        return true;
    }

    bool ParseString(std::string& out) {
        ++m_pos; // the opening quote
        out.clear();
        while (true) {
            if (m_pos >= m_in.size())
                return Fail("text nemá koncové uvozovky");
            const auto c = static_cast<uint8_t>(m_in[m_pos]);
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c < 0x20)
                return Fail("řídicí znak v textu musí být zapsán sekvencí \\");
            if (c == '\\') {
                ++m_pos;
                if (m_pos >= m_in.size())
                    return Fail("text nemá koncové uvozovky");
                const char e = m_in[m_pos++];
                switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    uint32_t cp = 0;
                    if (!Hex4(cp))
                        return false;
                    if (cp >= 0xDC00 && cp <= 0xDFFF)
                        return Fail("osamocená druhá polovina dvojice \\u (surrogate)");
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        uint32_t low = 0;
                        if (m_in.substr(m_pos, 2) != "\\u")
                            return Fail("osamocená první polovina dvojice \\u (surrogate)");
                        m_pos += 2;
                        if (!Hex4(low))
                            return false;
                        if (low < 0xDC00 || low > 0xDFFF)
                            return Fail("osamocená první polovina dvojice \\u (surrogate)");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    AppendUtf8(out, cp);
                    break;
                }
                default:
                    --m_pos;
                    return Fail("neznámá sekvence \\" + std::string(1, e));
                }
                continue;
            }
            char32_t cp = 0;
            const size_t len = DecodeUtf8(m_in, m_pos, cp);
            if (len == 0)
                return Fail("text není platné UTF-8");
            out.append(m_in.substr(m_pos, len));
            m_pos += len;
        }
    }

    bool ParseArray(Value& v, size_t depth) {
        v.type = Type::Array;
        if (depth > JSON_MAX_DEPTH)
            return Fail("příliš hluboké vnoření");
        ++m_pos;
        SkipSpace();
        if (m_pos < m_in.size() && m_in[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        while (true) {
            v.items.emplace_back();
            SkipSpace();
            if (!ParseValue(v.items.back(), depth))
                return false;
            SkipSpace();
            if (m_pos >= m_in.size())
                return Fail("pole nemá koncovou závorku ]");
            const char c = m_in[m_pos++];
            if (c == ']')
                return true;
            if (c != ',') {
                --m_pos;
                return Fail("v poli se čeká , nebo ]");
            }
        }
    }

    bool ParseObject(Value& v, size_t depth) {
        v.type = Type::Object;
        if (depth > JSON_MAX_DEPTH)
            return Fail("příliš hluboké vnoření");
        ++m_pos;
        SkipSpace();
        if (m_pos < m_in.size() && m_in[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        // The names so far, for the duplicate check: a set, as an object may have many.
        std::unordered_set<std::string> names;
        while (true) {
            SkipSpace();
            if (m_pos >= m_in.size() || m_in[m_pos] != '"')
                return Fail("v objektu se čeká název v uvozovkách");
            std::string name;
            const size_t namePos = m_pos;
            if (!ParseString(name))
                return false;
            if (!names.insert(name).second) {
                m_pos = namePos;
                return Fail("název \"" + name + "\" je v objektu dvakrát");
            }
            SkipSpace();
            if (m_pos >= m_in.size() || m_in[m_pos] != ':')
                return Fail("za názvem se čeká :");
            ++m_pos;
            SkipSpace();
            v.members.push_back(Member{std::move(name), Value{}});
            if (!ParseValue(v.members.back().value, depth))
                return false;
            SkipSpace();
            if (m_pos >= m_in.size())
                return Fail("objekt nemá koncovou závorku }");
            const char c = m_in[m_pos++];
            if (c == '}')
                return true;
            if (c != ',') {
                --m_pos;
                return Fail("v objektu se čeká , nebo }");
            }
        }
    }

    std::string_view m_in;
    size_t m_pos = 0;
    size_t m_line = 1;
    size_t m_lineStart = 0;
};

} // namespace

const Value* Value::Find(std::string_view name) const {
    for (const auto& [n, v] : members)
        if (n == name)
            return &v;
    return nullptr;
}

bool Parse(std::string_view input, Value& out, ParseError* error) {
    Parser parser(input);
    Value v;
    if (!parser.Document(v)) {
        if (error)
            *error = parser.m_error;
        return false;
    }
    out = std::move(v);
    return true;
}

std::string Quote(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<uint8_t>(utf8[i]);
        char esc[8];
        switch (c) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<uint8_t>(utf8[i + 1]) >= 0x80 &&
                   static_cast<uint8_t>(utf8[i + 1]) <= 0x9F) {
            // A C1 control (U+0080-U+009F), e.g. an undefined CP1250 byte.
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<uint8_t>(utf8[++i]));
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

const char* TypeName(Type type) {
    switch (type) {
    case Type::Null:
        return "null";
    case Type::Bool:
        return "true/false";
    case Type::Number:
        return "číslo";
    case Type::String:
        return "text";
    case Type::Array:
        return "pole";
    case Type::Object:
        return "objekt";
    }
    return "?";
}

} // namespace tk::json
