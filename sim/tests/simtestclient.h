// Small blocking clients for the serving tests: a TCP connection to
// 127.0.0.1 and an opened pty device, both with read-until helpers.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace simtest {

class Client {
public:
    ~Client() { close(); }
    static Client tcp(int port)
    {
        Client c;
        c.m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(c.m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            c.close();
        }
        return c;
    }
    static Client device(const std::string& path)
    {
        Client c;
        c.m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        return c;
    }
    Client() = default;
    Client(Client&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Client& operator=(Client&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    bool isOpen() const { return m_fd >= 0; }
    void close()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    bool send(const std::string& bytes)
    {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size()) ||
               ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Reads until `count` bytes, or `terminators` terminator bytes have
    // arrived, or the peer closes, or timeoutMs passes. `closed` tells
    // whether the peer closed (or hung up).
    std::string read(std::size_t count, int timeoutMs = 3000, char terminator = 0, int terminators = 0)
    {
        std::string got;
        int seen = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count && (terminators == 0 || seen < terminators)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buf[4096];
            const ssize_t n = ::read(m_fd, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) {
                closed = true;
                break;
            }
            for (ssize_t i = 0; i < n; ++i) {
                if (terminators && buf[i] == terminator) {
                    ++seen;
                }
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }
    std::string readLines(char terminator, int lines, int timeoutMs = 3000)
    {
        return read(1 << 20, timeoutMs, terminator, lines);
    }
    // Whether anything is waiting to be read right now.
    bool hasData()
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
    }
    bool closed = false;

private:
    int m_fd = -1;
};

// Waits (polling) until pred() holds or timeoutMs passes; returns pred().
template <class Pred>
bool waitFor(Pred pred, int timeoutMs = 3000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pred();
}

}  // namespace simtest
