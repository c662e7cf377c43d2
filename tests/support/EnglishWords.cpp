#include "tests/support/EnglishWords.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// Frequent words of English sentences, none of them a Czech word ("a", "to", "do", "no", "by",
// "on", "argument" and "port" are left out on purpose).
constexpr std::array<std::string_view, 71> kEnglish = {
    "about",  "after",       "again",     "allowed",   "already",     "an",       "and",
    "are",    "arguments",   "been",      "busy",      "cannot",      "could",    "denied",
    "device", "did",         "directory", "does",      "error",       "expected", "failed",
    "file",   "following",   "for",       "found",     "from",        "has",      "have",
    "hung",   "invalid",     "is",        "it",        "line",        "many",     "missing",
    "must",   "not",         "of",        "only",      "operation",   "option",   "options",
    "or",     "permission",  "please",    "required",  "resource",    "settings", "should",
    "such",   "than",        "that",      "the",       "there",       "this",     "timed",
    "too",    "unavailable", "unknown",   "unplugged", "unsupported", "use",      "value",
    "was",    "were",        "which",     "while",     "will",        "with",     "without",
    "would",
};

} // namespace

std::vector<std::string> EnglishWords(std::string_view text) {
    std::vector<std::string> found;
    size_t i = 0;
    // A letter of a word: ASCII, or any byte of a UTF-8 sequence (Czech letters).
    auto letter = [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
    };
    while (i < text.size()) {
        if (!letter(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && letter(text[end]))
            ++end;
        const std::string_view word = text.substr(i, end - i);
        i = end;
        const bool capitals = std::none_of(word.begin(), word.end(), [](char c) {
            return std::islower(static_cast<unsigned char>(c));
        });
        if (capitals)
            continue;
        std::string lower(word);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (std::find(kEnglish.begin(), kEnglish.end(), lower) != kEnglish.end())
            found.push_back(std::string(word));
    }
    return found;
}
