// Result lines of a Hayes modem: assembling them from the bytes that come in, and telling
// what each one means. Nothing here touches a device, so the reader can be driven from any
// byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Assembles result lines. A line ends at LF; CR is dropped. (A reader that stopped at CR
// would leave the LF of "CONNECT 9600" CR LF in front of the unit's first byte.) While the
// modem may still answer with numeric codes, which end with CR alone, SetCrEndsLine(true)
// lets a CR end the line too; the LF after it then gives an empty line.
class CHayesReader {
public:
    // Longer lines are cut; the rest up to the line end is dropped and Overlong() is set.
    static constexpr size_t MAX_LINE = 256;

    void SetCrEndsLine(bool on) { m_bCrEnds = on; }

    // Takes one byte. True when it completed a line; Line() then holds it until the next
    // byte is fed.
    bool Feed(uint8_t byte);

    // Feeds bytes until one completes a line or the bytes run out. Returns how many were
    // taken: the bytes after a completed line are left for the caller.
    size_t Feed(const uint8_t* data, size_t size, bool* lineDone);

    const std::string& Line() const { return m_line; }
    bool Overlong() const { return m_bOverlong; }

    // Forgets a partly received line.
    void Reset();

private:
    std::string m_partial;
    std::string m_line;
    bool m_bPartialOverlong = false;
    bool m_bOverlong = false;
    bool m_bCrEnds = false;
};

// What a result line means to the dialler.
enum class HayesLine {
    Empty,   // nothing but blanks
    Echo,    // the command just sent, echoed back
    Ok,      // OK
    Connect, // CONNECT[ text]: the call is up
    Failure, // BUSY, NO CARRIER, NO DIALTONE, NO ANSWER, ERROR, +CME ERROR ...: a final failure
    Info,    // RING, CARRIER ..., PROTOCOL: ..., unsolicited "+XXX: ..." lines: skipped
    Unknown, // anything else
};

// Classifies a line. `sentCommand` is the command last sent (without its CR), for telling
// its echo. `numeric` accepts the numeric result codes of a modem set to ATV0 ("0" = OK ...).
HayesLine ClassifyHayesLine(std::string_view line, std::string_view sentCommand = {},
                            bool numeric = false);

// The line as it may be shown to the user: printable ASCII only (others become '?'),
// trimmed, at most 60 characters. With `numeric`, a numeric result code becomes its verbose
// name ("7" is "BUSY").
std::string HayesReasonText(std::string_view line, bool numeric = false);
