// Runs rxsim as a child process for tests in other folders: starts it,
// collects the "LINE ENDPOINT" lines it prints, and stops it with SIGTERM.
// rxsim also gets SIGTERM when the thread that started it ends (the program
// dying without cleaning up included), so start it from a thread that lives
// as long as the simulator is needed (a test's main thread).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace sim {

class RxsimProcess {
public:
    RxsimProcess() = default;
    ~RxsimProcess();
    RxsimProcess(const RxsimProcess&) = delete;
    RxsimProcess& operator=(const RxsimProcess&) = delete;

    // $KORVANE_RXSIM when set, else the rxsim of this build.
    static std::string defaultProgram();

    // Starts `program` (empty: defaultProgram()) with `args` and waits up to
    // timeoutMs for one printed line per LINE. False with a message when it
    // refuses its arguments, dies or stays quiet.
    bool start(const std::vector<std::string>& args, std::string* error = nullptr, int timeoutMs = 5000,
               const std::string& program = {});

    pid_t pid() const { return m_pid; }
    // The endpoint (device path or HOST:PORT) printed for LINE number i.
    std::string endpoint(std::size_t i) const;
    // "HOST:PORT" → PORT; 0 when the endpoint is no TCP one.
    int port(std::size_t i) const;
    // The printed lines as they came.
    const std::vector<std::string>& lines() const { return m_lines; }

    // Sends SIGTERM and waits up to timeoutMs (then SIGKILL). Returns the
    // exit status as waitpid gives it, -1 if nothing was running.
    int terminate(int timeoutMs = 5000);
    // Waits up to timeoutMs for rxsim to end by itself (after a signal the
    // caller sent, for instance). Returns the exit status, or -1 while it
    // still runs.
    int wait(int timeoutMs);

private:
    void reaped();

    pid_t m_pid = -1;
    int m_stdout = -1;
    std::vector<std::string> m_lines;
};

}  // namespace sim
