// SocketLink: a receiver behind a TCP port (a terminal server, ser2net, a
// simulator) carrying the same frames as the serial line. Measures the
// round trip with an ICMP echo before it connects; that latency is added
// to the channel's waits. Keeps the T_ values of the instance.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "commchannel.h"
#include "notifygate.h"
#include "pinger.h"

class QTcpSocket;

namespace quorvin {

class SocketLink {
public:
    // Without a control the link fails every operation with last error 99.
    SocketLink(LinkOwner* owner, std::unique_ptr<Pinger> pinger, bool withControl = true);
    ~SocketLink();
    SocketLink(const SocketLink&) = delete;
    SocketLink& operator=(const SocketLink&) = delete;

    bool Load(const std::string& keyPath);
    bool Save();

    bool Open();
    bool Close();
    bool IsOpen();
    bool Write(const std::string& bytes, int charDelayMs, int afterDelayMs);
    std::string Read(int delayMs, const ReplyComplete& complete = {});
    void SetEventMode(bool on);

    std::int16_t SetBusAddress(std::int32_t address);
    void SetBusAddressing(bool inUse) { m_busAddressing = inUse; }
    // Accepted only when ≥ 1; returns the port now in force.
    std::int32_t SetPort(std::int32_t port);
    void SetAddress(const std::string& address) { m_address = address; }
    void SetPingTest(bool on) { m_pingTest = on ? 1 : 0; }
    void SetConnectWait(std::int32_t steps);

    const std::string& address() const { return m_address; }
    std::int32_t port() const { return m_port; }
    std::int16_t connectWait() const { return m_connectWait; }
    std::int16_t pingTest() const { return m_pingTest; }
    std::int16_t busAddress() const { return m_busAddress; }
    bool busAddressing() const { return m_busAddressing; }
    std::int16_t latency() const { return m_latency; }
    bool eventMode() const { return m_eventMode; }
    int lastError() const { return m_lastError; }
    bool hasControl() const { return m_socket != nullptr; }
    const std::string& keyPath() const { return m_keyPath; }

    // Resolves a dotted address or a host name to its first IPv4 address
    // (network byte order).
    static bool resolve(const std::string& address, std::uint32_t& addressNetworkOrder);

    static constexpr int kStepMs = 10;
    static constexpr int kBaseSteps = 50;

private:
    void onError(int socketError);
    void deliver();
    bool fail(int error);
    bool connected() const;
    // What a read would hand over now, left in place.
    std::string received() const;

    LinkOwner* m_owner;
    std::unique_ptr<Pinger> m_pinger;
    std::unique_ptr<QTcpSocket> m_socket;
    NotifyGate m_gate;
    std::string m_keyPath;

    std::string m_address = "127.0.0.1";
    std::int32_t m_port = 21690;
    std::int16_t m_connectWait = 150;
    std::int16_t m_pingTest = 1;
    std::int16_t m_busAddress = 1;
    bool m_busAddressing = false;
    std::int16_t m_latency = 50;
    bool m_eventMode = false;
    int m_lastError = LinkOk;
    // Error seen on the socket since the connect began; -1 for none.
    int m_socketError = -1;
    // Bytes that arrived before the far end closed: handed over by the next
    // read rather than dropped with the connection.
    std::string m_stash;
};

}  // namespace quorvin
