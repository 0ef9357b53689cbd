// Reading all memory channels of a receiver: RxChnDump asks for them, the
// receiver's RxChnStatus events bring them one by one and a channel -1
// ends the list. A two-second watch ends the wait when the receiver stays
// silent for one whole tick ("Err"). While it waits, pending events run
// (never the operator's input), so the statuses and the ticks arrive.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

#include "interfaces/ireceiverdriver.h"

namespace tessaly {

class ChannelDump : public QObject {
    Q_OBJECT
public:
    explicit ChannelDump(QObject* parent = nullptr);

    // Starts the dump and waits for its end. False when the driver refused
    // it or the receiver fell silent; `indicator` then reads "Err".
    bool run(quorvin::IReceiverDriver& driver, std::int16_t index);
    bool dumping() const { return m_dumping; }
    bool failed() const { return m_error; }
    // A channel status arrived (the end marker is channel -1). The text
    // for the channel indicator: "07", "007".
    void status(std::int16_t channel, int channelCount);
    // Stops the watch (the window closes); a wait in progress ends.
    void abandon();
    void setTickInterval(int ms) { m_timer.setInterval(ms); }

signals:
    // What the main window's channel indicator shows; empty hides it.
    void indicator(const QString& text);

private:
    void tick();

    QTimer m_timer;
    bool m_dumping = false;
    bool m_received = false;
    bool m_done = false;
    bool m_error = false;
    QEventLoop* m_loop = nullptr;
};

}  // namespace tessaly
