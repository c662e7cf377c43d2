#include "tools/cli/CtlConfig.h"

#include "base/FileIO.h"
#include "base/Json.h"
#include "base/SafeFile.h"
#include "base/Texts.h"
#include "config/CfgBackup.h"
#include "config/CfgCatalogue.h"
#include "config/CfgJson.h"
#include "config/TK630Cfg.h"
#include "status/DevStatus.h"
#include "tools/cli/CtlCommands.h"
#include "tools/cli/CtlFormat.h"
#include "tools/cli/CtlUI.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace ctl {

namespace {

constexpr char kUnit[] = "unit";
constexpr char kBackupPrefix[] = "backup:";
constexpr size_t kMaxJsonSize = 1 << 20;
constexpr size_t kMaxCfgSize = 1 << 20;
// Exit status of diff and check when they found something, as diff(1) does.
constexpr int EXIT_DIFFERENT = 1;
// Link error 1 (the line failed) would read as "they differ" here: it ends with EX_IOERR.
constexpr int EXIT_LINE_FAILED = 74;

const std::string kArrow = " → ";

std::string Quoted(std::string_view s) {
    return "\"" + ForTerminal(s) + "\"";
}

// A configuration named on the command line, read once.
class CSources {
public:
    CSources(const Args& args, CConsole& console) : m_args(args), m_console(console) {}

    // 0 with the image, or the exit status (reported).
    int Load(const std::string& name, CfgImage& image) {
        if (name == kUnit) {
            if (!m_unit) {
                CfgImage read;
                if (const int r = ReadUnitConfiguration(m_args, m_console, read); r != 0)
                    return r == EXIT_DIFFERENT ? EXIT_LINE_FAILED : r;
                m_unit = read;
            }
            image = *m_unit;
            return 0;
        }
        std::string path;
        if (const int r = Resolve(name, path); r != 0)
            return r;
        CTK630Cfg cfg; // without a host: no message box, the message is ours
        if (cfg.LoadFile(path) != 1) {
            m_console.Err(std::string(GetText(TXT_CFG_LOAD_ERROR)) + " (" + ForTerminal(path) +
                          ")\n");
            return EXIT_FILE;
        }
        image = *cfg.GetImage();
        return 0;
    }

    // The path of a file or of "backup:N".
    int Resolve(const std::string& name, std::string& path) {
        if (name.rfind(kBackupPrefix, 0) != 0) {
            path = name;
            return 0;
        }
        const std::string n = name.substr(sizeof kBackupPrefix - 1);
        const std::vector<CfgBackupInfo> backups = ListConfigBackups();
        char* end = nullptr;
        const unsigned long index = std::strtoul(n.c_str(), &end, 10);
        if (n.empty() || *end != '\0' || n[0] == '-' || index < 1 || index > backups.size()) {
            m_console.Err("Záloha " + Quoted(name) + " neexistuje: " +
                          (backups.empty()
                               ? "žádné zálohy nejsou (" + ForTerminal(CfgBackupFolder()) + ").\n"
                               : "zálohy jsou očíslovány 1 až " + std::to_string(backups.size()) +
                                     " (vypíše je příkaz backups).\n"));
            return EXIT_USAGE;
        }
        path = backups[index - 1].path;
        return 0;
    }

private:
    const Args& m_args;
    CConsole& m_console;
    std::optional<CfgImage> m_unit;
};

// "Pane › group" of a field.
std::string Heading(const CfgField& f) {
    std::string h = CfgPaneCaption(f.pane);
    if (!f.group.empty())
        h += " › " + f.group;
    return h;
}

std::string ForDiff(const CfgField& f, const std::string& text) {
    return f.kind == CfgKind::Text ? Quoted(text) : ForTerminal(text);
}

// Every setting under its pane (and group), the values aligned within each group.
std::string ShowText(const CfgImage& image) {
    std::string out;
    const auto& fields = CfgCatalogue();
    int pane = -2;
    for (size_t i = 0; i < fields.size();) {
        const CfgField& first = fields[i];
        size_t end = i;
        size_t width = 0;
        while (end < fields.size() && fields[end].pane == first.pane &&
               fields[end].group == first.group) {
            width = std::max(width, Utf8Length(fields[end].label));
            ++end;
        }
        if (first.pane != pane) {
            out += std::string(CfgPaneCaption(first.pane)) + "\n";
            pane = first.pane;
        }
        std::string indent = "  ";
        if (!first.group.empty()) {
            out += "  " + first.group + "\n";
            indent = "    ";
        }
        for (; i < end; ++i) {
            const CfgField& f = fields[i];
            std::string value = ForTerminal(CfgValueText(f, image));
            std::string detail;
            if (CfgCheckField(f, image, &detail) != CFG_OK)
                value += "  [" + ForTerminal(detail) + "]";
            out += indent + f.label + ":";
            if (!value.empty())
                out += std::string(width - Utf8Length(f.label) + 2, ' ') + value;
            out += '\n';
        }
    }
    return out;
}

std::string DiffText(const std::vector<CfgDiffEntry>& diff) {
    std::string out;
    std::string heading;
    for (const CfgDiffEntry& d : diff) {
        const CfgField& f = *d.field;
        if (Heading(f) != heading) {
            heading = Heading(f);
            out += heading + "\n";
        }
        out += "  " + f.label + ":  " + ForDiff(f, d.oldText) + kArrow + ForDiff(f, d.newText) +
               "  (" + f.key + ")\n";
    }
    return out;
}

std::string DiffJson(const std::vector<CfgDiffEntry>& diff, const CfgImage& a, const CfgImage& b) {
    std::string out = "{\"equal\":";
    out += diff.empty() ? "true" : "false";
    out += ",\"differences\":[";
    for (size_t i = 0; i < diff.size(); ++i) {
        const CfgField& f = *diff[i].field;
        out += i ? "," : "";
        out += "{\"key\":" + tk::json::Quote(f.key) +
               ",\"pane\":" + tk::json::Quote(CfgPaneCaption(f.pane)) +
               ",\"group\":" + tk::json::Quote(f.group) + ",\"label\":" + tk::json::Quote(f.label) +
               ",\"old\":" + tk::json::Quote(diff[i].oldText) +
               ",\"new\":" + tk::json::Quote(diff[i].newText) +
               ",\"old_value\":" + CfgValueJson(f, a) + ",\"new_value\":" + CfgValueJson(f, b) +
               "}";
    }
    return out + "]}\n";
}

std::string ProblemLine(const CfgProblem& p) {
    std::string line = p.key.empty() ? std::string("soubor") : p.key;
    if (p.field)
        line += " (" + Heading(*p.field) + " › " + p.field->label + ")";
    // The detail names what is wrong; the general wording only stands in for it.
    line += ": " + (p.detail.empty() ? std::string(CfgErrorText(p.error)) : p.detail);
    return ForTerminal(line) + "\n";
}

std::string ProblemsJson(const std::vector<CfgProblem>& problems) {
    std::string out = "{\"valid\":";
    out += problems.empty() ? "true" : "false";
    out += ",\"problems\":[";
    for (size_t i = 0; i < problems.size(); ++i) {
        const CfgProblem& p = problems[i];
        out += i ? "," : "";
        out += "{\"key\":" + tk::json::Quote(p.key) +
               ",\"error\":" + tk::json::Quote(CfgErrorText(p.error)) +
               ",\"detail\":" + tk::json::Quote(p.detail) + "}";
    }
    return out + "]}\n";
}

// A file the user named; it holds the SIM PIN in clear, so a new one is the user's alone.
bool WriteText(const std::string& path, const std::string& text) {
    return tk::WriteFileAtomically(path, text.data(), text.size(), 0600, tk::FileOwner::User);
}

// The old file as it was, byte for byte, beside it: the program's own file (never written
// through a link), with the source's mode (never looser: it holds the same PIN). 0, or the
// errno of the failure.
int WriteBackup(const std::string& source, const std::string& backup) {
    std::string before;
    if (const int err = tk::ReadFileContent(source, before, kMaxCfgSize, tk::kReadRegularOnly))
        return err;
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0)
        return errno;
    tk::CSafeFileWriter writer;
    if (!writer.Open(backup, 0600, tk::FileOwner::Program))
        return writer.Error();
    writer.ForceMode(st.st_mode & 0777);
    if (!writer.Write(before.data(), before.size()) || !writer.Commit())
        return writer.Error() != 0 ? writer.Error() : EIO;
    return 0;
}

// --- the commands

int Show(const Args& a, CConsole& console, CSources& sources) {
    CfgImage image;
    if (const int r = sources.Load(a.config.source, image); r != 0)
        return r;
    console.Out(a.json ? CfgExportJson(image) : ShowText(image));
    return 0;
}

int Export(const Args& a, CConsole& console, CSources& sources) {
    CfgImage image;
    if (const int r = sources.Load(a.config.source, image); r != 0)
        return r;
    const std::string json = CfgExportJson(image);
    if (a.config.output.empty() || a.config.output == "-") {
        console.Out(json);
        return 0;
    }
    if (!WriteText(a.config.output, json)) {
        console.Err("Soubor " + ForTerminal(a.config.output) + " se nepodařilo uložit.\n");
        return EXIT_FILE;
    }
    console.Out("Konfigurace byla uložena do souboru " + ForTerminal(a.config.output) + ".\n");
    return 0;
}

int ReadInput(const std::string& path, std::string& content, CConsole& console) {
    if (path == "-") {
        content.clear();
        char buf[4096];
        ssize_t n;
        while ((n = ::read(STDIN_FILENO, buf, sizeof buf)) > 0) {
            content.append(buf, static_cast<size_t>(n));
            if (content.size() > kMaxJsonSize)
                break;
        }
        if (content.size() <= kMaxJsonSize)
            return 0;
    } else if (const int err =
                   tk::ReadFileContent(path, content, kMaxJsonSize, tk::kReadRegularOnly);
               err == 0) {
        return 0;
    } else if (err != EFBIG) {
        console.Err("Soubor " + ForTerminal(path) + " nelze přečíst.\n");
        return EXIT_FILE;
    }
    console.Err("Soubor " + ForTerminal(path) + " je větší než " +
                std::to_string(kMaxJsonSize / 1024) + " KiB; konfigurace to není.\n");
    return EXIT_FILE;
}

int Import(const Args& a, CConsole& console, CSources& sources) {
    const ConfigArgs& c = a.config;
    std::string json;
    if (const int r = ReadInput(c.source, json, console); r != 0)
        return r;
    CfgImage image;
    SetDefaults(image);
    if (!c.base.empty()) {
        if (const int r = sources.Load(c.base, image); r != 0)
            return r;
    }
    std::vector<CfgProblem> problems;
    if (CfgImportJson(json, image, c.force, problems) != CFG_OK) {
        std::string out;
        for (const CfgProblem& p : problems)
            out += ProblemLine(p);
        console.Err(out + "Nic nebylo uloženo (chyb: " + std::to_string(problems.size()) + ").\n");
        return EXIT_FILE;
    }
    if (!WriteCfgFile(c.output, image)) {
        console.Err(std::string(GetText(TXT_CFG_SAVE_ERROR)) + " (" + ForTerminal(c.output) +
                    ")\n");
        return EXIT_FILE;
    }
    console.Out("Konfigurace byla uložena do souboru " + ForTerminal(c.output) + ".\n");
    return 0;
}

int Set(const Args& a, CConsole& console, CSources& sources) {
    const ConfigArgs& c = a.config;
    if (c.source == kUnit || c.source.rfind(kBackupPrefix, 0) == 0) {
        console.Err("config set mění soubor; jednotku ani zálohu takto změnit nelze (uložte ji "
                    "nejdříve do souboru).\n");
        return EXIT_USAGE;
    }
    CfgImage image;
    if (const int r = sources.Load(c.source, image); r != 0)
        return r;
    const CfgImage old = image;
    std::string errors;
    for (const std::string& item : c.assignments) {
        const size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const CfgField* f = eq == std::string::npos ? nullptr : CfgFindField(key);
        std::string detail;
        if (eq == std::string::npos)
            errors += Quoted(item) + ": nastavení se zadává jako KLÍČ=HODNOTA\n";
        else if (!f)
            errors += ForTerminal(key) + ": " + CfgErrorText(CFG_E_UNKNOWN_KEY) + "\n";
        else if (const int e = CfgSetFromText(*f, item.substr(eq + 1), image, c.force, &detail);
                 e != CFG_OK)
            errors += ProblemLine({f, key, e, detail});
    }
    if (!errors.empty()) {
        console.Err(errors + "Soubor nebyl změněn.\n");
        return EXIT_USAGE;
    }
    const std::vector<CfgDiffEntry> diff = CfgDiff(old, image);
    if (std::memcmp(&old, &image, sizeof image) == 0) {
        console.Out("Nic se nezměnilo; soubor zůstává, jak byl.\n");
        return 0;
    }
    // The old file as it was, byte for byte, beside the new one.
    const std::string backup = c.source + ".bak";
    if (const int err = WriteBackup(c.source, backup); err != 0) {
        console.Err("Zálohu " + ForTerminal(backup) + " se nepodařilo uložit (" +
                    tk::FileErrorText(err) + "); soubor nebyl změněn.\n");
        return EXIT_FILE;
    }
    if (!WriteCfgFile(c.source, image)) {
        console.Err(std::string(GetText(TXT_CFG_SAVE_ERROR)) + " (" + ForTerminal(c.source) +
                    ")\n");
        return EXIT_FILE;
    }
    console.Out(DiffText(diff) + "Uloženo do " + ForTerminal(c.source) +
                " (původní soubor: " + ForTerminal(backup) + ").\n");
    return 0;
}

int Diff(const Args& a, CConsole& console, CSources& sources) {
    CfgImage first;
    CfgImage second;
    if (const int r = sources.Load(a.config.source, first); r != 0)
        return r;
    if (const int r = sources.Load(a.config.other, second); r != 0)
        return r;
    const std::vector<CfgDiffEntry> diff = CfgDiff(first, second);
    console.Out(a.json ? DiffJson(diff, first, second) : DiffText(diff));
    return diff.empty() ? 0 : EXIT_DIFFERENT;
}

int Check(const Args& a, CConsole& console, CSources& sources) {
    CfgImage image;
    if (const int r = sources.Load(a.config.source, image); r != 0)
        return r;
    const std::vector<CfgProblem> problems = CfgCheckImage(image);
    if (a.json) {
        console.Out(ProblemsJson(problems));
    } else if (problems.empty()) {
        console.Out("Všechny hodnoty jsou v mezích, které dovolují panely.\n");
    } else {
        std::string out;
        for (const CfgProblem& p : problems)
            out += ProblemLine(p);
        console.Out(out);
    }
    return problems.empty() ? 0 : EXIT_DIFFERENT;
}

int Backups(const Args& a, CConsole& console) {
    std::optional<uint32_t> unit;
    if (!a.config.unit.empty()) {
        char* end = nullptr;
        const unsigned long long n = std::strtoull(a.config.unit.c_str(), &end, 10);
        if (*end != '\0' || a.config.unit[0] == '-' || n > UINT32_MAX) {
            console.Err("Výrobní číslo " + Quoted(a.config.unit) + " není číslo.\n");
            return EXIT_USAGE;
        }
        unit = static_cast<uint32_t>(n);
    }
    const std::vector<CfgBackupInfo> backups = ListConfigBackups();
    std::string out;
    for (size_t i = 0; i < backups.size(); ++i) {
        const CfgBackupInfo& b = backups[i];
        if (unit && b.serialNumber != *unit)
            continue;
        const std::string serial = FormatSerial(b.serialNumber);
        if (a.json) {
            out += out.empty() ? "" : ",";
            out += "{\"index\":" + std::to_string(i + 1) + ",\"serial\":\"" + serial +
                   "\",\"time\":\"" + IsoTime(b.time) + "\",\"size\":" + std::to_string(b.size) +
                   ",\"path\":" + tk::json::Quote(b.path) + "}";
        } else {
            char line[160];
            std::snprintf(line, sizeof line, "%4zu  %-13s  %-10s %-8s  %8llu  ", i + 1,
                          serial.c_str(), FormatDate(b.time).c_str(), FormatClock(b.time).c_str(),
                          static_cast<unsigned long long>(b.size));
            out += line + ForTerminal(b.name) + "\n";
        }
    }
    if (a.json) {
        console.Out("{\"folder\":" + tk::json::Quote(CfgBackupFolder()) + ",\"backups\":[" + out +
                    "]}\n");
    } else if (out.empty()) {
        console.Out("Žádné zálohy" + (unit ? " jednotky " + a.config.unit : std::string()) + " (" +
                    ForTerminal(CfgBackupFolder()) + ").\n");
    } else {
        console.Out("   č.  výrobní číslo  čas                  velikost  soubor (" +
                    ForTerminal(CfgBackupFolder()) + ")\n" + out);
    }
    return 0;
}

} // namespace

void AddConfigCommands(CLI::App& app, Args& a) {
    ConfigArgs& c = a.config;
    CLI::App* config = app.add_subcommand(
        "config", "Vypíše, exportuje, importuje, změní, porovná a zkontroluje konfigurace");
    config->require_subcommand(1, 1);
    config->fallthrough();
    const std::string what = "soubor *.cfg, unit (teď načtená z jednotky) nebo backup:N";
    auto sub = [&](const char* name, const char* help) {
        CLI::App* s = config->add_subcommand(name, help);
        s->fallthrough();
        s->callback([&c, name] { c.action = name; });
        return s;
    };
    sub("show", "Vypíše všechna nastavení po panelech, s popisky a hodnotami panelů")
        ->add_option("CONFIG", c.source, "Konfigurace: " + what)
        ->required();
    CLI::App* exp = sub("export", "Zapíše konfiguraci jako JSON");
    exp->add_option("CONFIG", c.source, "Konfigurace: " + what)->required();
    exp->add_option("-o", c.output, "Soubor JSON (bez volby: standardní výstup)")
        ->option_text("OUT.json");
    CLI::App* imp = sub("import", "Vytvoří soubor *.cfg z JSON; každá hodnota se kontroluje");
    imp->add_option("JSON", c.source, "Soubor JSON, - pro standardní vstup")->required();
    imp->add_option("-o", c.output, "Soubor *.cfg, který se zapíše")
        ->option_text("FILE.cfg")
        ->required();
    imp->add_option("--base", c.base,
                    "Nastavení, která JSON neuvádí, se vezmou z této konfigurace (" + what +
                        "; bez volby: nová konfigurace)")
        ->option_text("CONFIG");
    imp->add_flag("--force", c.force, "Přijme i čísla, volby a příznaky mimo to, co dovolí panely");
    CLI::App* set = sub("set", "Změní nastavení v souboru *.cfg (starý soubor zůstane jako .bak)");
    set->add_option("FILE", c.source, "Soubor *.cfg")->required();
    set->add_option("SETTING", c.assignments, "KLÍČ=HODNOTA, např. sim.pin=1234")->required();
    set->add_flag("--force", c.force, "Přijme i čísla, volby a příznaky mimo to, co dovolí panely");
    CLI::App* diff = sub("diff", "Porovná dvě konfigurace položku po položce (status 1: liší se)");
    diff->add_option("A", c.source, "První: " + what)->required();
    diff->add_option("B", c.other, "Druhá: " + what)->required();
    sub("check", "Vypíše hodnoty mimo to, co dovolí panely (status 1: nějaké jsou)")
        ->add_option("CONFIG", c.source, "Konfigurace: " + what)
        ->required();

    CLI::App* backups =
        app.add_subcommand("backups", "Vypíše zálohy konfigurací načtených z jednotek");
    backups->add_option("--unit", c.unit, "Jen zálohy jednotky s tímto výrobním číslem")
        ->option_text("SERIAL");

    if (CLI::App* write = app.get_subcommand("write-config")) {
        write->add_flag("--force", c.force, "Zapíše i hodnoty mimo to, co dovolí panely");
        write->add_flag("--dry-run", c.dryRun,
                        "Načte jednotku a ukáže, co by zápis změnil; nic nezapíše");
    }
}

bool IsConfigCommand(const std::string& command) {
    return command == "config" || command == "backups";
}

int RunConfigCommand(const Args& a, CConsole& console) {
    if (a.command == "backups")
        return Backups(a, console);
    CSources sources(a, console);
    const std::string& action = a.config.action;
    if (action == "show")
        return Show(a, console, sources);
    if (action == "export")
        return Export(a, console, sources);
    if (action == "import")
        return Import(a, console, sources);
    if (action == "set")
        return Set(a, console, sources);
    if (action == "diff")
        return Diff(a, console, sources);
    if (action == "check")
        return Check(a, console, sources);
    console.Err("Neznámý příkaz config " + Quoted(action) + ".\n");
    return EXIT_USAGE;
}

int PrepareWriteConfig(const Args& a, CConsole& console, std::string& path) {
    CSources sources(a, console);
    if (a.file == kUnit) {
        console.Err("write-config zapisuje soubor nebo zálohu, ne jednotku samu.\n");
        return EXIT_USAGE;
    }
    if (const int r = sources.Resolve(a.file, path); r != 0)
        return r;
    CfgImage image;
    if (const int r = sources.Load(path, image); r != 0)
        return r;
    const std::vector<CfgProblem> problems = CfgCheckImage(image);
    if (!problems.empty() && !a.config.force) {
        std::string out;
        for (const CfgProblem& p : problems)
            out += ProblemLine(p);
        console.Err(out + "Soubor " + ForTerminal(path) +
                    " obsahuje hodnoty, které panely nedovolují; do jednotky nebyl zapsán "
                    "(zapsat jej lze s --force).\n");
        return EXIT_FILE;
    }
    if (!a.config.dryRun)
        return WRITE_CONFIG_GO_ON;
    CfgImage unit;
    if (const int r = sources.Load(kUnit, unit); r != 0)
        return r;
    const std::vector<CfgDiffEntry> diff = CfgDiff(unit, image);
    if (diff.empty()) {
        console.Out("Jednotka už tuto konfiguraci má; zápis by nic nezměnil.\n");
        return 0;
    }
    console.Out(DiffText(diff) + "Zápis by změnil nastavení: " + std::to_string(diff.size()) +
                " (nic nebylo zapsáno).\n");
    return EXIT_DIFFERENT;
}

} // namespace ctl
