// Reading all memory channels of a receiver.
#include "channeldump.h"

#include "displayrules.h"

namespace tessaly {

using namespace quorvin;

ChannelDump::ChannelDump(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(2000);
    connect(&m_timer, &QTimer::timeout, this, &ChannelDump::tick);
}

bool ChannelDump::run(IReceiverDriver& driver, std::int16_t index)
{
    if (m_dumping) {
        return false;  // one dump at a time
    }
    m_timer.start();
    m_dumping = true;
    m_done = false;
    m_error = false;
    m_received = false;
    RCODE result = R_KO;
    driver.RxChnDump(index, &result);
    if (result != R_OK && result != R_WAIT) {
        m_dumping = false;
        m_error = true;
        m_timer.stop();
        emit indicator(QStringLiteral("Err"));
        return false;
    }
    // The statuses may all have come inside the call.
    if (!m_done) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_loop = nullptr;
    }
    m_dumping = false;
    return !m_error;
}

void ChannelDump::status(std::int16_t channel, int channelCount)
{
    m_received = true;
    if (channel == -1) {
        m_done = true;
        if (m_loop != nullptr) {
            m_loop->quit();
        }
        return;
    }
    emit indicator(channelText(channel, channelCount));
}

void ChannelDump::abandon()
{
    m_timer.stop();
    if (m_dumping) {
        m_done = true;
        m_error = true;
    }
    if (m_loop != nullptr) {
        m_loop->quit();
    }
    emit indicator(QString());
}

void ChannelDump::tick()
{
    if (m_done) {
        emit indicator(QString());
        m_timer.stop();
    }
    if (m_dumping && !m_received) {
        // Silent for a whole tick: the list will not end by itself.
        emit indicator(QStringLiteral("Err"));
        m_done = true;
        m_error = true;
        if (m_loop != nullptr) {
            m_loop->quit();
        }
    }
    m_received = false;
}

}  // namespace tessaly
