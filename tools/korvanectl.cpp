// korvanectl: the headless tool of the suite: prints and edits the settings
// store, and watches and tunes the configured receivers without a window;
// see `korvanectl --help`.
#include <QCoreApplication>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "korvaneversion.h"
#include "modelscommand.h"
#include "platform/settingsstore.h"
#ifdef KORVANE_WITH_SERVER
#include "receivercommands.h"
#include "servecommand.h"
#endif
#include "settingscommand.h"
#include "watchcommand.h"

namespace {

void usage(std::ostream& out)
{
    out << "korvanectl: command-line companion of the receiver control suite\n\n"
        << "Usage: korvanectl COMMAND [ARGUMENTS]\n"
        << "       korvanectl --help | --version\n\n"
        << tools::settingsUsage() << "\n"
        << tools::watchUsage() << "\n"
        << tools::modelsUsage();
#ifdef KORVANE_WITH_SERVER
    out << "\n" << tools::receiverUsage() << "\n" << tools::serveUsage();
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        usage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::cout << "korvanectl " KORVANE_VERSION "\n";
        return 0;
    }
    if (args[0] == "settings") {
        args.erase(args.begin());
        return tools::runSettingsCommand(platform::SettingsStore::shared(), args, std::cout, std::cerr);
    }
    if (args[0] == "watch") {
        args.erase(args.begin());
        QCoreApplication app(argc, argv);
        // SIGINT and SIGTERM end the watch cleanly, handing receivers back.
        for (int sig : {SIGINT, SIGTERM}) {
            std::signal(sig, [](int) { QCoreApplication::quit(); });
        }
        return tools::runWatchCommand(args);
    }
    if (args[0] == "models") {
        QCoreApplication app(argc, argv);
        return tools::runModelsCommand(std::cout, std::cerr);
    }
#ifdef KORVANE_WITH_SERVER
    if (args[0] == "serve") {
        args.erase(args.begin());
        QCoreApplication app(argc, argv);
        return tools::runServeCommand(args, std::cout, std::cerr);
    }
    if (tools::isReceiverCommand(args[0])) {
        const std::string command = args[0];
        args.erase(args.begin());
        QCoreApplication app(argc, argv);
        return tools::runReceiverCommand(command, args, std::cout, std::cerr);
    }
#endif
    std::cerr << "korvanectl: unknown command " << args[0] << "\n";
    usage(std::cerr);
    return 2;
}
