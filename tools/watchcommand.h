// The "watch" command of korvanectl: loads the receiver driver library the
// way the application does, connects every receiver of a configuration,
// prints every event, and takes simple commands on standard input.
#pragma once

#include <string>
#include <vector>

namespace tools {

// Runs the watch command (the words after "watch"); needs a
// QCoreApplication. Returns the process exit code.
int runWatchCommand(const std::vector<std::string>& args);

std::string watchUsage();

}  // namespace tools
