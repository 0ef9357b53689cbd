// Pseudo-terminal and TCP peers for the polling tests.
#include "linkpeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>

namespace quorvin::test {

namespace {

void makeNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

LinkPeer::~LinkPeer()
{
    closeFd();
}

void LinkPeer::closeFd()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_pending.clear();
}

void LinkPeer::pump()
{
    poll();
    if (m_fd < 0) {
        return;
    }
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_pending.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            // The driver closed its side (TCP): wait for the next connection.
            closeFd();
        }
        break;  // EAGAIN, or EIO on a pty whose slave nobody holds
    }
    std::size_t end;
    while ((end = m_pending.find('\r')) != std::string::npos) {
        const std::string request = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        requests.push_back(request);
        if (answer) {
            const std::string reply = answer(request);
            if (!reply.empty()) {
                send(reply);
            }
        }
    }
}

void LinkPeer::send(const std::string& bytes)
{
    std::size_t done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            idle(1);
        } else if (n < 0 && errno != EINTR) {
            break;
        }
    }
}

void LinkPeer::idle(int ms)
{
    pollfd fds[2];
    nfds_t count = 0;
    for (const int fd : {m_fd, m_wakeFd}) {
        if (fd >= 0) {
            fds[count++] = pollfd{fd, POLLIN, 0};
        }
    }
    ::poll(fds, count, ms);
}

PtyPeer::PtyPeer()
{
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&m_fd, &m_slave, name, &raw, nullptr) != 0) {
        m_fd = m_slave = -1;
        return;
    }
    makeNonBlocking(m_fd);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_device = name;
}

PtyPeer::~PtyPeer()
{
    if (m_slave >= 0) {
        ::close(m_slave);
    }
}

void PtyPeer::hangUp()
{
    // Closing the master hangs up every open slave, the driver's too, and
    // removes the device's name. The slave stays open here until the peer
    // goes: it keeps the pty's number taken, so a driver that opens the
    // name again finds nothing, never a pty some other program has just
    // been given under the same number.
    closeFd();
}

bool PtyPeer::waitQueued(int n, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() <= ms) {
        int queued = 0;
        if (::ioctl(m_slave, FIONREAD, &queued) == 0 && queued >= n) {
            return true;
        }
        QThread::msleep(1);
    }
    return false;
}

TcpPeer::TcpPeer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0) {
        return;
    }
    const int on = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return;
    }
    makeNonBlocking(m_listener);
    m_port = ntohs(address.sin_port);
    m_wakeFd = m_listener;
}

TcpPeer::~TcpPeer()
{
    if (m_listener >= 0) {
        ::close(m_listener);
    }
}

void TcpPeer::poll()
{
    for (;;) {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        closeFd();
        makeNonBlocking(fd);
        m_fd = fd;
        ++m_accepted;
    }
}

void TcpPeer::hangUp()
{
    closeFd();
}

int closedTcpPort()
{
    // Bind a port, then let it go: nothing listens there afterwards.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace quorvin::test
