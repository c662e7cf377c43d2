#include "sms/Recipients.h"

#include "sms/SMS.h"

#include <algorithm>

namespace {

// Length of the UTF-8 sequence that starts with this byte (1 for a stray byte, so that the
// scan always moves on).
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

bool IsSeparator(std::string_view ch) {
    return ch == "," || ch == ";" || ch == "\n" || ch == "\r";
}

// What people put between digit groups; none of it is part of the number.
bool IsFiller(std::string_view ch) {
    static constexpr std::string_view kFillers[] = {
        " ",
        "\t",
        "-",
        ".",
        "(",
        ")",
        "[",
        "]",
        "\xC2\xA0",     // no-break space
        "\xE2\x80\xAF", // narrow no-break space
        "\xE2\x80\x89", // thin space
        "\xE2\x80\x90", // hyphen
        "\xE2\x80\x91", // non-breaking hyphen
        "\xE2\x80\x93", // en dash
        "\xE2\x80\x94", // em dash
        "\xE2\x88\x92", // minus sign
    };
    for (const std::string_view f : kFillers)
        if (ch == f)
            return true;
    return false;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// One recipient, separators already cut off. RCPT_OK with `number` set, or the error.
int ParseOne(std::string_view given, std::string& number, RecipientList& out) {
    number.clear();
    bool digits = false;
    for (size_t i = 0; i < given.size();) {
        const size_t len =
            std::min(SequenceLength(static_cast<unsigned char>(given[i])), given.size() - i);
        const std::string_view ch = given.substr(i, len);
        i += len;
        if (IsFiller(ch))
            continue;
        if (ch == "+") {
            if (!number.empty())
                return RCPT_PLUS_INSIDE;
            number += '+';
            continue;
        }
        if (ch.size() != 1 || ch[0] < '0' || ch[0] > '9') {
            out.badChar = std::string(ch);
            return RCPT_BAD_CHAR;
        }
        number += ch[0];
        digits = true;
    }
    if (!digits)
        return RCPT_NO_DIGITS;
    if (number.size() > SMS_MAX_NUMBER_LEN) {
        out.length = number.size();
        return RCPT_TOO_LONG;
    }
    return RCPT_OK;
}

std::string Quoted(std::string_view s) {
    return "„" + std::string(s) + "“";
}

} // namespace

RecipientList ParseRecipients(std::string_view line) {
    RecipientList out;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = start;
        while (end < line.size() && !IsSeparator(line.substr(end, 1)))
            ++end;
        const std::string_view given = Trim(line.substr(start, end - start));
        start = end + 1;
        if (given.empty())
            continue;
        if (out.numbers.size() == static_cast<size_t>(SMS_MAX_NUMBERS)) {
            out.error = RCPT_TOO_MANY;
            out.recipient = std::string(given);
            return out;
        }
        std::string number;
        out.error = ParseOne(given, number, out);
        if (out.error != RCPT_OK) {
            out.recipient = std::string(given);
            return out;
        }
        out.numbers.push_back(std::move(number));
    }
    return out;
}

std::string RecipientErrorText(const RecipientList& list) {
    const std::string who = "Příjemce " + Quoted(list.recipient);
    switch (list.error) {
    case RCPT_BAD_CHAR:
        return who + ": znak " + Quoted(list.badChar) + " v telefonním čísle být nemůže.";
    case RCPT_PLUS_INSIDE:
        return who + ": znak + smí být jen na začátku čísla.";
    case RCPT_NO_DIGITS:
        return who + " neobsahuje žádné číslo.";
    case RCPT_TOO_LONG:
        return who + " má " + std::to_string(list.length) + " znaků; číslo jich smí mít nejvýše " +
               std::to_string(SMS_MAX_NUMBER_LEN) + ".";
    case RCPT_TOO_MANY:
        return "Zpráva může mít nejvýše " + std::to_string(SMS_MAX_NUMBERS) + " příjemce (" +
               Quoted(list.recipient) + " je pátý).";
    default:
        return {};
    }
}

int CheckDialNumber(std::string_view number, std::string* badChar) {
    bool digits = false;
    for (size_t i = 0; i < number.size();) {
        const size_t len =
            std::min(SequenceLength(static_cast<unsigned char>(number[i])), number.size() - i);
        const std::string_view ch = number.substr(i, len);
        if (ch == "+") {
            if (i != 0)
                return RCPT_PLUS_INSIDE;
        } else if (ch.size() == 1 && ch[0] >= '0' && ch[0] <= '9') {
            digits = true;
        } else {
            if (badChar)
                *badChar = std::string(ch);
            return RCPT_BAD_CHAR;
        }
        i += len;
    }
    return number.empty() || digits ? RCPT_OK : RCPT_NO_DIGITS;
}

std::string DialNumberHint(int error, std::string_view badChar) {
    switch (error) {
    case RCPT_BAD_CHAR:
        return (IsFiller(badChar) && badChar != "." ? std::string("Mezera, pomlčka ani závorka")
                                                    : "Znak " + Quoted(badChar)) +
               " v telefonním čísle být nemůže: číslo tvoří jen číslice, na začátku smí být +.";
    case RCPT_PLUS_INSIDE:
        return "Znak + smí být jen na začátku čísla.";
    case RCPT_NO_DIGITS:
        return "Číslo neobsahuje žádnou číslici.";
    default:
        return {};
    }
}
