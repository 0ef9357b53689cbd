// Queued, coalesced delivery of link notifications.
#include "notifygate.h"

#include <QMetaObject>
#include <QObject>

namespace quorvin {

NotifyGate::NotifyGate(std::function<void()> deliver)
    : m_deliver(std::move(deliver)), m_context(std::make_unique<QObject>())
{
}

// Destroying the context object drops a delivery still queued for it.
NotifyGate::~NotifyGate() = default;

void NotifyGate::post()
{
    if (m_posted) {
        return;
    }
    m_posted = true;
    QMetaObject::invokeMethod(
        m_context.get(), [this] { run(); }, Qt::QueuedConnection);
}

void NotifyGate::run()
{
    m_posted = false;
    if (m_holds > 0) {
        m_deferred = true;
        return;
    }
    // The owner may do anything in its handler, including destroying the
    // link: nothing of this object is touched after the call.
    m_deliver();
}

void NotifyGate::release()
{
    if (--m_holds == 0 && m_deferred) {
        m_deferred = false;
        post();
    }
}

}  // namespace quorvin
