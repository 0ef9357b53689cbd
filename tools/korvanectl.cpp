// korvanectl: the headless tool of the suite. Today it prints and edits the
// settings store; see `korvanectl --help`.
#include <iostream>
#include <string>
#include <vector>

#include "platform/settingsstore.h"
#include "settingscommand.h"

namespace {

void usage(std::ostream& out)
{
    out << "korvanectl: command-line companion of the receiver control suite\n\n" << tools::settingsUsage();
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        usage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "settings") {
        args.erase(args.begin());
        return tools::runSettingsCommand(platform::SettingsStore::shared(), args, std::cout, std::cerr);
    }
    std::cerr << "korvanectl: unknown command " << args[0] << "\n";
    usage(std::cerr);
    return 2;
}
