// The TCP/IP link: name resolution, the echo test, the counted connect
// wait, reads that wait their full count (less once the reply is whole or
// the far end has gone), and the T_ settings.
#include "socketlink.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <netdb.h>

#include "platform/reporter.h"
#include "platform/settingsstore.h"
#include "platform/wait.h"

namespace quorvin {

namespace {

constexpr const char* kAddr = "T_Addr";
constexpr const char* kPort = "T_Port";
constexpr const char* kDelay = "T_Delay";
constexpr const char* kTestLink = "T_TestLink";
constexpr const char* kBusAddr = "T_BusAddr";

constexpr std::int32_t kNoAddressStored = 65535;

// One step of a socket wait: socket notifications (never user input) are
// delivered, then 10 ms pass.
void step()
{
    platform::processPendingEvents();
    platform::sleepMs(SocketLink::kStepMs);
}

}  // namespace

SocketLink::SocketLink(LinkOwner* owner, std::unique_ptr<Pinger> pinger, bool withControl)
    : m_owner(owner), m_pinger(std::move(pinger)), m_gate([this] { deliver(); })
{
    if (!withControl) {
        platform::reporter().message("Socket Driver Error", "Error accessing the TCP/IP socket driver",
                                     platform::MessageIcon::Warning);
        return;
    }
    m_socket = std::make_unique<QTcpSocket>();
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, m_socket.get(), [this] { m_gate.post(); });
    QObject::connect(m_socket.get(), &QAbstractSocket::errorOccurred, m_socket.get(),
                     [this](QAbstractSocket::SocketError error) { onError(static_cast<int>(error)); });
}

SocketLink::~SocketLink()
{
    if (m_socket) {
        m_socket->disconnect();
        m_socket->abort();
    }
}

bool SocketLink::fail(int error)
{
    m_lastError = error;
    return false;
}

bool SocketLink::connected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool SocketLink::Load(const std::string& keyPath)
{
    m_keyPath = keyPath;
    auto& store = platform::SettingsStore::shared();
    if (!store.createKey(keyPath)) {
        return false;
    }
    if (auto address = store.readText(keyPath, kAddr)) {
        m_address = *address;
    }
    if (auto port = store.readNumber(keyPath, kPort)) {
        SetPort(*port);
    }
    if (auto wait = store.readNumber(keyPath, kDelay)) {
        SetConnectWait(*wait);
    }
    if (auto test = store.readNumber(keyPath, kTestLink)) {
        m_pingTest = static_cast<std::int16_t>(*test);
    }
    if (auto address = store.readNumber(keyPath, kBusAddr)) {
        SetBusAddress(*address == kNoAddressStored ? -1 : *address);
    }
    return true;
}

bool SocketLink::Save()
{
    if (m_keyPath.empty()) {
        return false;
    }
    auto& store = platform::SettingsStore::shared();
    bool ok = store.writeText(m_keyPath, kAddr, m_address);
    ok = store.writeNumber(m_keyPath, kPort, m_port) && ok;
    ok = store.writeNumber(m_keyPath, kTestLink, m_pingTest) && ok;
    ok = store.writeNumber(m_keyPath, kBusAddr, m_busAddress < 0 ? kNoAddressStored : m_busAddress) && ok;
    return ok;
}

std::int16_t SocketLink::SetBusAddress(std::int32_t address)
{
    if (address == -1 || (address >= 0 && address <= 99)) {
        m_busAddress = static_cast<std::int16_t>(address);
    }
    return m_busAddress;
}

std::int32_t SocketLink::SetPort(std::int32_t port)
{
    if (port >= 1 && port <= 65535) {
        m_port = port;
    }
    return m_port;
}

void SocketLink::SetConnectWait(std::int32_t steps)
{
    // A negative wait means none; the stored value is 16-bit.
    m_connectWait = static_cast<std::int16_t>(std::clamp<std::int32_t>(steps, 0, 32767));
}

bool SocketLink::resolve(const std::string& address, std::uint32_t& addressNetworkOrder)
{
    in_addr dotted{};
    if (::inet_pton(AF_INET, address.c_str(), &dotted) == 1 && dotted.s_addr != 0) {
        addressNetworkOrder = dotted.s_addr;
        return true;
    }
    if (address.empty()) {
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    const auto* first = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    addressNetworkOrder = first->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

bool SocketLink::Open()
{
    NotifyGate::Hold hold(m_gate);
    if (!m_socket) {
        return fail(LinkNoControl);
    }
    m_lastError = LinkOk;
    std::uint32_t address = 0;
    if (!resolve(m_address, address)) {
        return fail(LinkBadAddr);
    }
    m_latency = static_cast<std::int16_t>(m_pinger ? m_pinger->ping(address) : -1);
    if (m_pingTest != 0 && m_latency == -1) {
        return fail(LinkLoop);
    }
    Close();
    m_lastError = LinkOk;
    m_stash.clear();
    m_socketError = -1;
    // The resolved address is used, so the connect starts at once and
    // connects where the echo went.
    m_socket->connectToHost(QHostAddress(ntohl(address)), static_cast<quint16>(m_port));
    if (m_socket->state() == QAbstractSocket::UnconnectedState && m_socketError == -1) {
        return fail(LinkOpenError);
    }
    // -1 / 10 truncates to 0: without an echo the wait is 50 + T_Delay.
    const int steps = std::max(1, m_latency / 10 + kBaseSteps + m_connectWait);
    for (int i = 0; i < steps; ++i) {
        platform::processPendingEvents();
        if (m_socketError != -1) {
            const bool refused = m_socketError == QAbstractSocket::ConnectionRefusedError;
            m_socket->abort();
            return fail(refused ? LinkOpenError : LinkOtherError);
        }
        platform::sleepMs(kStepMs);
        if (connected()) {
            return true;
        }
    }
    if (connected()) {
        return true;
    }
    // Give the attempt up, so it cannot complete behind the caller's back.
    m_socket->abort();
    return fail(LinkTimeOut);
}

bool SocketLink::Close()
{
    NotifyGate::Hold hold(m_gate);
    if (!m_socket) {
        return fail(LinkNoControl);
    }
    m_stash.clear();
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        return true;
    }
    if (!connected()) {
        m_socket->abort();  // an attempt still under way
        return true;
    }
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_socket->abort();
    }
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        return fail(LinkOtherError);
    }
    return true;
}

bool SocketLink::IsOpen()
{
    return connected();
}

bool SocketLink::Write(const std::string& bytes, int charDelayMs, int afterDelayMs)
{
    NotifyGate::Hold hold(m_gate);
    if (!m_socket) {
        return fail(LinkNoControl);
    }
    if (!connected()) {
        return fail(LinkClosed);
    }
    auto send = [this](const char* data, qint64 size) {
        if (m_socket->write(data, size) != size) {
            return false;
        }
        m_socket->flush();
        platform::processPendingEvents();
        return true;
    };
    if (charDelayMs > 0) {
        for (char byte : bytes) {
            if (!connected() || !send(&byte, 1)) {
                return fail(LinkOtherError);
            }
            platform::pauseMs(charDelayMs);
        }
    } else if (!bytes.empty() && !send(bytes.data(), static_cast<qint64>(bytes.size()))) {
        return fail(LinkOtherError);
    }
    if (afterDelayMs > 0) {
        platform::pauseMs(afterDelayMs);
    }
    m_lastError = LinkOk;
    return true;
}

std::string SocketLink::Read(int delayMs, const ReplyComplete& complete)
{
    NotifyGate::Hold hold(m_gate);
    if (!m_socket) {
        fail(LinkNoControl);
        return {};
    }
    if (!connected() && m_stash.empty()) {
        fail(LinkClosed);
        return {};
    }
    if (connected()) {
        // The delay counts as 10 ms steps, on top of 50 steps and a tenth
        // of the latency. Without a completeness check the wait runs its
        // full count; with one, the count is the upper bound and the wait
        // ends at the first step that finds the reply whole. Either way it
        // ends once the far end has gone: nothing more can arrive.
        const int steps = delayMs > 0 ? m_latency / 10 + delayMs + kBaseSteps : 1;
        for (int i = 0; i < steps; ++i) {
            if (complete && delayMs > 0) {
                platform::processPendingEvents();
                if (!connected() || complete(received())) {
                    break;
                }
                platform::sleepMs(kStepMs);
                continue;
            }
            step();
            if (!connected()) {
                break;
            }
        }
    }
    std::string data = std::move(m_stash);
    m_stash.clear();
    if (connected()) {
        const QByteArray received = m_socket->readAll();
        data.append(received.constData(), static_cast<std::size_t>(received.size()));
    }
    if (!data.empty()) {
        m_lastError = LinkOk;
        return data;
    }
    // Nothing came; if the far end went away meanwhile, say so.
    fail(connected() ? LinkTimeOut : LinkClosed);
    return {};
}

std::string SocketLink::received() const
{
    std::string data = m_stash;
    if (connected()) {
        const QByteArray waiting = m_socket->peek(m_socket->bytesAvailable());
        data.append(waiting.constData(), static_cast<std::size_t>(waiting.size()));
    }
    return data;
}

void SocketLink::SetEventMode(bool on)
{
    m_eventMode = on;
    if (on) {
        m_gate.post();
    }
}

void SocketLink::onError(int socketError)
{
    m_socketError = socketError;
    if (socketError == QAbstractSocket::SocketTimeoutError) {
        return;
    }
    // Keep what arrived before the connection broke, then close it.
    const QByteArray received = m_socket->readAll();
    m_stash.append(received.constData(), static_cast<std::size_t>(received.size()));
    // Closed from the event loop, not inside the socket's own handler; a new
    // connect in the meantime clears the error and is left alone.
    QMetaObject::invokeMethod(
        m_socket.get(),
        [this, socketError] {
            if (m_socketError == socketError && m_socket->state() != QAbstractSocket::UnconnectedState) {
                m_socket->abort();
            }
        },
        Qt::QueuedConnection);
    if (!m_stash.empty()) {
        m_gate.post();
    }
}

void SocketLink::deliver()
{
    if (m_owner == nullptr || !m_eventMode) {
        return;
    }
    const bool waiting = !m_stash.empty() || (connected() && m_socket->bytesAvailable() > 0);
    if (waiting) {
        m_owner->onLinkData(true);
    }
}

}  // namespace quorvin
