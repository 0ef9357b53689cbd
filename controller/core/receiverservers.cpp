// The application's network servers.
#include "receiverservers.h"

#include "appsettings.h"
#include "server/rigctlserver.h"

namespace tessaly {

NetSettings NetSettings::from(const Options& o)
{
    NetSettings s;
    s.on = o.OptNetServer;
    s.address = o.OptNetAddress.trimmed();
    s.basePort = o.OptNetPort;
    s.idleSeconds = o.OptNetIdle;
    return s;
}

ReceiverServers::ReceiverServers(quorvin::IReceiverDriver& driver) : m_driver(driver) {}

ReceiverServers::~ReceiverServers()
{
    stop();
}

void ReceiverServers::stop()
{
    m_servers.clear();
    m_receivers.clear();
}

server::RigctlServer* ReceiverServers::server(int index) const
{
    return index >= 0 && index < count() ? m_servers[static_cast<std::size_t>(index)].get() : nullptr;
}

QStringList ReceiverServers::apply(const NetSettings& settings, const QStringList& receivers)
{
    if (!(settings == m_settings)) {
        m_reported.clear();  // new settings: their problems are news
    }
    QStringList problems;
    if (settings == m_settings && receivers == m_receivers && !m_servers.empty()) {
        // The same servers: those that listen keep their clients; a port
        // that was busy is tried again (and told of only once).
        for (int i = 0; i < count(); ++i) {
            if (!m_servers[static_cast<std::size_t>(i)]) {
                m_servers[static_cast<std::size_t>(i)] = startOne(i, problems);
            }
        }
        return problems;
    }
    stop();
    m_settings = settings;
    if (!settings.on) {
        return problems;
    }
    const QString invalid = netSettingsProblem(settings.address, settings.basePort, settings.idleSeconds);
    if (!invalid.isEmpty()) {
        const QString text = QStringLiteral("The network server is off: %1.").arg(invalid);
        if (m_reported.insert(text).second) {
            problems << text;
        }
        return problems;
    }
    m_receivers = receivers;
    for (int i = 0; i < receivers.size(); ++i) {
        m_servers.push_back(startOne(i, problems));
    }
    return problems;
}

std::unique_ptr<server::RigctlServer> ReceiverServers::startOne(int i, QStringList& problems)
{
    server::ServerLimits limits;
    limits.idleTimeoutMs = m_settings.idleSeconds * 1000;
    const auto port = static_cast<quint16>(m_settings.basePort + i);
    auto srv = std::make_unique<server::RigctlServer>(&m_driver, static_cast<std::int16_t>(i),
                                                      QHostAddress(m_settings.address), port, nullptr, limits);
    QString error;
    if (!srv->start(&error)) {
        const QString text =
            QStringLiteral("Receiver %1 (%2) is not served: %3.").arg(i).arg(m_receivers.value(i), error);
        if (m_reported.insert(text).second) {
            problems << text;
        }
        srv.reset();
    }
    return srv;
}

}  // namespace tessaly
