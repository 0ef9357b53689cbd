// One receiver served over TCP in the rigctld text protocol.
//
// The application (and `korvanectl serve`) creates one per receiver:
//     auto* srv = new server::RigctlServer(driver, index, QHostAddress::LocalHost, 4532 + index, parent);
//     QString error;
//     if (!srv->start(&error)) { ... show error ... }
// It serves several clients at once, each with its own line buffer and
// protocol session; a client that floods or garbles is dropped alone. The
// driver object is not owned and must outlive the server. Everything runs
// on the thread of the driver (the GUI thread). A client that stays silent
// for the idle time-out (ServerLimits::idleTimeoutMs, 10 minutes unless
// told otherwise; 0 never) is closed, so forgotten connections do not hold
// the client places.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <cstdint>
#include <map>
#include <memory>

#include "driveraccess.h"
#include "rigctlsession.h"

class QTcpSocket;

namespace server {

inline constexpr quint16 kDefaultBasePort = 4532;  // receiver i on 4532 + i

struct ServerLimits {
    SessionLimits session;
    int maxClients = 16;
    qint64 maxUnsentBytes = 1024 * 1024;  // a client that stops reading is dropped
    int confirmTimeoutMs = 5000;
    // A client that sends nothing for this long is closed; 0 keeps it for ever.
    int idleTimeoutMs = 10 * 60 * 1000;
};

class RigctlServer : public QObject {
    Q_OBJECT
public:
    RigctlServer(quorvin::IReceiverDriver* driver, std::int16_t index, const QHostAddress& address, quint16 port,
                 QObject* parent = nullptr, ServerLimits limits = {});
    ~RigctlServer() override;

    // Listens; false (with a message) when the address or port is refused.
    bool start(QString* error = nullptr);
    void stop();
    bool isListening() const { return m_tcp.isListening(); }
    // The port listened on (the one chosen when 0 was asked).
    quint16 port() const;
    QHostAddress address() const { return m_address; }
    std::int16_t index() const { return m_index; }
    int clientCount() const { return static_cast<int>(m_clients.size()); }

signals:
    void clientCountChanged(int count);

private:
    struct Client;
    void accept();
    void readFrom(QTcpSocket* socket);
    void drop(QTcpSocket* socket);
    void closeIdle(QTcpSocket* socket);

    std::int16_t m_index;
    QHostAddress m_address;
    quint16 m_port;
    ServerLimits m_limits;
    DriverAccess m_access;
    QTcpServer m_tcp;
    std::map<QTcpSocket*, std::unique_ptr<Client>> m_clients;
};

}  // namespace server
