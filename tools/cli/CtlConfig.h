// The configuration commands of tk530ctl: config show|export|import|set|diff|check, backups,
// and what write-config checks before anything goes to the unit. A configuration can be
// named wherever one is read as a file path, "unit" (read from the unit now) or "backup:N"
// (the N-th backup in the list of `backups`, the newest first).
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace ctl {

struct Args;
class CConsole;

// The arguments of the configuration commands.
struct ConfigArgs {
    std::string action; // show, export, import, set, diff, check (of the command "config")
    std::string source; // FILE|unit|backup:N (show, export, check, set; import: the JSON)
    std::string other;  // diff: the second configuration
    std::string output; // -o
    std::string base;   // import --base
    std::vector<std::string> assignments; // set: KEY=VALUE
    std::string unit;                     // backups --unit SERIAL
    bool force = false;                   // import, set, write-config
    bool dryRun = false;                  // write-config
};

// Adds the commands "config" and "backups", and the options --force and --dry-run of the
// command "write-config" (which must have been added before).
void AddConfigCommands(CLI::App& app, Args& args);

// The commands this file runs ("config", "backups").
bool IsConfigCommand(const std::string& command);
int RunConfigCommand(const Args& args, CConsole& console);

// What write-config does before it connects: resolves "backup:N", loads the file, refuses
// one with values outside what the panes allow (unless --force), and for --dry-run reads the
// unit and shows what would change without writing. WRITE_CONFIG_GO_ON with the file to send
// in `path`, or the exit status to end with (all reported).
inline constexpr int WRITE_CONFIG_GO_ON = -1;
int PrepareWriteConfig(const Args& args, CConsole& console, std::string& path);

} // namespace ctl
