// The serving core on POSIX descriptors: a pty master or a listening TCP
// socket, one poll() loop, replies scheduled through the fault injector.
#include "simserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace sim {

namespace {

constexpr std::size_t kMaxOutput = 64 * 1024;  // what waits for a slow or absent client

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void setError(std::string* error, const std::string& what)
{
    if (error) {
        *error = what + ": " + std::strerror(errno);
    }
}

}  // namespace

SimServer::SimServer(SimLine line, std::string name) : m_name(std::move(name)), m_line(std::move(line))
{
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_wakeRead = fds[0];
        m_wakeWrite = fds[1];
    }
}

SimServer::~SimServer()
{
    stop();
    int client = m_clientFd.exchange(-1);
    closeFd(client);
    closeFd(m_listenFd);
    closeFd(m_masterFd);
    closeFd(m_slaveFd);
    closeFd(m_wakeRead);
    closeFd(m_wakeWrite);
}

std::unique_ptr<SimServer> SimServer::create(std::string_view lineText, Transport transport, std::uint16_t port,
                                             std::string* error, const ModelOptions& options)
{
    LineConfig config;
    std::string message;
    if (!parseLineConfig(lineText, config, message)) {
        if (error) {
            *error = message;
        }
        return nullptr;
    }
    auto server = std::make_unique<SimServer>(SimLine::fromConfig(config, options), config.text);
    const bool open = transport == Pty ? server->openPty(error) : server->listenTcp(port, error);
    if (!open || !server->start()) {
        return nullptr;
    }
    return server;
}

bool SimServer::openPty(std::string* error)
{
    if (m_masterFd >= 0 || m_listenFd >= 0) {
        if (error) {
            *error = "line already open";
        }
        return false;
    }
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        setError(error, "posix_openpt");
        return false;
    }
    char path[PATH_MAX];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, path, sizeof path) != 0) {
        setError(error, "pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    // The server holds the device open itself, so the line stays up while
    // clients come and go and the raw settings are never reset.
    int slave = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        setError(error, std::string("open ") + path);
        ::close(master);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    m_masterFd = master;
    closeFd(m_slaveFd);  // the hung-up line's, kept until now (see hangUp)
    m_slaveFd = slave;
    m_devicePath = path;
    return true;
}

bool SimServer::reopenPty(std::string* error)
{
    if (!m_hungUp.load() || m_listenFd >= 0 || m_devicePath.empty()) {
        if (error) {
            *error = "no hung-up pty to reopen";
        }
        return false;
    }
    const bool wasServing = m_serving.load();
    stop();
    if (!openPty(error)) {
        if (wasServing) {
            start();  // stays hung up; a later reopen may succeed
        }
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_injector.newConnection();
        m_line.resetInput();
        trace("reopened as " + m_devicePath);
    }
    m_hungUp = false;
    if (wasServing) {
        start();
    }
    return true;
}

bool SimServer::listenTcp(std::uint16_t port, std::string* error)
{
    if (m_masterFd >= 0 || m_listenFd >= 0) {
        if (error) {
            *error = "line already open";
        }
        return false;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        setError(error, "socket");
        return false;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        setError(error, "cannot listen on 127.0.0.1:" + std::to_string(port));
        ::close(fd);
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_listenFd = fd;
    return true;
}

std::string SimServer::endpoint() const
{
    if (m_listenFd >= 0) {
        return "127.0.0.1:" + std::to_string(m_port);
    }
    return m_devicePath;
}

bool SimServer::start()
{
    if (m_thread.joinable() || (m_masterFd < 0 && m_listenFd < 0)) {
        return false;
    }
    m_stopRequested = false;
    // Set before the thread exists: step() must not read m_thread, which
    // this thread is still assigning while the new one starts serving.
    m_serving = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void SimServer::stop()
{
    if (!m_thread.joinable()) {
        return;
    }
    m_stopRequested = true;
    if (m_wakeWrite >= 0) {
        const char c = 0;
        [[maybe_unused]] auto n = ::write(m_wakeWrite, &c, 1);
    }
    m_thread.join();
    m_serving = false;
}

void SimServer::run()
{
    while (!m_stopRequested.load()) {
        if (!serve(500)) {
            // Hung up: nothing more to serve, but stay until stopped.
            pollfd wake{m_wakeRead, POLLIN, 0};
            ::poll(&wake, 1, 500);
        }
    }
}

void SimServer::setFaults(const FaultPlan& plan)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_injector.setPlan(plan);
}

void SimServer::setTrace(TraceSink sink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trace = std::move(sink);
}

void SimServer::setReplyTap(TraceSink tap)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replyTap = std::move(tap);
}

void SimServer::trace(const std::string& text)
{
    // Called with m_mutex held.
    if (m_trace) {
        m_trace(m_name + " " + text);
    }
}

int SimServer::dataFd() const
{
    return m_listenFd >= 0 ? m_clientFd.load() : m_masterFd;
}

bool SimServer::step(int timeoutMs)
{
    // Serving runs in one thread only: the server's own once started.
    if (m_serving.load()) {
        return false;
    }
    return serve(timeoutMs);
}

bool SimServer::serve(int timeoutMs)
{
    if (m_hungUp.load() || (m_masterFd < 0 && m_listenFd < 0)) {
        return false;
    }
    std::vector<pollfd> fds;
    fds.push_back({m_wakeRead, POLLIN, 0});
    if (m_listenFd >= 0) {
        fds.push_back({m_listenFd, POLLIN, 0});
    }
    const int io = dataFd();
    const std::size_t ioIndex = fds.size();
    if (io >= 0) {
        fds.push_back({io, static_cast<short>(POLLIN | (m_output.empty() ? 0 : POLLOUT)), 0});
    }
    int timeout = timeoutMs;
    if (!m_pending.empty()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(m_pending.front().due -
                                                                                std::chrono::steady_clock::now());
        timeout = std::clamp(static_cast<int>(wait.count()) + 1, 0, timeoutMs);
    }
    {
        // Held-back input is released soon when nothing follows it.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_injector.holds()) {
            timeout = std::min(timeout, 20);
        }
    }
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) {
        return true;
    }
    if (fds[0].revents & POLLIN) {
        char buf[64];
        while (::read(m_wakeRead, buf, sizeof buf) > 0) {
        }
    }
    if (m_listenFd >= 0 && (fds[1].revents & POLLIN)) {
        acceptClient();
    }
    bool readInput = false;
    if (io >= 0 && io == dataFd() && ready > 0 && (fds[ioIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
        char buf[4096];
        const ssize_t n = ::read(io, buf, sizeof buf);
        if (n > 0) {
            handleInput(buf, static_cast<std::size_t>(n));
            readInput = true;
        } else if (m_listenFd >= 0 && (n == 0 || (errno != EAGAIN && errno != EINTR))) {
            closeClient("disconnected");
        }
    }
    if (!readInput) {
        // Nothing more came: bytes held back as the possible start of a
        // command to drop were something else.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_injector.holds()) {
            feedInput(m_injector.takeHeld());
        }
    }
    releaseDue();
    flushOutput();
    return !m_hungUp.load();
}

void SimServer::acceptClient()
{
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (m_clientFd.load() >= 0) {
        closeClient("replaced by a new client");
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_clientFd = fd;
    ++m_connections;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_injector.newConnection();
    m_line.resetInput();
    trace("client 127.0.0.1:" + std::to_string(ntohs(peer.sin_port)) + " connected");
}

void SimServer::closeClient(const char* why)
{
    int fd = m_clientFd.exchange(-1);
    closeFd(fd);
    m_pending.clear();
    m_output.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    trace(std::string("client ") + why);
}

void SimServer::hangUp()
{
    if (m_listenFd >= 0) {
        closeClient("dropped (fault)");
        return;
    }
    // A pty hangs up for good: the device goes away as an unplugged adapter
    // would. Closing the master hangs up every open slave and removes the
    // name; our own slave stays open until the line is opened again, so the
    // pty's number stays taken and a client opening the old name finds
    // nothing, never a pty another program has just been given under it.
    closeFd(m_masterFd);
    m_pending.clear();
    m_output.clear();
    m_hungUp = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    trace("hung up (fault)");
}

void SimServer::handleInput(const char* data, std::size_t size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bytesReceived += size;
    trace("-> " + escapeBytes(std::string_view(data, size)));
    int dropped = 0;
    const std::string input = m_injector.filterInput(std::string_view(data, size), &dropped);
    if (dropped > 0) {
        trace("(command dropped)");
    }
    feedInput(input);
}

void SimServer::feedInput(const std::string& input)
{
    Frames frames = m_line.feed(input);
    const auto now = std::chrono::steady_clock::now();
    for (std::string& frame : frames) {
        FaultInjector::Outcome outcome = m_injector.apply(std::move(frame));
        if (outcome.action == FaultInjector::Action::Swallow) {
            trace(std::string("<- (") + outcome.note + ")");
            continue;
        }
        Scheduled item;
        item.due = now + std::chrono::milliseconds(outcome.delayMs);
        if (!m_pending.empty()) {
            item.due = std::max(item.due, m_pending.back().due);
        }
        item.hangUp = outcome.action == FaultInjector::Action::HangUp;
        item.bytes = std::move(outcome.bytes);
        if (!item.hangUp) {
            trace("<- " + escapeBytes(item.bytes) + (*outcome.note ? std::string(" (") + outcome.note + ")" : ""));
        }
        m_pending.push_back(std::move(item));
        if (m_pending.back().hangUp) {
            break;  // nothing follows a hang-up
        }
    }
}

void SimServer::releaseDue()
{
    const auto now = std::chrono::steady_clock::now();
    while (!m_pending.empty() && m_pending.front().due <= now) {
        Scheduled item = std::move(m_pending.front());
        m_pending.pop_front();
        if (item.hangUp) {
            flushOutput();
            hangUp();
            return;
        }
        ++m_repliesSent;
        m_bytesSent += item.bytes.size();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_replyTap) {
                m_replyTap(item.bytes);
            }
        }
        m_output += item.bytes;
    }
    if (m_output.size() > kMaxOutput) {
        m_output.clear();
    }
}

void SimServer::flushOutput()
{
    const int fd = dataFd();
    if (fd < 0) {
        m_output.clear();
        return;
    }
    while (!m_output.empty()) {
        const ssize_t n = m_listenFd >= 0 ? ::send(fd, m_output.data(), m_output.size(), MSG_NOSIGNAL)
                                          : ::write(fd, m_output.data(), m_output.size());
        if (n > 0) {
            m_output.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        if (m_listenFd >= 0) {
            closeClient("lost");
        } else {
            m_output.clear();
        }
        return;
    }
}

}  // namespace sim
