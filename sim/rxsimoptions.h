// The command line of rxsim, parsed without side effects so that it can be
// tested and reused by the code that starts rxsim as a child process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faultplan.h"
#include "simmodels.h"

namespace sim {

struct RxsimOptions {
    std::vector<LineConfig> lines;
    bool pty = false;
    bool tcp = false;
    std::uint16_t port = 0;  // the first LINE's port; the next take PORT+1, ...
    FaultPlan faults;
    ModelOptions modelOptions;
    std::vector<std::string> links;  // --link: a stable name for each pty, in LINE order
    bool trace = false;
    bool help = false;
    bool version = false;  // --version: print the suite's version and end
};

// Parses the arguments after the program name. False with a message on a
// mistake; `help` set when --help was asked for, `version` for --version
// (nothing else is checked then).
bool parseRxsimArgs(const std::vector<std::string>& args, RxsimOptions& options, std::string& error);

// The text of rxsim --help.
std::string rxsimHelp();

}  // namespace sim
