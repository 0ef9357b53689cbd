// The shared bus line: one upstream connection, many listeners.
#include "bushub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvin::e2e {

namespace {

void writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

BusHub::BusHub(std::uint16_t linePort)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(linePort);
    m_line = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_line < 0 || ::connect(m_line, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        return;
    }
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listener, 8) != 0 || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return;
    }
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
}

BusHub::~BusHub()
{
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_listener >= 0) {
        ::close(m_listener);
    }
    if (m_line >= 0) {
        ::close(m_line);
    }
}

void BusHub::serve()
{
    std::vector<int> clients;
    char buffer[4096];
    while (!m_stop) {
        std::vector<pollfd> fds;
        fds.push_back({m_listener, POLLIN, 0});
        fds.push_back({m_line, POLLIN, 0});
        for (int fd : clients) {
            fds.push_back({fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 20) <= 0) {
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                clients.push_back(fd);
                m_clients = static_cast<int>(clients.size());
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            const ssize_t n = ::recv(m_line, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;  // the line is gone
            }
            for (int fd : clients) {
                writeAll(fd, buffer, static_cast<std::size_t>(n));
            }
        }
        std::vector<int> gone;
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                gone.push_back(fds[i].fd);
                continue;
            }
            writeAll(m_line, buffer, static_cast<std::size_t>(n));
        }
        for (int fd : gone) {
            ::close(fd);
            clients.erase(std::remove(clients.begin(), clients.end(), fd), clients.end());
            m_clients = static_cast<int>(clients.size());
        }
    }
    for (int fd : clients) {
        ::close(fd);
    }
}

}  // namespace quorvin::e2e
