// The catalogue of the configuration's fields: every byte of the image belongs to exactly one
// entry, either a setting that a pane edits (with the key scripts use, the caption the pane
// shows, its kind, its room or range, and what the pane accepts) or a named area that no pane
// edits and that travels unchanged. Everything that shows, checks, compares, exports or
// imports settings goes through it, so that the panes, tk530ctl and the files agree.
#pragma once

#include "config/CfgImage.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tk::json {
struct Value;
}

// The panes by their ids in the pane manager; fields no pane edits have CFG_PANE_NONE.
enum CfgPaneId : int {
    CFG_PANE_NONE = -1,
    CFG_PANE_CALL_PARS = 0,
    CFG_PANE_EN_DIRS = 1,
    CFG_PANE_SIM = 2,
    CFG_PANE_ALARM = 3,
    CFG_PANE_SMS = 4,
    CFG_PANE_TIME_PARS = 5,
    CFG_PANE_BASIC = 6,
    CFG_PANE_RENUM = 7,
};

// The caption of a pane's node in the configuration tree ("SIM karta"); for CFG_PANE_NONE the
// heading of the carried data.
const char* CfgPaneCaption(int pane);

enum class CfgKind : uint8_t {
    Text,     // zero-terminated CP1250 text; at most size - 1 bytes
    Number,   // one byte, whole number within min..max (an up-down)
    Level,    // one byte, a track bar's level within min..max
    Choice,   // one byte, one of the named values (radio buttons), or within min..max when
              // min <= max (the tariff: named modes or an interval)
    Flag,     // one byte, 0 or 1 (a check box)
    Float,    // the credit threshold, a 32-bit float; any finite value
    Reserved, // bytes no pane edits; any content
};

struct CfgChoice {
    int value;
    const char* key;   // in JSON and on the command line ("k_d")
    const char* label; // as the pane shows it ("K + D")
};

struct CfgField {
    std::string key;   // stable, English: "sim.pin", "alarm[2].sms_numbers[0]"
    std::string label; // the pane's caption, Czech, without the colon
    std::string group; // subheading inside the pane ("Alarm 3"), or empty
    int pane = CFG_PANE_NONE;
    int paneParam = 0; // the parameter the pane is shown with (the alarm record)
    CfgKind kind = CfgKind::Reserved;
    uint16_t offset = 0; // in the image
    uint16_t size = 0;
    int min = 0; // Number, Level: the range; Choice: the numeric range besides the names
    int max = -1;
    std::span<const CfgChoice> choices;
    int otherShownAs = -1; // Choice: the value whose button the pane checks for any other one
    // Text: a telephone number the unit dials or sends SMS to; it holds only what the unit
    // can dial (CheckDialNumber), and its edit refuses anything else.
    bool dialNumber = false;

    // The room of a text in CP1250 bytes (the pane's character limit).
    size_t Room() const { return size > 0 ? size - 1u : 0u; }
    bool IsCarried() const { return pane == CFG_PANE_NONE; }
};

// Every field, in the order of the configuration tree (panes), carried areas last.
const std::vector<CfgField>& CfgCatalogue();
// The field with this key, or null.
const CfgField* CfgFindField(std::string_view key);
// The field that holds this byte of the image, or null past its end.
const CfgField* CfgFieldAt(size_t offset);

// Results of the checks, the setters and the import. 0 is success.
enum CfgError : int {
    CFG_OK = 0,
    CFG_E_UNKNOWN_KEY = 1, // no field has this key
    CFG_E_TYPE,            // the value is of the wrong kind (a text for a number ...)
    CFG_E_RANGE,           // a number outside what the pane allows
    CFG_E_CHOICE,          // not one of the named values
    CFG_E_TOO_LONG,        // a text longer than its room in CP1250
    CFG_E_CHARSET,         // a character CP1250 cannot hold (an emoji ...)
    CFG_E_NUL,             // a text with a zero character, which would end it early
    CFG_E_NOT_FINITE,      // a threshold that is not a finite number
    CFG_E_BYTES,           // hexadecimal bytes of the wrong form or length
    CFG_E_TAIL,            // stored bytes after a text do not fit that text
    CFG_E_SYNTAX,          // the JSON itself is not valid
    CFG_E_FORMAT,          // the JSON is not a configuration (its frame is wrong)
    CFG_E_DIAL,            // a telephone number the unit cannot dial (a blank, a letter)
};

// The general wording of an error, Czech.
const char* CfgErrorText(int error);

// The value as the pane shows it (UTF-8): a text as it is, a choice by its caption, a number
// in decimal, a flag as "ano"/"ne", carried bytes in hexadecimal.
std::string CfgValueText(const CfgField& field, const CfgImage& image);

// Whether the value in the image is one the pane can show and store back unchanged. 0, or
// CFG_E_RANGE / CFG_E_CHOICE / CFG_E_NOT_FINITE / CFG_E_DIAL with `detail` saying what the
// pane allows.
int CfgCheckField(const CfgField& field, const CfgImage& image, std::string* detail = nullptr);

struct CfgProblem {
    const CfgField* field = nullptr; // null for a problem of the file as a whole
    std::string key;                 // the key as written (also when unknown)
    int error = CFG_OK;
    std::string detail; // Czech: what was wrong
};

// Every field whose value the panes would not accept, in catalogue order.
std::vector<CfgProblem> CfgCheckImage(const CfgImage& image);

// Sets a field from text as a user types it: a text as it is (UTF-8); a number in decimal; a
// choice by its key (or, for a range, a number); a flag as true/false, 1/0 or ano/ne; the
// threshold as a decimal number with a point or a comma; carried bytes in hexadecimal. The
// value is checked against what the pane allows; with `force` a number, choice or flag may
// be any value its byte holds, and a telephone number any text. On failure the image is unchanged
// and `detail` says why.
int CfgSetFromText(const CfgField& field, std::string_view text, CfgImage& image, bool force,
                   std::string* detail = nullptr);

// The same from a value of a JSON file: a text field takes a string, a number or level an
// integer, a choice its key as a string (or an integer within its range), a flag true or
// false, the threshold a number (or "0x" and its eight hexadecimal digits, for the values
// no number expresses), carried bytes a string of hexadecimal digits. With `force` a number,
// choice or flag may also be any integer its byte holds.
int CfgSetFromJson(const CfgField& field, const tk::json::Value& value, CfgImage& image, bool force,
                   std::string* detail = nullptr);
// The value as it is written to a JSON file (a literal that CfgSetFromJson reads back to the
// same bytes, given the text's tail below).
std::string CfgValueJson(const CfgField& field, const CfgImage& image);
// The bytes after a text's terminating zero in hexadecimal when any of them is not zero (a
// unit may leave old bytes there), else empty; and setting them back after the text.
std::string CfgTextTail(const CfgField& field, const CfgImage& image);
int CfgSetTextTail(const CfgField& field, std::string_view hex, CfgImage& image,
                   std::string* detail = nullptr);

// The shortest decimal form of the threshold that reads back as the same float ("12.5").
std::string CfgFormatFloat(float value);

// Whether the two images hold the same value in this field (for texts: the same text; the
// bytes after a text's end do not count).
bool CfgFieldEqual(const CfgField& field, const CfgImage& a, const CfgImage& b);

// One field that differs between two configurations.
struct CfgDiffEntry {
    const CfgField* field = nullptr; // key, label, group, pane and paneParam
    std::string oldText;             // as CfgValueText of the first
    std::string newText;             // ... and of the second
};

// The fields in which `b` differs from `a`, in catalogue order.
std::vector<CfgDiffEntry> CfgDiff(const CfgImage& a, const CfgImage& b);
