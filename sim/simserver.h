// The serving core: one line of simulated receivers served on a
// pseudo-terminal or on a TCP port of 127.0.0.1, with fault injection.
//
// In-process use (tests):
//     sim::SimServer server(sim::SimLine::fromConfig(config));
//     server.listenTcp(0);            // or server.openPty()
//     server.start();                 // serves in its own thread
//     ... connect to server.endpoint() / server.devicePath() ...
//     server.withLine([](sim::SimLine& line) { line.as<sim::Nrd535Sim>()->state().frequency; });
// Or in one call: auto server = sim::SimServer::create("RA1792:1+RA1792:2", sim::SimServer::Tcp, 0, &error);
// A test that wants no thread calls step() from its own loop instead of
// start() (step(0) from a QTimer fits a Qt event loop). A driver that sleeps
// while it waits for an answer needs the server in its own thread.
//
// A pty stays served while clients close and reopen its device (the server
// keeps the device open itself, so nothing is lost between clients; bytes
// the server wrote while no one listened wait in the device for the next
// client). A TCP port serves one client at a time; a new client takes the
// line over from the old one, whose connection is closed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "faultplan.h"
#include "simmodels.h"

namespace sim {

class SimServer {
public:
    using TraceSink = std::function<void(const std::string& line)>;

    enum Transport { Pty, Tcp };

    explicit SimServer(SimLine line, std::string name = "line");

    // Parses a LINE ("NRD535", "RA1792:1+RA1792:2"), opens it on a pty or on
    // 127.0.0.1:port (0: any free port) and starts serving in a thread.
    // nullptr with a message when the LINE or the port is refused.
    static std::unique_ptr<SimServer> create(std::string_view lineText, Transport transport, std::uint16_t port = 0,
                                             std::string* error = nullptr, const ModelOptions& options = {});
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens a raw pseudo-terminal; devicePath() names its device.
    bool openPty(std::string* error = nullptr);
    // Listens on 127.0.0.1:port; port 0 takes any free port (see port()).
    bool listenTcp(std::uint16_t port, std::string* error = nullptr);
    // After a hang-up of a pty: a fresh pty (devicePath() names it; the
    // system may give it the old name again) serving the
    // same receivers with their state, as when an unplugged adapter comes
    // back under another name. Serving resumes as it was (thread or step());
    // the fault plan stays and counts afresh. False when the line is no
    // pty or is not hung up.
    bool reopenPty(std::string* error = nullptr);

    // Serves in a background thread until stop() or destruction.
    bool start();
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    // One round of serving in the caller's thread: waits up to timeoutMs
    // for traffic, handles it, returns. False once the line is hung up or
    // was never opened, and when called while start() serves already.
    bool step(int timeoutMs);

    std::string name() const { return m_name; }
    // The device path for a pty, "127.0.0.1:PORT" for TCP.
    std::string endpoint() const;
    std::string devicePath() const { return m_devicePath; }
    std::uint16_t port() const { return m_port; }

    // Thread-safe; counting of the new plan starts afresh.
    void setFaults(const FaultPlan& plan);
    // Thread-safe; the sink is called from the serving thread. Empty: no trace.
    void setTrace(TraceSink sink);
    // Hands the bytes of every reply, as sent, to the tap (in the serving
    // thread); an empty function removes it.
    void setReplyTap(TraceSink tap);

    // Runs f on the line (its receivers and their state) under the serving lock.
    template <class F>
    decltype(auto) withLine(F&& f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_line);
    }

    int connections() const { return m_connections.load(); }  // TCP clients accepted so far
    bool hasClient() const { return m_clientFd.load() >= 0; }
    bool isHungUp() const { return m_hungUp.load(); }
    int repliesSent() const { return m_repliesSent.load(); }
    // Bytes taken from the client and bytes of replies sent to it, so far.
    std::uint64_t bytesReceived() const { return m_bytesReceived.load(); }
    std::uint64_t bytesSent() const { return m_bytesSent.load(); }

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Scheduled {
        TimePoint due;
        std::string bytes;
        bool hangUp = false;
    };

    void run();
    // One round of serving (step() without its check of the thread).
    bool serve(int timeoutMs);
    int dataFd() const;
    void acceptClient();
    void closeClient(const char* why);
    void hangUp();
    void handleInput(const char* data, std::size_t size);
    // Feeds input that reached the receivers (the serving lock held).
    void feedInput(const std::string& input);
    void releaseDue();
    void flushOutput();
    void trace(const std::string& text);

    std::string m_name;
    mutable std::mutex m_mutex;  // m_line, m_injector, m_trace
    SimLine m_line;
    FaultInjector m_injector;
    TraceSink m_trace;
    TraceSink m_replyTap;

    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_masterFd = -1;
    int m_slaveFd = -1;
    int m_listenFd = -1;
    std::atomic<int> m_clientFd{-1};
    std::string m_devicePath;
    std::uint16_t m_port = 0;

    std::deque<Scheduled> m_pending;
    std::string m_output;

    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_serving{false};  // start() serves in m_thread
    std::atomic<bool> m_hungUp{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_repliesSent{0};
    std::atomic<std::uint64_t> m_bytesReceived{0};
    std::atomic<std::uint64_t> m_bytesSent{0};
};

}  // namespace sim
