// Recipients as people write them: "+420 777 123 456; (603) 11-22-33, 604.111.222". One rule
// for every place a user names recipients (the SMS editor, tk530ctl sms-send --to), so that
// what the preview lists is what the unit is given.
//
// Recipients are separated by "," ";" or a line break. Inside a recipient, blanks (also the
// non-breaking ones of pasted text), dashes, dots and brackets are dropped; what is left must
// be digits, optionally after one leading "+", at most 16 characters. A message has at most 4
// recipients. Empty recipients (",," or a separator at the end) are no recipients.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Results of ParseRecipients.
inline constexpr int RCPT_OK = 0;
inline constexpr int RCPT_BAD_CHAR = 1;    // a character no number holds (a letter, "/")
inline constexpr int RCPT_PLUS_INSIDE = 2; // "+" after the first character of a number
inline constexpr int RCPT_NO_DIGITS = 3;   // a recipient without a digit ("+", "-")
inline constexpr int RCPT_TOO_LONG = 4;    // more than SMS_MAX_NUMBER_LEN characters
inline constexpr int RCPT_TOO_MANY = 5;    // more than SMS_MAX_NUMBERS recipients

struct RecipientList {
    int error = RCPT_OK;
    // The numbers as they will be sent: all of them on success, those before the faulty
    // recipient otherwise.
    std::vector<std::string> numbers;
    // The faulty recipient as written (without the blanks around it); the fifth one for
    // RCPT_TOO_MANY.
    std::string recipient;
    std::string badChar; // RCPT_BAD_CHAR: the character, UTF-8
    size_t length = 0;   // RCPT_TOO_LONG: the number's characters
};

// `line` is UTF-8 (plain ASCII is UTF-8 too). Never fails otherwise than by the codes above.
RecipientList ParseRecipients(std::string_view line);

// One number as a configuration keeps it for the unit to dial or to send SMS to: the unit
// takes it as it stands, so nothing may be between the digits. Empty (not used), or digits
// after at most one leading "+". RCPT_OK; RCPT_BAD_CHAR with `badChar` (UTF-8) for a blank,
// letter, dash ...; RCPT_PLUS_INSIDE; RCPT_NO_DIGITS for a "+" alone (also what a number
// being typed is before its first digit). Never RCPT_TOO_LONG: the field's room limits it.
int CheckDialNumber(std::string_view number, std::string* badChar = nullptr);
// The Czech hint for a result of CheckDialNumber (UTF-8); empty for RCPT_OK.
std::string DialNumberHint(int error, std::string_view badChar);

// The Czech sentence naming the faulty recipient and what is wrong with it (UTF-8); empty
// when the list is sound.
std::string RecipientErrorText(const RecipientList& list);
