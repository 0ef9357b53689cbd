// The digit links: for each receiver a local socket to an outside tone
// decoder, named by base name "_" receiver name. The decoder sends texts
// "digit|sequence", one to a line: digits build a kilohertz number, "*" is
// the decimal point (or, alone, 100 Hz down), "#" tunes to the number (or,
// alone, 100 Hz up). A sequence number of 0, none, or above 8000 starts a
// new number.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

class QLocalSocket;

namespace tessaly {

struct DigitAction {
    enum Kind { None, Tune, Up100, Down100 };
    Kind kind = None;
    double hz = 0;  // Tune: the frequency asked (not yet range-checked)
};

// Applies one text to a receiver's digit buffer.
DigitAction feedDigitText(QString& buffer, const QString& text);

class DigitLinks : public QObject {
    Q_OBJECT
public:
    explicit DigitLinks(QObject* parent = nullptr);
    ~DigitLinks() override;

    // Connects every receiver's link that is not connected yet (again).
    void open(const QString& baseName, const QStringList& receiverNames);
    void close();
    bool isOpen() const { return !m_links.empty(); }
    bool isConnected(int receiver) const;
    static QString serverName(const QString& baseName, const QString& receiverName);

signals:
    void textReceived(int receiver, const QString& text);
    void stateChanged();

private:
    struct Link {
        QLocalSocket* socket = nullptr;
        QString name;
        QByteArray pending;
    };
    void readLink(int receiver);
    std::vector<Link> m_links;
};

}  // namespace tessaly
