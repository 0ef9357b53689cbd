// Digit links over local sockets.
#include "digitlinks.h"

#include <QLocalSocket>

#include "displayrules.h"
#include "platform/numbers.h"

namespace tessaly {

DigitAction feedDigitText(QString& buffer, const QString& text)
{
    DigitAction action;
    if (text.isEmpty()) {
        return action;
    }
    const QChar digit = text.at(0);
    const int bar = static_cast<int>(text.indexOf(QLatin1Char('|')));
    std::int64_t sequence = 0;
    if (bar >= 0) {
        sequence = platform::parseInt(text.mid(bar + 1).toStdString()).value_or(0);
    }
    if (bar < 0 || sequence == 0 || sequence > 8000) {
        buffer.clear();
    }
    if (digit == QLatin1Char('#')) {
        if (buffer.isEmpty()) {
            action.kind = DigitAction::Up100;
        } else if (const auto khz = parseKhz(buffer)) {
            action.kind = DigitAction::Tune;
            action.hz = *khz * 1000;
        }
        buffer.clear();
    } else if (digit == QLatin1Char('*')) {
        if (buffer.isEmpty()) {
            action.kind = DigitAction::Down100;
        } else if (!buffer.contains(QLatin1Char('.'))) {
            buffer.append(QLatin1Char('.'));
        }
    } else {
        buffer.append(digit);
    }
    return action;
}

DigitLinks::DigitLinks(QObject* parent) : QObject(parent) {}

DigitLinks::~DigitLinks()
{
    close();
}

QString DigitLinks::serverName(const QString& baseName, const QString& receiverName)
{
    return baseName + QLatin1Char('_') + receiverName;
}

void DigitLinks::open(const QString& baseName, const QStringList& receiverNames)
{
    if (m_links.size() != static_cast<std::size_t>(receiverNames.size())) {
        close();
        m_links.resize(static_cast<std::size_t>(receiverNames.size()));
    }
    for (int i = 0; i < receiverNames.size(); ++i) {
        Link& link = m_links[static_cast<std::size_t>(i)];
        const QString name = serverName(baseName, receiverNames.at(i));
        if (link.socket == nullptr) {
            link.socket = new QLocalSocket(this);
            connect(link.socket, &QLocalSocket::readyRead, this, [this, i] { readLink(i); });
            connect(link.socket, &QLocalSocket::stateChanged, this, [this] { emit stateChanged(); });
        }
        if (link.socket->state() == QLocalSocket::UnconnectedState || link.name != name) {
            link.socket->abort();
            link.pending.clear();
            link.name = name;
            link.socket->connectToServer(name);
        }
    }
}

void DigitLinks::close()
{
    for (Link& link : m_links) {
        if (link.socket != nullptr) {
            link.socket->disconnect(this);
            link.socket->abort();
            link.socket->deleteLater();
        }
    }
    m_links.clear();
    emit stateChanged();
}

bool DigitLinks::isConnected(int receiver) const
{
    if (receiver < 0 || receiver >= static_cast<int>(m_links.size())) {
        return false;
    }
    const auto* socket = m_links[static_cast<std::size_t>(receiver)].socket;
    return socket != nullptr && socket->state() == QLocalSocket::ConnectedState;
}

void DigitLinks::readLink(int receiver)
{
    if (receiver < 0 || receiver >= static_cast<int>(m_links.size())) {
        return;
    }
    {
        Link& link = m_links[static_cast<std::size_t>(receiver)];
        link.pending += link.socket->readAll();
        // A decoder gone wild must not fill the memory: a line is short.
        if (link.pending.size() > 4096 && !link.pending.contains('\n')) {
            link.pending.clear();
        }
    }
    // A handler may close or reopen the links: look the link up each time.
    while (receiver < static_cast<int>(m_links.size())) {
        Link& link = m_links[static_cast<std::size_t>(receiver)];
        const qsizetype eol = link.pending.indexOf('\n');
        if (eol < 0) {
            return;
        }
        QByteArray line = link.pending.left(eol);
        link.pending.remove(0, eol + 1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (!line.isEmpty()) {
            emit textReceived(receiver, QString::fromLatin1(line));
        }
    }
}

}  // namespace tessaly
