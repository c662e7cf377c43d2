#include "base/Texts.h"

#include <algorithm>
#include <array>

namespace {

struct TextEntry {
    uint32_t id;
    const char* text;
};

constexpr TextEntry kTexts[] = {
#include "resources/texts.inc"
};

constexpr bool IsSortedById() {
    for (size_t i = 1; i < std::size(kTexts); ++i) {
        if (kTexts[i - 1].id >= kTexts[i].id)
            return false;
    }
    return true;
}
static_assert(IsSortedById(), "resources/texts.inc must be sorted by number, without repeats");

// Size of each state group, starting at its base number.
uint32_t StateGroupSize(uint32_t base) {
    switch (base) {
    case TXT_CALL_STATE_BASE:
        return 5;
    case TXT_SIM_STATE_BASE:
        return 7;
    case TXT_NET_STATE_BASE:
        return 5;
    default:
        return 0;
    }
}

// Number of bytes a UTF-8 character takes that starts with this byte.
size_t Utf8Length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    return 4;
}

} // namespace

std::string_view GetText(uint32_t id) {
    const auto* end = std::end(kTexts);
    const auto* it = std::lower_bound(std::begin(kTexts), end, id,
                                      [](const TextEntry& e, uint32_t v) { return e.id < v; });
    if (it == end || it->id != id)
        return {};
    return it->text;
}

std::string LoadText(uint32_t id, size_t bufferSize) {
    const std::string_view text = GetText(id);
    if (bufferSize == 0)
        return {};
    // Every character of the table is one byte in CP1250; count characters, not bytes.
    size_t chars = 0;
    size_t pos = 0;
    while (pos < text.size() && chars < bufferSize - 1) {
        pos += Utf8Length(static_cast<unsigned char>(text[pos]));
        ++chars;
    }
    return std::string(text.substr(0, std::min(pos, text.size())));
}

std::string_view GetStateText(uint32_t base, uint32_t value) {
    if (value >= StateGroupSize(base))
        return {};
    return GetText(base + value);
}
