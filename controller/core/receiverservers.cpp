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
    if (settings == m_settings && receivers == m_receivers && !m_servers.empty()) {
        return {};
    }
    stop();
    m_settings = settings;
    QStringList problems;
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
    const QHostAddress address(settings.address);
    server::ServerLimits limits;
    limits.idleTimeoutMs = settings.idleSeconds * 1000;
    for (int i = 0; i < receivers.size(); ++i) {
        const auto port = static_cast<quint16>(settings.basePort + i);
        auto srv = std::make_unique<server::RigctlServer>(&m_driver, static_cast<std::int16_t>(i), address, port,
                                                          nullptr, limits);
        QString error;
        if (!srv->start(&error)) {
            const QString text =
                QStringLiteral("Receiver %1 (%2) is not served: %3.").arg(i).arg(receivers.at(i), error);
            if (m_reported.insert(text).second) {
                problems << text;
            }
            srv.reset();
        }
        m_servers.push_back(std::move(srv));
    }
    return problems;
}

}  // namespace tessaly
