// Pseudo-terminals, sockets and settings for the link tests.
#include "testsupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>

#include "driver/links/serialports.h"
#include "platform/settingsstore.h"

namespace linktest {

Pty::Pty()
{
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_path = name;
}

Pty::~Pty()
{
    closeMaster();
    if (m_slave >= 0) {
        ::close(m_slave);
    }
}

void Pty::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void Pty::send(const std::string& bytes)
{
    sendAll(m_master, bytes);
}

std::string Pty::receive(std::size_t n, int timeoutMs)
{
    return receiveExactly(m_master, n, timeoutMs);
}

bool Pty::waitQueued(std::size_t n, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() <= timeoutMs) {
        int queued = 0;
        if (::ioctl(m_slave, FIONREAD, &queued) == 0 && queued >= static_cast<int>(n)) {
            return true;
        }
        ::usleep(1000);
    }
    return false;
}

void pointPort(int n, const std::string& device)
{
    platform::SettingsStore::shared().writeText(quorvin::kPortsKey, std::to_string(n), device);
}

TempSettings::TempSettings()
{
    platform::SettingsStore::resetShared(file());
}

std::string TempSettings::file() const
{
    return m_dir.filePath(QStringLiteral("settings.db")).toStdString();
}

std::string allBytes()
{
    std::string bytes;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 256; ++i) {
            bytes.push_back(static_cast<char>((i * 37 + round * 11) & 0xFF));
        }
    }
    return bytes;
}

Listener::Listener(int backlog)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_fd, backlog) != 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
}

Listener::~Listener()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int Listener::accept(int timeoutMs)
{
    pollfd pfd{m_fd, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) {
        return -1;
    }
    return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
}

int unusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

void sendAll(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                pollfd pfd{fd, POLLOUT, 0};
                ::poll(&pfd, 1, 100);
                continue;
            }
            throw std::runtime_error("write failed");
        }
        sent += static_cast<std::size_t>(n);
    }
}

std::string receiveExactly(int fd, std::size_t n, int timeoutMs)
{
    std::string data;
    QElapsedTimer timer;
    timer.start();
    char buffer[4096];
    while (data.size() < n) {
        const int left = timeoutMs - static_cast<int>(timer.elapsed());
        if (left <= 0) {
            break;
        }
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, left) <= 0) {
            break;
        }
        const ssize_t got = ::read(fd, buffer, std::min(sizeof(buffer), n - data.size()));
        if (got <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
    return data;
}

}  // namespace linktest
