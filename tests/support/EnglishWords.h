// Finds English in texts meant for a Czech user: a list of common English words that are no
// Czech words. Words in capitals are skipped (codes and names: "EC", "RTS/CTS", "NO CARRIER"
// as the modem says it), and so are paths and commands, which hold none of these words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The English words of `text`, in order (empty: none found).
std::vector<std::string> EnglishWords(std::string_view text);
