// What the window says around a write of the configuration to a unit: the question, the note
// for a configuration nobody chose, and the words after it. The unit is named as its
// identification gives it, so the installer sees which unit the write goes to.
#pragma once

#include <cstdint>
#include <string>

struct CDevIdent;

// "NAME (výrobní číslo 00012345)" in UTF-8; "TK530 (výrobní číslo ...)" when the unit gives no
// name.
std::string CfgUnitName(const CDevIdent& id);

// "Zapsat do jednotky NAME (výrobní číslo N) tyto změny?"
std::string CfgWriteQuestion(const CDevIdent& id);

// Above the list when the configuration to write is the defaults nobody edited or opened.
inline constexpr char kCfgBlankWriteNote[] =
    "Zapisuje se nová konfigurace, která nebyla upravena ani otevřena: jednotka dostane "
    "výchozí nastavení.";

// The question when the unit is not read first (the unit is not known yet).
inline constexpr char kCfgPlainWriteQuestion[] =
    "Zapsat konfiguraci do jednotky? Její dosavadní konfigurace se před zápisem nenačte ani "
    "nezálohuje.";

// The unit already holds the configuration: nothing was written.
std::string CfgUnchangedText(const CDevIdent& id);

// After a successful write; `changes` is the number of settings changed, -1 when unknown.
std::string CfgWrittenText(const CDevIdent& id, intptr_t changes);
