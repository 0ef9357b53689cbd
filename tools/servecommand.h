// The "serve" command of korvanectl: every receiver of a configuration
// opened to other programs over the rigctld text protocol, on a machine
// without a display.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tools {

// Runs the serve command (the words after "serve") until SIGINT or
// SIGTERM; needs a QCoreApplication. Returns the process exit code.
int runServeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
std::string serveUsage();

}  // namespace tools
