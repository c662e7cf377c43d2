// tk530ctl: the command-line companion of the TK530 control panel. It works with the same
// core, the same program folder and the same files as the control panel, for installers who
// configure units from a script, check one from a terminal, or have no desktop at hand.
#include "base/ProgramFolder.h"
#include "tools/cli/CtlCommands.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <string>

int main(int argc, char** argv) {
    ctl::Args a;
    std::string folder;

    CLI::App app{"Command-line companion of the TK530 control panel: reads and writes the "
                 "unit's configuration, status, outputs, clock and SMS messages over a serial "
                 "port or a modem call. Without connection options the settings come from "
                 "Profile.dat and Data/Connection.dat of the program folder, as the control "
                 "panel uses them.",
                 "tk530ctl"};
    app.require_subcommand(1, 1);
    app.fallthrough(); // connection options may also follow the command

    app.add_option("--folder", folder,
                   "Use DIR as the program folder (Profile.dat, sercom.log, Data/) instead of "
                   "the executable's folder")
        ->option_text("DIR")
        ->check(CLI::ExistingDirectory);
    CLI::Option* port =
        app.add_option("--port", a.port, "Local access on this serial device (/dev/ttyUSB0, COM1)")
            ->option_text("DEVICE");
    CLI::Option* modem = app.add_option("--modem", a.modem,
                                        "Remote access through this modem: its index or name "
                                        "in the modem list, or a serial device path")
                             ->option_text("N|NAME|DEVICE");
    CLI::Option* number = app.add_option("--number", a.number,
                                         "Telephone number of the unit's data line (with --modem)")
                              ->option_text("NUMBER");
    CLI::Option* pin =
        app.add_option("--pin", a.pin, "Login PIN (with --modem); - reads it from standard input")
            ->option_text("PIN");
    modem->excludes(port)->needs(number)->needs(pin);
    number->needs(modem);
    pin->needs(modem);
    app.add_flag("--trace", a.trace, "Write the line's bytes to sercom.log in the program folder");
    app.add_option("--retries", a.retries,
                   "Answer the question whether to repeat after a link error with Yes N times")
        ->option_text("N");
    app.add_option("--timeout-scale", a.timeoutScale,
                   "Scale the unit's reply time-outs in percent, e.g. 200 for a slow line "
                   "(default 100)")
        ->option_text("PERCENT")
        ->check(CLI::Range(10, 1000));
    app.add_flag("--json", a.json, "Print info, status, sms-list and monitor as JSON");

    app.add_subcommand("info", "Connect and print the unit's identification");
    app.add_subcommand("status", "Read and print GSM state, inputs/outputs and clock");
    CLI::App* readCfg =
        app.add_subcommand("read-config", "Read the configuration into a *.cfg file");
    readCfg->add_option("FILE", a.file, "The configuration file to write")->required();
    CLI::App* writeCfg =
        app.add_subcommand("write-config", "Write a *.cfg file's configuration to the unit");
    writeCfg->add_option("FILE", a.file, "The configuration file to send")->required();
    writeCfg->add_flag("--verify", a.verify, "Read the configuration back and compare");
    CLI::App* outputs = app.add_subcommand("set-outputs", "Set binary outputs (channels 1-5)");
    outputs->add_option("--set", a.setChannels, "Channels to set to log 1, e.g. 1,3-5")
        ->option_text("LIST");
    outputs->add_option("--clear", a.clearChannels, "Channels to set to log 0")
        ->option_text("LIST");
    CLI::App* setTime = app.add_subcommand("set-time", "Set the unit's clock");
    setTime->add_option("TIME", a.time, "now, or YYYY-MM-DDTHH:MM:SS")->required();
    app.add_subcommand("sms-read",
                       "Read the unit's stored messages into the received list and print them");
    CLI::App* smsSend = app.add_subcommand(
        "sms-send", "Put a message into the to-send list and send it through the unit");
    smsSend
        ->add_option("--to", a.to,
                     "Recipients, as in the editor: numbers separated by "
                     "anything but digits and +")
        ->option_text("LINE")
        ->required();
    smsSend->add_option("--text", a.text, "The message (at most 640 characters)")
        ->option_text("TEXT")
        ->required();
    CLI::App* smsList = app.add_subcommand("sms-list", "Print the local SMS lists");
    smsList->add_option("LIST", a.list, "received, sent or tosend (default: all three)")
        ->check(CLI::IsMember({"received", "sent", "tosend"}));
    CLI::App* smsExport = app.add_subcommand("sms-export", "Save a local SMS list to a text file");
    smsExport->add_option("LIST", a.list, "received, sent or tosend")
        ->required()
        ->check(CLI::IsMember({"received", "sent", "tosend"}));
    smsExport->add_option("FILE", a.file, "The text file")->required();
    CLI::Option* append =
        smsExport->add_flag("--append", a.append, "Add to the end of an existing file");
    CLI::Option* overwrite =
        smsExport->add_flag("--overwrite", a.overwrite, "Replace an existing file");
    append->excludes(overwrite);
    app.add_subcommand("modems", "Print the modem list");
    CLI::App* modemAdd = app.add_subcommand("modem-add", "Add a modem to the modem list");
    modemAdd->add_option("NAME", a.name, "Display name (at most 31 characters)")->required();
    modemAdd->add_option("DEVICE", a.device, "Serial device, preferably /dev/serial/by-id/...")
        ->required();
    modemAdd->add_option("--init", a.init, "Initialisation string sent after the set-up")
        ->option_text("STRING");
    modemAdd
        ->add_option("--bearer", a.bearer,
                     "Bearer command of a GSM modem (implies --gsm; default AT+CBST=7,0,1)")
        ->option_text("STRING");
    modemAdd->add_flag("--gsm", a.gsm, "A GSM modem: the bearer command is sent before dialling");
    CLI::App* modemDel = app.add_subcommand("modem-del", "Remove a modem from the modem list");
    modemDel->add_option("MODEM", a.modemRef, "Index or name")->required();
    CLI::App* monitor = app.add_subcommand(
        "monitor", "Stay online and print each change of inputs/outputs, GSM state and clock");
    monitor->add_option("--seconds", a.seconds, "End after N seconds (default: at Ctrl+C)")
        ->option_text("N");

    ctl::AddConfigCommands(app, a);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : ctl::EXIT_USAGE;
    }
    a.command = app.get_subcommands().front()->get_name();
    if (!folder.empty())
        tk::SetProgramFolder(folder);
    std::signal(SIGPIPE, SIG_IGN); // a reader that stops listening must not end a transfer
    return ctl::RunCommand(a);
}
