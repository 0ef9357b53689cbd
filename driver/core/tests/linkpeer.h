// The far end of a real link, played by the test: a pseudo-terminal whose
// master side is the receiver, or a TCP listener on 127.0.0.1 whose accepted
// connection is the receiver (a terminal server, as operators use). The peer
// collects the CR-ended requests the driver sends and answers each through a
// function the test chooses. Nothing here uses the driver library's own
// link code, so the test sees the links from outside.
#pragma once

#include "tests/support/ser2netproxy.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvin::test {

class LinkPeer {
public:
    virtual ~LinkPeer();

    // Takes what arrived (accepting a new connection first where there is
    // one), records each request and sends the answer to it, if any.
    void pump();
    // Sends bytes to the driver as they are.
    void send(const std::string& bytes);
    // Waits a little for the peer's side to become readable (at most
    // `ms`), so a polling loop does not spin.
    void idle(int ms);
    // Ends the connection from the receiver's side (cable pulled, server
    // gone).
    virtual void hangUp() = 0;
    virtual bool connected() const { return m_fd >= 0; }

    // Every request seen, without its CR, in order.
    std::vector<std::string> requests;
    // The answer to a request; empty sends nothing.
    std::function<std::string(const std::string&)> answer;

protected:
    // Called by pump() before reading: the TCP peer accepts here.
    virtual void poll() {}
    void closeFd();
    int m_fd = -1;
    // A second descriptor idle() watches (the TCP listener).
    int m_wakeFd = -1;
    std::string m_pending;
};

// The master side of a pseudo-terminal. The test keeps the slave open as
// well (raw), so the device stays usable between the driver's opens.
class PtyPeer : public LinkPeer {
public:
    PtyPeer();
    ~PtyPeer() override;
    const std::string& device() const { return m_device; }
    bool ok() const { return m_fd >= 0 && m_slave >= 0; }
    void hangUp() override;
    // Waits (at most `ms`) until the device side holds at least n bytes
    // that nobody has read yet.
    bool waitQueued(int n, int ms = 2000);

private:
    int m_slave = -1;
    std::string m_device;
};

// A listener on 127.0.0.1 (port chosen by the system); each new connection
// replaces the previous one.
class TcpPeer : public LinkPeer {
public:
    TcpPeer();
    ~TcpPeer() override;
    int port() const { return m_port; }
    bool ok() const { return m_listener >= 0; }
    int accepted() const { return m_accepted; }
    void hangUp() override;

protected:
    void poll() override;

private:
    int m_listener = -1;
    int m_port = 0;
    int m_accepted = 0;
};

// A TCP port on 127.0.0.1 where nothing listens.
int closedTcpPort();

using korvanetest::Ser2netProxy;

}  // namespace quorvin::test
