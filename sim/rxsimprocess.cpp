// Starting and stopping rxsim as a child process.
#include "rxsimprocess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "rxsimoptions.h"

#ifndef KORVANE_RXSIM_PATH
#define KORVANE_RXSIM_PATH "rxsim"
#endif

namespace sim {

RxsimProcess::~RxsimProcess()
{
    terminate(2000);
}

std::string RxsimProcess::defaultProgram()
{
    if (const char* env = std::getenv("KORVANE_RXSIM"); env && *env) {
        return env;
    }
    return KORVANE_RXSIM_PATH;
}

bool RxsimProcess::start(const std::vector<std::string>& args, std::string* error, int timeoutMs,
                         const std::string& program)
{
    auto fail = [&](const std::string& what) {
        if (error) {
            *error = what;
        }
        terminate(1000);
        return false;
    };
    if (m_pid > 0) {
        return fail("rxsim already running");
    }
    RxsimOptions options;
    std::string parseError;
    if (!parseRxsimArgs(args, options, parseError)) {
        return fail("rxsim arguments: " + parseError);
    }
    const std::string path = program.empty() ? defaultProgram() : program;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return fail(std::string("pipe: ") + std::strerror(errno));
    }
    std::vector<std::string> argvText;
    argvText.push_back(path);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return fail(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        // rxsim ends with the program that started it, even one that dies
        // without reaching terminate() (a crash, an abort, a test killed at
        // its time-out); it was already gone if getppid() changed.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::dup2(fds[1], STDOUT_FILENO);
        // Nothing else of the parent's (ptys, listening sockets) stays open
        // in rxsim.
        ::close_range(3, ~0U, 0);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_pid = pid;
    m_stdout = fds[0];
    m_lines.clear();

    std::string buffer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_lines.size() < options.lines.size()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return fail("rxsim printed " + std::to_string(m_lines.size()) + " of " +
                        std::to_string(options.lines.size()) + " lines in time");
        }
        pollfd p{m_stdout, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char chunk[512];
        const ssize_t n = ::read(m_stdout, chunk, sizeof chunk);
        if (n <= 0) {
            return fail("rxsim (" + path + ") ended before printing its lines");
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t nl;
        while ((nl = buffer.find('\n')) != std::string::npos) {
            m_lines.push_back(buffer.substr(0, nl));
            buffer.erase(0, nl + 1);
        }
    }
    return true;
}

std::string RxsimProcess::endpoint(std::size_t i) const
{
    if (i >= m_lines.size()) {
        return {};
    }
    const std::string& line = m_lines[i];
    const std::size_t blank = line.rfind(' ');
    return blank == std::string::npos ? std::string() : line.substr(blank + 1);
}

int RxsimProcess::port(std::size_t i) const
{
    const std::string ep = endpoint(i);
    const std::size_t colon = ep.rfind(':');
    if (colon == std::string::npos) {
        return 0;
    }
    return std::atoi(ep.c_str() + colon + 1);
}

int RxsimProcess::wait(int timeoutMs)
{
    if (m_pid <= 0) {
        return -1;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid || (done < 0 && errno != EINTR)) {
            const bool exited = done == m_pid;
            reaped();
            return exited ? status : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

int RxsimProcess::terminate(int timeoutMs)
{
    if (m_pid <= 0) {
        return -1;
    }
    ::kill(m_pid, SIGTERM);
    const int status = wait(timeoutMs);
    if (m_pid <= 0) {
        return status;
    }
    int killed = 0;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &killed, 0);
    reaped();
    return killed;
}

void RxsimProcess::reaped()
{
    m_pid = -1;
    if (m_stdout >= 0) {
        ::close(m_stdout);
        m_stdout = -1;
    }
}

}  // namespace sim
