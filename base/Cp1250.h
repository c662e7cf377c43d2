// Conversion between UTF-8 (the program's internal text form) and Windows code page 1250
// (the single-byte form of every text on the wire and in the program's files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tk {

// Unicode code point of a CP1250 byte. The five bytes that CP1250 leaves undefined
// (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control with the same value, so every byte
// a unit may send survives a round trip.
char32_t Cp1250ToUnicode(uint8_t byte);

// The CP1250 byte of a code point, or -1 when CP1250 cannot hold it.
int UnicodeToCp1250(char32_t cp);

// Bytes in CP1250 to UTF-8. Never fails.
std::string Cp1250ToUtf8(std::string_view cp1250);

// UTF-8 to CP1250. Returns false when the text holds a character that CP1250 cannot hold or
// is not valid UTF-8; `bad` then receives the offending character (as UTF-8, or the
// invalid byte in hexadecimal) so that the caller can name it to the user. `out` is only
// written on success: nothing is ever dropped silently.
bool Utf8ToCp1250(std::string_view utf8, std::string& out, std::string* bad = nullptr);

// UTF-8 helpers shared by every reader of text: appends code point cp as UTF-8; decodes the
// sequence at pos of s into cp and returns its length, or 0 for an invalid, overlong or
// surrogate sequence.
void AppendUtf8(std::string& out, char32_t cp);
size_t DecodeUtf8(std::string_view s, size_t pos, char32_t& cp);

} // namespace tk
