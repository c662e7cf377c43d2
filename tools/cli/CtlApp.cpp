#include "tools/cli/CtlApp.h"

#include "base/ProgramFolder.h"
#include "link/LinkError.h"
#include "tools/cli/CtlFormat.h"
#include "tools/cli/CtlSession.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#ifndef TK530_VERSION
#define TK530_VERSION "0"
#endif

namespace ctl {

namespace {

const char* const kListKeys = "received, sent nebo tosend";

// The names of the lists (the help names them in the description).
CLI::Validator ListKeys() {
    return CLI::IsMember({"received", "sent", "tosend"}).description("");
}

// The help's columns aligned by characters, not bytes (the texts are Czech).
class CHelpFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* opt, bool is_positional) const override {
        std::string name = make_option_name(opt, is_positional) + make_option_opts(opt);
        // An empty type name leaves two blanks.
        for (size_t at; (at = name.find("  ")) != std::string::npos;)
            name.erase(at, 1);
        return Row(name, make_option_desc(opt));
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        return Row(sub->get_display_name(true), sub->get_description());
    }

private:
    std::string Row(const std::string& name, const std::string& description) const {
        std::string out = "  " + name;
        const size_t width = get_column_width();
        const size_t length = Utf8Length(out);
        if (!description.empty()) {
            out +=
                length < width ? std::string(width - length, ' ') : "\n" + std::string(width, ' ');
            for (const char c : description) {
                out += c;
                if (c == '\n')
                    out += std::string(width, ' ');
            }
        }
        return out + "\n";
    }
};

// The labels of the help in the tool's language.
void CzechLabels(CLI::App& app) {
    app.formatter(std::make_shared<CHelpFormatter>());
    auto formatter = app.get_formatter();
    formatter->label("Usage", "Použití");
    formatter->label("OPTIONS", "VOLBY");
    formatter->label("SUBCOMMAND", "PŘÍKAZ");
    formatter->label("SUBCOMMANDS", "PŘÍKAZY");
    formatter->label("Positionals", "Argumenty");
    formatter->label("REQUIRED", "(povinné)");
    formatter->label("Needs", "vyžaduje");
    formatter->label("Excludes", "vylučuje");
    formatter->label("Env", "proměnná");
    formatter->label("TEXT", "");
    formatter->label("UINT", "");
    formatter->label("INT", "");
    formatter->column_width(34);
    app.option_defaults()->group("Volby");
    app.set_help_flag("-h,--help", "Vypíše tuto nápovědu a skončí");
}

CLI::App* Command(CLI::App& app, const char* name, const char* group, const char* help) {
    CLI::App* cmd = app.add_subcommand(name, help);
    cmd->group(group);
    return cmd;
}

const char* const kUnit = "Jednotka";
const char* const kSms = "SMS";
const char* const kLocal = "Modemy a nastavení";
const char* const kSteps = "Více kroků v jednom spojení";

// The commands (without `do`): the same for the command line and for each step of `do`.
void AddCommands(CLI::App& app, Args& a) {
    Command(app, "info", kUnit, "Připojí se a vypíše výrobní štítek jednotky");
    Command(app, "status", kUnit, "Přečte a vypíše stav GSM, binární vstupy/výstupy a čas");
    CLI::App* readCfg =
        Command(app, "read-config", kUnit, "Přečte konfiguraci jednotky do souboru *.cfg");
    readCfg->add_option("SOUBOR", a.file, "Soubor konfigurace, který se zapíše")->required();
    readCfg->add_flag("--force", a.force, "Přepíše soubor, který už existuje");
    CLI::App* writeCfg =
        Command(app, "write-config", kUnit, "Zapíše konfiguraci ze souboru *.cfg do jednotky");
    writeCfg->add_option("SOUBOR", a.file, "Soubor konfigurace, který se odešle")->required();
    writeCfg->add_flag("--verify", a.verify, "Konfiguraci přečte zpět a porovná");
    CLI::App* outputs =
        Command(app, "set-outputs", kUnit, "Nastaví binární výstupy (kanály 1-5), ostatní nechá");
    outputs->add_option("--set", a.setChannels, "Kanály do log. 1, např. 1,3-5")
        ->option_text("SEZNAM");
    outputs->add_option("--clear", a.clearChannels, "Kanály do log. 0")->option_text("SEZNAM");
    CLI::App* setTime = Command(app, "set-time", kUnit, "Nastaví čas jednotky");
    setTime->add_option("ČAS", a.time, "now (čas PC), nebo RRRR-MM-DDTHH:MM:SS")->required();

    Command(app, "sms-read", kSms,
            "Načte zprávy z jednotky do seznamu Přijaté a vypíše je; načtené zprávy se "
            "v jednotce SMAŽOU (jen kabelem)");
    CLI::App* smsSend = Command(app, "sms-send", kSms,
                                "Vloží zprávu do seznamu K odeslání a odešle ji přes jednotku "
                                "(jen kabelem)");
    smsSend
        ->add_option("--to", a.to,
                     "Příjemce (víc jich oddělte čárkou nebo středníkem, nebo volbu opakujte; "
                     "nejvýše 4); mezery, pomlčky, tečky a závorky se vynechají, + jen na "
                     "začátku, nejvýše 16 znaků")
        ->option_text("ČÍSLO")
        ->required()
        ->allow_extra_args(false);
    smsSend->add_option("--text", a.text, "Text zprávy (nejvýše 640 znaků); - čte standardní vstup")
        ->option_text("TEXT")
        ->required();
    CLI::App* smsResend = Command(app, "sms-resend", kSms,
                                  "Odešle znovu zprávy, které čekají v seznamu K odeslání "
                                  "(bez čísel všechny; jen kabelem)");
    smsResend->add_option("INDEX", a.indices, "Čísla zpráv, jak je vypisuje sms-list");
    CLI::App* smsList = Command(app, "sms-list", kSms,
                                "Vypíše místní seznamy SMS (* = nepřečtená), nejstarší první");
    smsList->add_option("SEZNAM", a.list, std::string(kListKeys) + " (bez něj všechny tři)")
        ->check(ListKeys());
    CLI::App* smsShow = Command(app, "sms-show", kSms, "Vypíše jednu zprávu celou");
    smsShow->add_option("SEZNAM", a.list, kListKeys)->required()->check(ListKeys());
    smsShow->add_option("INDEX", a.indices, "Číslo zprávy, jak je vypisuje sms-list")
        ->required()
        ->expected(1);
    CLI::App* smsDelete = Command(app, "sms-delete", kSms, "Smaže zprávy z místního seznamu");
    smsDelete->add_option("SEZNAM", a.list, kListKeys)->required()->check(ListKeys());
    smsDelete->add_option("INDEX", a.indices, "Čísla zpráv, jak je vypisuje sms-list")->required();
    CLI::App* smsMark = Command(app, "sms-mark-read", kSms,
                                "Označí zprávy jako přečtené (bez argumentů celý seznam Přijaté)");
    smsMark->add_option("SEZNAM", a.list, kListKeys)->check(ListKeys());
    smsMark->add_option("INDEX", a.indices, "Čísla zpráv (bez nich celý seznam)");
    CLI::App* smsExport =
        Command(app, "sms-export", kSms, "Uloží místní seznam SMS do textového souboru");
    smsExport->add_option("SEZNAM", a.list, kListKeys)->required()->check(ListKeys());
    smsExport->add_option("SOUBOR", a.file, "Textový soubor; - je standardní výstup")->required();
    CLI::Option* append =
        smsExport->add_flag("--append", a.append, "Připíše na konec existujícího souboru");
    CLI::Option* overwrite =
        smsExport->add_flag("--overwrite", a.overwrite, "Přepíše existující soubor");
    append->excludes(overwrite);
    smsExport
        ->add_option("--encoding", a.encoding,
                     "Kódování souboru: cp1250 (výchozí, jako ovládací panel) nebo utf8")
        ->option_text("cp1250|utf8")
        ->check(CLI::IsMember({"cp1250", "utf8"}));
    CLI::App* monitor = Command(app, "monitor", kUnit,
                                "Zůstane připojen a vypisuje každou změnu vstupů/výstupů, GSM a "
                                "času; kabelem také načítá zprávy, které se v jednotce SMAŽOU");
    monitor->add_option("--seconds", a.seconds, "Skončí po N sekundách (jinak Ctrl+C)")
        ->option_text("N");
    monitor
        ->add_option("--give-up", a.giveUp,
                     "Skončí se stavem 3, když jednotka N sekund neodpovídá (výchozí 60; "
                     "0 = nikdy)")
        ->option_text("N");

    Command(app, "modems", kLocal, "Vypíše seznam modemů");
    CLI::App* modemAdd = Command(app, "modem-add", kLocal, "Přidá modem do seznamu modemů");
    modemAdd->add_option("JMÉNO", a.name, "Jméno (nejvýše 31 znaků)")->required();
    modemAdd->add_option("ZAŘÍZENÍ", a.device, "Sériové zařízení, nejlépe /dev/serial/by-id/...")
        ->required();
    modemAdd->add_option("--init", a.init, "Inicializační řetězec po standardním nastavení")
        ->option_text("ŘETĚZEC");
    modemAdd
        ->add_option("--bearer", a.bearer,
                     "Příkaz nosiče GSM modemu (znamená --gsm; výchozí AT+CBST=7,0,1)")
        ->option_text("ŘETĚZEC");
    modemAdd->add_flag("--gsm", a.gsm, "GSM modem: před vytáčením pošle příkaz nosiče");
    CLI::App* modemDel = Command(app, "modem-del", kLocal, "Odstraní modem ze seznamu modemů");
    modemDel->add_option("MODEM", a.modemRef, "Číslo nebo jméno")->required();
    CLI::App* settings = Command(app, "settings", kLocal,
                                 "Vypíše nebo změní nastavení komunikace (Profile.dat), jako "
                                 "okno Nastavení komunikace");
    settings
        ->add_option("--port", a.setPort,
                     "Komunikační port lokálního přístupu (COM1, ttyUSB0, /dev/..., ./cesta, "
                     "tcp://POČÍTAČ:PORT, rfc2217://POČÍTAČ:PORT)")
        ->option_text("ZAŘÍZENÍ");
    settings->add_option("--trace", a.setTrace, "Zachytávat komunikaci do souboru sercom.log")
        ->option_text("on|off")
        ->check(CLI::IsMember({"on", "off"}));
    CLI::Option* local = settings->add_flag("--local", a.setLocal, "Lokální přístup (kabelem)");
    CLI::Option* remote = settings->add_flag("--remote", a.setRemote, "Vzdálený přístup (modemem)");
    local->excludes(remote);
    settings->add_option("--modem", a.setModem, "Modem vzdáleného přístupu: číslo, jméno, none")
        ->option_text("N|JMÉNO");

    CLI::App* find = Command(app, "find", kLocal,
                             "Najde port, na kterém odpovídá jednotka (zkusí všechny sériové "
                             "porty kromě modemů, nebo zadané porty)");
    find->add_option("PORT", a.ports,
                     "Port ke zkoušce (COM1, ttyUSB0, /dev/..., tcp://POČÍTAČ:PORT, "
                     "rfc2217://POČÍTAČ:PORT); bez nich "
                     "všechny sériové porty počítače");
    find->add_flag("--save", a.save,
                   "Port, kde jednotka odpověděla, uloží jako komunikační port (Profile.dat); "
                   "odmítne, když odpověděla na více portech");

    AddConfigCommands(app, a);
}

// Examples shown under a command's help.
const std::map<std::string, std::string>& Examples() {
    static const std::map<std::string, std::string> examples = {
        {"info", "tk530ctl --port /dev/ttyUSB0 info"},
        {"status", "tk530ctl --json status"},
        {"read-config", "tk530ctl read-config jednotka.cfg --force"},
        {"write-config", "tk530ctl write-config jednotka.cfg --verify"},
        {"set-outputs", "tk530ctl set-outputs --set 1,3 --clear 2"},
        {"set-time", "tk530ctl set-time now\n  tk530ctl set-time 2026-12-24T18:00:00"},
        {"sms-read", "tk530ctl sms-read"},
        {"sms-send", "tk530ctl sms-send --to \"+420 777 123 456\" --to 603111222 --text "
                     "\"Zkouška\"\n  echo Ahoj | tk530ctl sms-send --to 603111222 --text -"},
        {"sms-resend", "tk530ctl sms-resend 0 2"},
        {"sms-list", "tk530ctl sms-list tosend"},
        {"sms-show", "tk530ctl sms-show received 0"},
        {"sms-delete", "tk530ctl sms-delete tosend 0 1"},
        {"sms-mark-read", "tk530ctl sms-mark-read received 3"},
        {"sms-export", "tk530ctl sms-export received prijate.txt --append\n  tk530ctl "
                       "sms-export received - --encoding utf8 | less"},
        {"monitor", "tk530ctl --json monitor --seconds 60"},
        {"modems", "tk530ctl modems"},
        {"modem-add", "tk530ctl modem-add GSM /dev/serial/by-id/usb-modem --gsm"},
        {"modem-del", "tk530ctl modem-del GSM"},
        {"settings", "tk530ctl settings --port /dev/ttyUSB0 --local\n  tk530ctl settings "
                     "--remote --modem GSM"},
        {"find", "tk530ctl find --save\n  tk530ctl --json find /dev/ttyUSB0 /dev/ttyS0"},
        {"do", "tk530ctl --port /dev/ttyUSB0 do info status \"read-config a.cfg\" \"set-time "
               "now\""},
    };
    return examples;
}

std::string ExitStatusText() {
    std::string out = "Návratové kódy:\n  0     úspěch\n";
    for (LinkResult code = LE_SERIAL; code <= LE_AT_REPLY; ++code) {
        char line[32];
        std::snprintf(line, sizeof line, "  %-5u ", code);
        out += line + std::string(LinkErrorText(code)) + "\n";
    }
    out += "  64    chybný příkaz, volba nebo hodnota\n"
           "  65    soubor není platný, nelze jej zapsat, je poškozený nebo jej používá jiný "
           "program\n"
           "  69    odmítnuto (plný seznam, soubor už existuje; find: žádná jednotka "
           "neodpověděla); nic se nezměnilo\n"
           "  70    komunikační jádro nelze spustit\n"
           "  100   zadávání PINu vzdáno (odmítnutý PIN bez terminálu)\n"
           "  130   přerušeno (Ctrl+C), spojení bylo řádně ukončeno\n";
    return out;
}

const char* const kEnvironment =
    "Proměnné prostředí:\n"
    "  TK530_PORT  port pro příkazy bez --port a --modem (má přednost před Profile.dat)\n";

// The global options as one block, for the help of each command.
std::string GlobalOptionsText(const CLI::App& app) {
    std::string out = "Společné volby (před příkazem i za ním):\n";
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_name() == "--help" || opt->get_name() == "--version")
            continue;
        std::string name = opt->get_name();
        if (!opt->get_option_text().empty())
            name += " " + opt->get_option_text();
        const size_t width = 34;
        std::string line = "  " + name;
        const size_t length = Utf8Length(line);
        line += length < width ? std::string(width - length, ' ') : "  ";
        out += line + opt->get_description() + "\n";
    }
    return out;
}

// After every command is registered (also ones added later): examples and the global
// options under each command, examples and statuses under the whole.
void AddFooters(CLI::App& app) {
    const std::string globals = GlobalOptionsText(app);
    for (CLI::App* cmd : app.get_subcommands({})) {
        if (CLI::Option* help = cmd->get_help_ptr())
            help->group("Volby");
        if (cmd->get_group() == "Subcommands")
            cmd->group("Další příkazy");
        std::string footer;
        const auto it = Examples().find(cmd->get_name());
        if (it != Examples().end())
            footer += "Příklad:\n  " + it->second + "\n\n";
        cmd->footer(footer + globals);
    }
    app.footer("Příklady:\n"
               "  tk530ctl settings --port /dev/ttyUSB0     port si zapamatuje (Profile.dat)\n"
               "  tk530ctl info\n"
               "  tk530ctl --json status\n"
               "  tk530ctl --modem GSM --number 603111222 --pin - do info \"read-config "
               "a.cfg\"\n"
               "Nápověda k příkazu: tk530ctl PŘÍKAZ --help\n\n" +
               ExitStatusText() + "\n" + kEnvironment);
}

std::vector<std::string> CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* cmd : app.get_subcommands({}))
        names.push_back(cmd->get_name());
    return names;
}

// The options that take a value, so that their value is not taken for a command.
bool TakesValue(const CLI::App& app, const std::string& word) {
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_items_expected() > 0 && opt->check_name(word))
            return true;
    }
    return false;
}

// The first word that stands where a command should and is none, for a suggestion.
std::string UnknownCommand(const CLI::App& app, const std::vector<std::string>& words) {
    const std::vector<std::string> names = CommandNames(app);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.empty() || w[0] == '-') {
            if (w.find('=') == std::string::npos && TakesValue(app, w))
                ++i;
            continue;
        }
        if (std::find(names.begin(), names.end(), w) != names.end())
            return {};
        return w;
    }
    return {};
}

// The text of `what` after `marker`; empty when the marker is not there.
std::string After(const std::string& what, const std::string& marker) {
    const size_t at = what.find(marker);
    return at == std::string::npos ? std::string() : what.substr(at + marker.size());
}

// The text of `what` before `marker`; empty when the marker is not there.
std::string Before(const std::string& what, const std::string& marker) {
    const size_t at = what.find(marker);
    return at == std::string::npos ? std::string() : what.substr(0, at);
}

// What a validator said of a value, in Czech; empty when it is none of the parser's own.
std::string CzechValidation(const std::string& msg) {
    if (const std::string value = Before(msg, " not in {"); !value.empty()) {
        std::string set = After(msg, " not in {");
        if (!set.empty() && set.back() == '}')
            set.pop_back();
        for (size_t at = 0; (at = set.find(',', at)) != std::string::npos; ++at)
            if (at + 1 < set.size() && set[at + 1] != ' ')
                set.insert(at + 1, " ");
        return "hodnota " + Quoted(value) + " není povolena (povolené jsou: " + set + ")";
    }
    if (const std::string range = After(msg, " not in range "); !range.empty()) {
        const std::string value = After(Before(msg, " not in range "), "Value ");
        return "hodnota " + Quoted(value) + " je mimo rozsah " + Before(range, " to ") + " až " +
               After(range, " to ");
    }
    if (const std::string dir = After(msg, "Directory does not exist: "); !dir.empty())
        return "složka " + Quoted(dir) + " neexistuje";
    if (const std::string file = After(msg, "Directory is actually a file: "); !file.empty())
        return Quoted(file) + " je soubor, ne složka";
    if (const std::string value = Before(msg, " could not be converted"); !value.empty())
        return "hodnotu " + Quoted(After(value, "Value ")) + " nelze převést";
    if (const std::string value = After(msg, "Failed parsing "); !value.empty())
        return "hodnotu " + Quoted(Before(value, " as ")) + " nelze převést";
    return {};
}

// CLI11's messages, in the tool's language: each kind of error is recognised by its type and
// its names and values are taken out of CLI11's English sentence. What cannot be recognised
// is said in general words, never passed through.
std::string CzechError(const CLI::Error& e) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        const std::string args = After(what, " expected: ");
        const bool several = args.find(' ') != std::string::npos;
        return (several ? "nečekané argumenty: " : "nečekaný argument: ") + args;
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e)) {
        if (const std::string name = Before(what, " is required");
            !name.empty() && name.find(' ') == std::string::npos)
            return "chybí povinný argument " + name;
        if (what.find("subcommand") != std::string::npos)
            return "chybí příkaz";
        if (const std::string list = After(what, "option from ["); !list.empty())
            return "zadejte právě jednu z voleb " + Before(list, "]");
        return "chybí povinný argument nebo volba";
    }
    if (dynamic_cast<const CLI::ValidationError*>(&e)) {
        const std::string name = Before(what, ": ");
        const std::string detail = CzechValidation(name.empty() ? what : After(what, ": "));
        std::string text = "neplatná hodnota";
        if (!name.empty() && name.find(' ') == std::string::npos)
            text += " u " + name;
        return detail.empty() ? text : text + ": " + detail;
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        std::string name = Before(what, ": ");
        if (name.empty() || name.find(' ') != std::string::npos)
            name = Before(After(what, " arguments to "), ",");
        if (what.find("disallowed flag override") != std::string::npos)
            return "volba " + Before(what, " was given") + " hodnotu nepřijímá";
        return name.empty() ? std::string("nesprávný počet hodnot")
                            : "nesprávný počet hodnot u " + name;
    }
    if (dynamic_cast<const CLI::ConversionError*>(&e)) {
        if (const std::string rest = After(what, "Could not convert: "); !rest.empty())
            return "hodnotu " + Quoted(After(rest, " = ")) + " u " + Before(rest, " = ") +
                   " nelze převést";
        if (const std::string name = Before(what, ": too many inputs for a flag"); !name.empty())
            return "volba " + name + " hodnotu nepřijímá";
        return "hodnotu nelze převést";
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&e))
        return "volby " + Before(what, " excludes ") + " a " + After(what, " excludes ") +
               " nelze zadat zároveň";
    if (dynamic_cast<const CLI::RequiresError*>(&e))
        return "volba " + Before(what, " requires ") + " vyžaduje také " +
               After(what, " requires ");
    return "neplatný příkazový řádek";
}

int UsageError(const std::string& text, bool json) {
    if (json) {
        CConsole console(false, true);
        console.Err(text);
        console.Finish(EXIT_USAGE);
    } else {
        std::fputs(
            ("tk530ctl: " + text + "\nNápověda: tk530ctl --help, tk530ctl PŘÍKAZ --help\n").c_str(),
            stderr);
    }
    return EXIT_USAGE;
}

std::string ParseErrorText(const CLI::Error& e, const CLI::App& app,
                           const std::vector<std::string>& words) {
    const std::string unknown = UnknownCommand(app, words);
    if (!unknown.empty()) {
        std::string text = "neznámý příkaz " + Quoted(unknown) + ".";
        const std::string nearest = NearestCommand(unknown, CommandNames(app));
        if (!nearest.empty())
            text += " Měli jste na mysli " + Quoted(nearest) + "?";
        return text;
    }
    return CzechError(e);
}

// More steps than anyone types or a script needs in one connection; each one holds a copy of
// the common options.
constexpr size_t kMaxSteps = 300;

// The steps of `do`, each parsed like a command line of its own.
int ParseSteps(Args& a) {
    if (a.stepTexts.size() > kMaxSteps)
        return UsageError("příliš mnoho kroků (" + std::to_string(a.stepTexts.size()) +
                              "); do jich provede nejvýše " + std::to_string(kMaxSteps) +
                              ", další dejte do dalšího volání.",
                          a.json);
    // Each step starts from the common options alone, never from the steps parsed so far.
    Args common = a;
    common.steps.clear();
    common.stepTexts.clear();
    common.keepGoing = false;
    a.steps.reserve(a.stepTexts.size());
    for (size_t i = 0; i < a.stepTexts.size(); ++i) {
        const std::string& text = a.stepTexts[i];
        const std::string where = "krok " + std::to_string(i + 1) + " " + Quoted(text) + ": ";
        std::vector<std::string> words;
        if (!SplitStep(text, words))
            return UsageError(where + "neuzavřené uvozovky.", a.json);
        Args step = common;
        CLI::App app{"", "tk530ctl do"};
        CzechLabels(app);
        app.require_subcommand(1, 1);
        AddCommands(app, step);
        std::vector<std::string> reversed(words.rbegin(), words.rend());
        try {
            app.parse(reversed);
        } catch (const CLI::ParseError& e) {
            return UsageError(
                where + ParseErrorText(e, app, words) + " (společné volby patří před do)", a.json);
        }
        step.command = app.get_subcommands().front()->get_name();
        a.steps.push_back(std::move(step));
    }
    return -1;
}

} // namespace

bool SplitStep(const std::string& step, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < step.size(); ++i) {
        const char c = step[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < step.size())
                word += step[++i];
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < step.size()) {
            word += step[++i];
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return quote == 0;
}

std::string NearestCommand(const std::string& typed, const std::vector<std::string>& commands) {
    std::string best;
    size_t bestDistance = 0;
    for (const std::string& name : commands) {
        // Edits (insert, delete, replace, swap of neighbours) from one to the other.
        std::vector<std::vector<size_t>> d(typed.size() + 1,
                                           std::vector<size_t>(name.size() + 1, 0));
        for (size_t i = 0; i <= typed.size(); ++i)
            d[i][0] = i;
        for (size_t j = 0; j <= name.size(); ++j)
            d[0][j] = j;
        for (size_t i = 1; i <= typed.size(); ++i) {
            for (size_t j = 1; j <= name.size(); ++j) {
                const size_t cost = typed[i - 1] == name[j - 1] ? 0 : 1;
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
                if (i > 1 && j > 1 && typed[i - 1] == name[j - 2] && typed[i - 2] == name[j - 1])
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
        const size_t distance = d[typed.size()][name.size()];
        if (best.empty() || distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    // Near enough to be a typing error: at most a third of the word changed.
    if (best.empty() || bestDistance > std::max<size_t>(1, typed.size() / 3))
        return {};
    return best;
}

int ParseCommandLine(int argc, char** argv, Args& a) {
    std::string folder;
    CLI::App app{"Příkazový řádek ovládacího panelu TK530: čte a zapisuje konfiguraci jednotky, "
                 "její stav, výstupy, čas a SMS zprávy přes sériový port nebo modemem. Bez "
                 "voleb připojení platí nastavení z Profile.dat a Data/Connection.dat programové "
                 "složky, jako v ovládacím panelu (tk530ctl settings je vypíše i změní).",
                 "tk530ctl"};
    CzechLabels(app);
    app.set_version_flag("--version", std::string("tk530ctl ") + TK530_VERSION,
                         "Vypíše verzi a skončí");
    app.require_subcommand(1, 1);
    app.fallthrough(); // connection options may also follow the command

    app.add_option("--folder", folder,
                   "Programová složka (Profile.dat, sercom.log, Data/) místo složky programu")
        ->option_text("SLOŽKA")
        ->check(CLI::ExistingDirectory);
    CLI::Option* port =
        app.add_option("--port", a.port,
                       "Lokální přístup na tomto sériovém zařízení (/dev/ttyUSB0, COM1, ./cesta) "
                       "nebo přes síť (tcp://POČÍTAČ:PORT, rfc2217://POČÍTAČ:PORT)")
            ->option_text("ZAŘÍZENÍ");
    CLI::Option* modem = app.add_option("--modem", a.modem,
                                        "Vzdálený přístup tímto modemem: číslo nebo jméno "
                                        "v seznamu modemů, nebo cesta k zařízení")
                             ->option_text("N|JMÉNO|ZAŘÍZENÍ");
    CLI::Option* number =
        app.add_option("--number", a.number, "Telefonní číslo datové linky jednotky (s --modem)")
            ->option_text("ČÍSLO");
    CLI::Option* pin =
        app.add_option("--pin", a.pin, "PIN pro přihlášení (s --modem); - jej čte ze vstupu")
            ->option_text("PIN");
    modem->excludes(port)->needs(number)->needs(pin);
    number->needs(modem);
    pin->needs(modem);
    app.add_flag("--trace", a.trace, "Zapisuje bajty linky do sercom.log v programové složce");
    app.add_option("--retries", a.retries, "Na otázku, zda po chybě opakovat, odpoví N-krát Ano")
        ->option_text("N");
    app.add_option("--timeout-scale", a.timeoutScale,
                   "Časové limity odpovědí v procentech, např. 200 pro pomalou linku (výchozí 100)")
        ->option_text("PROCENTA")
        ->check(CLI::Range(10, 1000));
    app.add_flag("--json", a.json,
                 "Výstup jako JSON; chyby jako {\"error\": {...}} na chybovém výstupu");

    AddCommands(app, a);
    CLI::App* doCmd = app.add_subcommand(
        "do", "Provede několik příkazů v jednom spojení (jedno připojení, jedno odpojení); "
              "skončí u prvního, který selže");
    doCmd->group(kSteps);
    doCmd->add_option("KROK", a.stepTexts, "Příkaz s argumenty, v uvozovkách, je-li jich víc")
        ->required();
    doCmd->add_flag("--keep-going", a.keepGoing, "Po selhání kroku pokračuje dalšími");
    AddFooters(app);

    bool json = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        words.emplace_back(argv[i]);
        json = json || words.back() == "--json";
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(ParseErrorText(e, app, words), json);
    }
    a.command = app.get_subcommands().front()->get_name();
    if (!folder.empty())
        tk::SetProgramFolder(folder);
    if (a.command == "do")
        return ParseSteps(a);
    return -1;
}

} // namespace ctl
