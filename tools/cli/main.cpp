// tk530ctl: the command-line companion of the TK530 control panel. It works with the same
// core, the same program folder and the same files as the control panel, for installers who
// configure units from a script, check one from a terminal, or have no desktop at hand.
#include "tools/cli/CtlApp.h"
#include "tools/cli/CtlCommands.h"

#include <csignal>

int main(int argc, char** argv) {
    ctl::Args a;
    if (const int status = ctl::ParseCommandLine(argc, argv, a); status >= 0)
        return status;
    std::signal(SIGPIPE, SIG_IGN); // a reader that stops listening must not end a transfer
    return ctl::RunCommand(a);
}
