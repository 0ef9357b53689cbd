// Speed of the network server: round trips per second of the get-frequency
// command ("f"), from one client and from four clients at once, against a
// simulated NRD535 (rxsim on TCP) served by `korvanectl serve`; and, in the
// same run with the same client code, against rigctld -m 1 (the dummy radio
// of the protocol's reference daemon) when it is installed.
//
//   rigctl_bench [benchmark options]
//
// Both servers are started as child processes on free ports of 127.0.0.1
// with a throw-away settings file, and stopped at the end.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/numbers.h"
#include "platform/settingsstore.h"
#include "rxsimprocess.h"

extern char** environ;

namespace {

// A child process whose standard output is read line by line.
class Child {
public:
    bool start(const std::vector<std::string>& argv)
    {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        const int rc = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        m_out = pipeFds[0];
        if (rc != 0) {
            m_pid = -1;
            return false;
        }
        return true;
    }
    // The next line of its output, waiting up to timeoutMs.
    std::string line(int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto eol = m_buffer.find('\n');
            if (eol != std::string::npos) {
                std::string l = m_buffer.substr(0, eol);
                m_buffer.erase(0, eol + 1);
                return l;
            }
            char buf[512];
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n > 0) {
                m_buffer.append(buf, static_cast<std::size_t>(n));
            } else if (n == 0) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        return {};
    }
    ~Child()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            for (int i = 0; i < 500 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (::waitpid(m_pid, &status, WNOHANG) == 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
            }
        }
        if (m_out >= 0) {
            ::close(m_out);
        }
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
};

// A blocking protocol client.
class Client {
public:
    explicit Client(int port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool ok() const { return m_fd >= 0; }
    // One command, one reply line.
    std::string ask(const std::string& command)
    {
        const std::string text = command + "\n";
        if (::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
            return {};
        }
        for (;;) {
            const auto eol = m_buffer.find('\n');
            if (eol != std::string::npos) {
                std::string l = m_buffer.substr(0, eol);
                m_buffer.erase(0, eol + 1);
                return l;
            }
            char buf[256];
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                return {};
            }
            m_buffer.append(buf, static_cast<std::size_t>(n));
        }
    }

private:
    int m_fd = -1;
    std::string m_buffer;
};

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Waits until the server answers "f" with a frequency.
bool answers(int port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        Client c(port);
        if (c.ok() && platform::parseInt(c.ask("f"))) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

int g_korvanePort = 0;
int g_rigctldPort = 0;

void getFrequency(benchmark::State& state, const int* port)
{
    if (*port == 0) {
        state.SkipWithError("server not running");
        return;
    }
    Client c(*port);
    if (!c.ok()) {
        state.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : state) {
        const std::string reply = c.ask("f");
        if (reply.empty() || reply.compare(0, 4, "RPRT") == 0) {
            state.SkipWithError(("bad reply: " + reply).c_str());
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Korvane_GetFreq(benchmark::State& state)
{
    getFrequency(state, &g_korvanePort);
}
void BM_Rigctld_Dummy_GetFreq(benchmark::State& state)
{
    getFrequency(state, &g_rigctldPort);
}
BENCHMARK(BM_Korvane_GetFreq)->Threads(1)->Threads(4)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Rigctld_Dummy_GetFreq)->Threads(1)->Threads(4)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
    const std::string dir = mkdtemp(pattern.data());
    const std::string settings = dir + "/settings.db";
    setenv("KORVANE_SETTINGS", settings.c_str(), 1);
    setenv("KORVANE_TRACE_DIR", (dir + "/traces").c_str(), 1);

    // The simulated receiver on TCP, and a configuration for it.
    sim::RxsimProcess rxsim;
    std::string error;
    std::unique_ptr<Child> serve;
    if (!rxsim.start({"NRD535", "--tcp", "0"}, &error, 10000, KORVANE_RXSIM)) {
        std::cerr << "rigctl_bench: rxsim: " << error << "\n";
    } else {
        {
            platform::SettingsStore store(settings);
            const std::string key = std::string(platform::kSettingsRoot) + "\\Bench\\NRD535";
            store.writeNumber(key, "D_Type", 0);
            store.writeNumber(key, "C_Type", 1);
            store.writeText(key, "T_Addr", "127.0.0.1");
            store.writeNumber(key, "T_Port", rxsim.port(0));
            store.writeNumber(key, "T_TestLink", 0);
        }
        g_korvanePort = freePort();
        serve = std::make_unique<Child>();
        if (!serve->start({KORVANECTL, "serve", "Bench", "--port", platform::formatInt(g_korvanePort)}) ||
            !answers(g_korvanePort, 120000)) {
            std::cerr << "rigctl_bench: korvanectl serve did not answer\n";
            g_korvanePort = 0;
        }
    }

    // The reference daemon with its dummy radio, when installed.
    std::unique_ptr<Child> rigctld;
    const int port = freePort();
    rigctld = std::make_unique<Child>();
    if (rigctld->start({"rigctld", "-m", "1", "-T", "127.0.0.1", "-t", platform::formatInt(port)}) &&
        answers(port, 20000)) {
        g_rigctldPort = port;
    } else {
        std::cerr << "rigctl_bench: rigctld -m 1 is not available (Debian package libhamlib-utils)\n";
        rigctld.reset();
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    serve.reset();
    rigctld.reset();
    rxsim.terminate();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
