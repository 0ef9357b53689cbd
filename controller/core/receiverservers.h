// The network server inside the application: one rigctl protocol server per
// receiver, receiver i on the base port + i, started, stopped and rebuilt
// as the options or the configured receivers change. The servers go through
// the driver's ordinary members, so what a client changes reaches the
// display through the driver's events and is forwarded like any change.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "interfaces/ireceiverdriver.h"

namespace server {
class RigctlServer;
}

namespace tessaly {

struct Options;

struct NetSettings {
    bool on = false;
    QString address = QStringLiteral("127.0.0.1");
    std::int32_t basePort = 4532;
    std::int32_t idleSeconds = 600;

    static NetSettings from(const Options& options);
    bool operator==(const NetSettings&) const = default;
};

class ReceiverServers {
public:
    explicit ReceiverServers(quorvin::IReceiverDriver& driver);
    ~ReceiverServers();

    // Brings the servers in line with the settings and the receivers the
    // driver holds now (their names in index order). Servers that already
    // serve the same receivers with the same settings are kept with their
    // clients (a busy port among them is tried again); otherwise every
    // server is built anew. Returns the problems
    // not reported before: a port that cannot be bound is told once, as long
    // as the settings stay the same; the other receivers are served anyway.
    QStringList apply(const NetSettings& settings, const QStringList& receivers);
    void stop();

    int count() const { return static_cast<int>(m_servers.size()); }
    // The server of receiver i, or nullptr when it is not served.
    server::RigctlServer* server(int index) const;

private:
    std::unique_ptr<server::RigctlServer> startOne(int index, QStringList& problems);

    quorvin::IReceiverDriver& m_driver;
    NetSettings m_settings;
    QStringList m_receivers;
    std::vector<std::unique_ptr<server::RigctlServer>> m_servers;  // nullptr: not listening
    std::set<QString> m_reported;
};

}  // namespace tessaly
