// The command line of tk530ctl: its options and commands, the help in Czech, the steps of
// `do`.
#pragma once

#include "tools/cli/CtlCommands.h"

namespace ctl {

// Parses the command line into `args` (and sets the program folder). -1 to run the command,
// else the exit status: 0 after --help or --version, EXIT_USAGE after an error (reported,
// as JSON with --json).
int ParseCommandLine(int argc, char** argv, Args& args);

// A step of `do` in words, as a shell would split it: blanks separate, quotes ('' or "")
// group, a backslash takes the next character as it is. False for an unclosed quote.
bool SplitStep(const std::string& step, std::vector<std::string>& words);

// The command nearest to a mistyped one (by edits), empty when none is near.
std::string NearestCommand(const std::string& typed, const std::vector<std::string>& commands);

} // namespace ctl
