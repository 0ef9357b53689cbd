// rxsim: serves simulated receivers on pseudo-terminals or TCP ports until
// SIGTERM or SIGINT. See rxsim --help.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "korvaneversion.h"
#include "rxsimoptions.h"
#include "simserver.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::RxsimOptions options;
    std::string error;
    if (!sim::parseRxsimArgs(args, options, error)) {
        std::cerr << "rxsim: " << error << "\n";
        return 2;
    }
    if (options.help) {
        std::cout << sim::rxsimHelp();
        return 0;
    }
    if (options.version) {
        std::cout << "rxsim " KORVANE_VERSION "\n";
        return 0;
    }

    // Signals are taken by sigwait below; the serving threads inherit the
    // mask. A parent that ignored them must not keep rxsim from stopping.
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    static std::mutex traceMutex;
    std::vector<std::unique_ptr<sim::SimServer>> servers;
    for (std::size_t i = 0; i < options.lines.size(); ++i) {
        const sim::LineConfig& config = options.lines[i];
        auto server =
            std::make_unique<sim::SimServer>(sim::SimLine::fromConfig(config, options.modelOptions), config.text);
        const bool ok =
            options.pty
                ? server->openPty(&error)
                : server->listenTcp(static_cast<std::uint16_t>(options.port == 0 ? 0 : options.port + i), &error);
        if (!ok) {
            std::cerr << "rxsim: " << config.text << ": " << error << "\n";
            return 1;
        }
        server->setFaults(options.faults);
        if (options.trace) {
            server->setTrace([](const std::string& line) {
                std::lock_guard<std::mutex> lock(traceMutex);
                std::fprintf(stderr, "%s\n", line.c_str());
                std::fflush(stderr);
            });
        }
        servers.push_back(std::move(server));
    }
    // Stable names for the ptys: only a symbolic link (ours from an earlier
    // run, say) is ever replaced or removed.
    std::vector<std::string> madeLinks;
    auto removeLinks = [&madeLinks] {
        for (const std::string& link : madeLinks) {
            struct stat st {};
            if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
                ::unlink(link.c_str());
            }
        }
    };
    for (std::size_t i = 0; i < options.links.size(); ++i) {
        const std::string& link = options.links[i];
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                std::cerr << "rxsim: " << link << " exists and is no symbolic link; left alone\n";
                removeLinks();
                return 1;
            }
            ::unlink(link.c_str());
        }
        if (::symlink(servers[i]->devicePath().c_str(), link.c_str()) != 0) {
            std::cerr << "rxsim: cannot link " << link << ": " << std::strerror(errno) << "\n";
            removeLinks();
            return 1;
        }
        madeLinks.push_back(link);
    }
    for (auto& server : servers) {
        std::cout << server->name() << " " << server->endpoint() << "\n";
        server->start();
    }
    std::cout.flush();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    for (auto& server : servers) {
        server->stop();
    }
    removeLinks();
    return 0;
}
