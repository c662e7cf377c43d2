#include "app/ShellRules.h"

#include "base/CzechFormat.h"

#include "app/PaneMng.h"
#include "base/Texts.h"
#include "link/ComMsg.h"
#include "status/DevStatus.h"
#include "status/SysTime.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The first `count` characters of a UTF-8 text.
std::string_view FirstChars(std::string_view text, size_t count) {
    size_t pos = 0;
    for (size_t chars = 0; pos < text.size(); ++chars) {
        if (chars == count)
            break;
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return text.substr(0, pos);
}

} // namespace

std::string ComposeTitle(std::string_view filePath, bool modified) {
    std::string_view name;
    if (filePath.empty()) {
        name = GetText(TXT_UNNAMED);
    } else {
        const size_t slash = filePath.find_last_of('/');
        name = FirstChars(slash == std::string_view::npos ? filePath : filePath.substr(slash + 1),
                          127);
    }
    std::string title(kAppTitle);
    title += " (";
    title += name;
    title += modified ? "*)" : ")";
    return title;
}

int StatusPanelWidth(int clientWidth) {
    return std::max(clientWidth - 100, 0);
}

bool LinkAllowsSms(bool online, int32_t sessionConnType, int32_t profileConnType) {
    return online ? sessionConnType == 1 : profileConnType == 1;
}

SmsActionStates SmsActionRules(const SmsActionInputs& in) {
    SmsActionStates s;
    const bool link = LinkAllowsSms(in.online, in.sessionConnType, in.profileConnType);
    const bool listShown = in.curPane == PANE_SMSLIST;
    const bool ruleA = listShown && in.listCount > 0;
    const bool ruleS = listShown && in.selCount > 0;
    s.open = s.saveSel = s.delSel = ruleS;
    s.saveAll = s.delAll = ruleA;
    s.read = link;
    s.sendAll = link && in.toSendCount > 0;
    s.sendSel = link && ruleS && in.curParam == 2;
    return s;
}

std::string DialogFilter(std::string_view filter) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        const size_t bar = filter.find('|', start);
        const size_t end = bar == std::string_view::npos ? filter.size() : bar;
        parts.push_back(filter.substr(start, end - start));
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string pattern(parts[i + 1]);
        if (pattern == "*.*")
            pattern = "*"; // every file, with or without an extension
        std::string_view text = parts[i];
        const size_t paren = text.find(" (");
        if (paren != std::string_view::npos)
            text = text.substr(0, paren);
        if (!out.empty())
            out += ";;";
        out += text;
        out += " (" + pattern + ")";
    }
    return out;
}

namespace {

std::string ClockOf(const SysTime& t) {
    return tk::CzechTime(t.wHour % 100, t.wMinute % 100, t.wSecond % 100);
}

} // namespace

WndRect FitWindow(const WndRect& wanted, const WndFrame& frame, const WndRect& area) {
    if (area.width <= 0 || area.height <= 0)
        return wanted;
    const int extraW = frame.left + frame.right;
    const int extraH = frame.top + frame.bottom;
    WndRect r = wanted;
    r.width = std::clamp(wanted.width, 1, std::max(area.width - extraW, 1));
    r.height = std::clamp(wanted.height, 1, std::max(area.height - extraH, 1));
    // The outer rectangle first pushed back from the right and bottom edges, then from the
    // left and top, so that the title bar stays reachable whatever happens.
    int outerX = r.x - frame.left;
    int outerY = r.y - frame.top;
    outerX = std::min(outerX, area.x + area.width - (r.width + extraW));
    outerY = std::min(outerY, area.y + area.height - (r.height + extraH));
    outerX = std::max(outerX, area.x);
    outerY = std::max(outerY, area.y);
    r.x = outerX + frame.left;
    r.y = outerY + frame.top;
    return r;
}

WndRect CentreWindow(int width, int height, const WndFrame& frame, const WndRect& area) {
    const int outerW = width + frame.left + frame.right;
    const int outerH = height + frame.top + frame.bottom;
    const WndRect centred{area.x + (area.width - outerW) / 2 + frame.left,
                          area.y + (area.height - outerH) / 2 + frame.top, width, height};
    return FitWindow(centred, frame, area);
}

std::string SilenceText(const SysTime& since) {
    return "Jednotka neodpovídá od " + ClockOf(since) +
           " — zkontrolujte kabel a napájení. Offline (F3) spojení ukončí.";
}

std::string LastSeenText(const SysTime& since, const SysTime& now) {
    const bool today =
        since.wYear == now.wYear && since.wMonth == now.wMonth && since.wDay == now.wDay;
    return "naposledy " +
           (today ? std::string() : tk::CzechDate(since.wYear, since.wMonth, since.wDay) + " ") +
           ClockOf(since);
}

std::string DoneText(uint32_t command, const DoneFacts& facts) {
    switch (command) {
    case CM_READ_CFG:
        return "Konfigurace načtena z jednotky " + facts.unitName + " (výrobní číslo " +
               FormatSerial(facts.serial) + ").";
    case CM_READ_STATUS:
        return "Stav jednotky načten.";
    case CM_SET_OUTPUTS:
        return "Výstupy nastaveny.";
    case CM_SET_TIME:
        return "Čas jednotky nastaven.";
    case CM_READ_SMS:
        return facts.smsRead > 0 ? "Načteno " + std::to_string(facts.smsRead) + " nových SMS"
                                 : std::string("Žádné nové SMS");
    case CM_SEND_SMS:
        return facts.smsSent == 1 ? std::string("SMS odeslána.")
                                  : "Odesláno SMS: " + std::to_string(facts.smsSent) + ".";
    default:
        return {}; // a configuration write reports its changes itself
    }
}

std::string ExportDoneText(int count, std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return "Do souboru " + std::string(name) + " uloženo zpráv: " + std::to_string(count) + ".";
}

std::string FetchedSmsText(std::string_view number) {
    return number.empty() ? std::string("Přijata nová SMS.")
                          : "Přijata nová SMS od " + std::string(number) + ".";
}
