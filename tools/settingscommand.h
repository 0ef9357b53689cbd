// The "settings" command of korvanectl: prints and edits the settings tree
// so an operator can see what the suite stores and change it by hand.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace platform {
class SettingsStore;
}

namespace tools {

// Runs one settings command (the words after "settings") on the store.
// Returns the process exit code: 0 done, 1 failed, 2 usage error.
int runSettingsCommand(platform::SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                       std::ostream& err);

// The usage text of the settings command.
std::string settingsUsage();

}  // namespace tools
