// The TCP side of the network server: clients, their buffers and limits.
#include "rigctlserver.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace server {

Q_LOGGING_CATEGORY(lcServer, "korvane.server", QtInfoMsg)

struct RigctlServer::Client {
    QTcpSocket* socket = nullptr;
    std::unique_ptr<RigctlSession> session;
    std::unique_ptr<QTimer> idle;  // restarted by every byte the client sends

    ~Client()
    {
        // The client may go from inside its own timer's signal.
        if (idle) {
            idle->stop();
            idle.release()->deleteLater();
        }
    }
};

RigctlServer::RigctlServer(quorvin::IReceiverDriver* driver, std::int16_t index, const QHostAddress& address,
                           quint16 port, QObject* parent, ServerLimits limits)
    : QObject(parent), m_index(index), m_address(address), m_port(port), m_limits(limits), m_access(driver, index, this)
{
    m_access.setConfirmTimeout(limits.confirmTimeoutMs);
    m_tcp.setMaxPendingConnections(limits.maxClients);
    connect(&m_tcp, &QTcpServer::newConnection, this, &RigctlServer::accept);
}

RigctlServer::~RigctlServer()
{
    stop();
}

bool RigctlServer::start(QString* error)
{
    if (m_tcp.isListening()) {
        return true;
    }
    if (!m_access.exists()) {
        if (error != nullptr) {
            *error = QStringLiteral("there is no receiver %1 to serve").arg(m_index);
        }
        return false;
    }
    if (!m_tcp.listen(m_address, m_port)) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot listen on %1:%2: %3")
                         .arg(m_address.toString())
                         .arg(m_port)
                         .arg(m_tcp.errorString());
        }
        return false;
    }
    qCDebug(lcServer) << "receiver" << m_index << "served on" << m_address.toString() << port();
    return true;
}

void RigctlServer::stop()
{
    m_tcp.close();
    auto clients = std::move(m_clients);
    m_clients.clear();
    for (auto& [socket, client] : clients) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (!clients.empty()) {
        emit clientCountChanged(0);
    }
}

quint16 RigctlServer::port() const
{
    return m_tcp.isListening() ? m_tcp.serverPort() : m_port;
}

void RigctlServer::accept()
{
    while (QTcpSocket* socket = m_tcp.nextPendingConnection()) {
        if (clientCount() >= m_limits.maxClients) {
            qCWarning(lcServer) << "receiver" << m_index << "refuses a client: already" << clientCount();
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto client = std::make_unique<Client>();
        client->socket = socket;
        QPointer<QTcpSocket> guard(socket);
        const qint64 maxUnsent = m_limits.maxUnsentBytes;
        client->session = std::make_unique<RigctlSession>(
            m_access,
            [guard, maxUnsent](const std::string& text) {
                if (guard.isNull() || guard->state() != QAbstractSocket::ConnectedState) {
                    return;
                }
                if (guard->bytesToWrite() + static_cast<qint64>(text.size()) > maxUnsent) {
                    // It does not read its answers: drop it, from the event loop.
                    qCWarning(lcServer) << "dropping a client that does not read its answers";
                    QTimer::singleShot(0, guard.data(), [guard] {
                        if (!guard.isNull()) {
                            guard->abort();
                        }
                    });
                    return;
                }
                guard->write(text.data(), static_cast<qint64>(text.size()));
            },
            m_limits.session);
        client->session->setCloseHandler([guard] {
            // The session is on the stack: close from the event loop.
            QTimer::singleShot(0, guard.data(), [guard] {
                if (!guard.isNull()) {
                    guard->disconnectFromHost();
                }
            });
        });
        if (m_limits.idleTimeoutMs > 0) {
            client->idle = std::make_unique<QTimer>();
            client->idle->setSingleShot(true);
            client->idle->setInterval(m_limits.idleTimeoutMs);
            connect(client->idle.get(), &QTimer::timeout, this, [this, socket] { closeIdle(socket); });
            client->idle->start();
        }
        m_clients.emplace(socket, std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        emit clientCountChanged(clientCount());
        // Bytes may have come with the connection.
        if (socket->bytesAvailable() > 0) {
            readFrom(socket);
        }
    }
}

void RigctlServer::readFrom(QTcpSocket* socket)
{
    if (DriverCallScope::active()) {
        // A driver call is under way (its waits let events run): the bytes
        // stay in the socket until it has returned.
        runWhenDriverFree(socket, [this, socket] { readFrom(socket); });
        return;
    }
    const auto it = m_clients.find(socket);
    if (it == m_clients.end()) {
        return;
    }
    RigctlSession& session = *it->second->session;
    const QByteArray bytes = socket->readAll();
    if (it->second->idle && !bytes.isEmpty()) {
        it->second->idle->start();
    }
    if (session.closed()) {
        return;
    }
    session.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void RigctlServer::drop(QTcpSocket* socket)
{
    const auto it = m_clients.find(socket);
    if (it == m_clients.end()) {
        return;
    }
    auto client = std::move(it->second);
    m_clients.erase(it);
    socket->disconnect(this);
    socket->deleteLater();
    emit clientCountChanged(clientCount());
}

void RigctlServer::closeIdle(QTcpSocket* socket)
{
    if (m_clients.find(socket) == m_clients.end()) {
        return;
    }
    qCInfo(lcServer) << "receiver" << m_index << "closes a client silent for" << m_limits.idleTimeoutMs / 1000 << "s";
    // What was answered still goes out; the disconnection then drops it.
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        drop(socket);
    }
}

}  // namespace server
