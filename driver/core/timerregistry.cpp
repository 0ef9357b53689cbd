// Poll timers on QObject timers: one hidden QObject owns every timer and
// hands each tick to the shared dispatch.
#include "timerregistry.h"

#include <QMetaObject>
#include <QObject>
#include <QTimerEvent>

#include <algorithm>

#include "driver/core/activity.h"
#include "platform/clock.h"
#include "platform/wait.h"

namespace quorvin {

class TimerRegistry::Host : public QObject, public TickSource {
public:
    explicit Host(TimerRegistry* registry) : m_registry(registry) {}

    std::uint32_t startTicks(int periodMs) override
    {
        const int id = startTimer(std::max(1, periodMs), Qt::PreciseTimer);
        return id > 0 ? static_cast<std::uint32_t>(id) : 0;
    }
    void stopTicks(std::uint32_t timerId) override { killTimer(static_cast<int>(timerId)); }

protected:
    void timerEvent(QTimerEvent* event) override { m_registry->dispatch(static_cast<std::uint32_t>(event->timerId())); }

private:
    TimerRegistry* m_registry;
};

TimerRegistry::TimerRegistry() : m_host(new Host(this)) {}

TimerRegistry& TimerRegistry::instance()
{
    // Lives for the whole process: timers of receivers destroyed late at
    // exit must still find their registry.
    static TimerRegistry* registry = new TimerRegistry();
    return *registry;
}

TickSource& TimerRegistry::source() const
{
    return m_source != nullptr ? *m_source : static_cast<TickSource&>(*m_host);
}

TickSource* TimerRegistry::setTickSource(TickSource* source)
{
    TickSource* old = m_source;
    m_source = source;
    return old;
}

void TimerRegistry::sourceGone(TickSource* source)
{
    if (m_source == source) {
        m_source = nullptr;
    }
    for (auto& entry : m_origins) {
        if (entry.second == source) {
            entry.second = nullptr;
        }
    }
}

std::uint32_t TimerRegistry::start(TimerTarget* target, int periodMs)
{
    if (target == nullptr) {
        return 0;
    }
    TickSource& from = source();
    const std::uint32_t id = from.startTicks(std::max(1, periodMs));
    if (id == 0) {
        return 0;
    }
    m_entries.emplace_back(id, target);
    m_origins.emplace_back(id, &from);
    return id;
}

void TimerRegistry::stop(std::uint32_t timerId)
{
    if (timerId == 0) {
        return;
    }
    stopAtOrigin(timerId);
    std::erase_if(m_entries, [timerId](const auto& entry) { return entry.first == timerId; });
}

void TimerRegistry::stopAtOrigin(std::uint32_t timerId)
{
    // A timer the registry never started came from the event loop.
    TickSource* from = m_host;
    for (const auto& [id, origin] : m_origins) {
        if (id == timerId) {
            from = origin;
        }
    }
    std::erase_if(m_origins, [timerId](const auto& entry) { return entry.first == timerId; });
    if (from != nullptr) {
        from->stopTicks(timerId);
    }
}

TimerTarget* TimerRegistry::targetOf(std::uint32_t timerId) const
{
    for (const auto& [id, target] : m_entries) {
        if (id == timerId) {
            return target;
        }
    }
    return nullptr;
}

void TimerRegistry::dispatch(std::uint32_t timerId)
{
    TimerTarget* target = targetOf(timerId);
    if (target == nullptr) {
        stopAtOrigin(timerId);
        return;
    }
    // A tick that comes due while a receiver waits for its own reply (the
    // wait delivers link notifications) is held until the driver code that
    // waits has returned: its poll would wait in turn inside that wait, and
    // nested waits hold every receiver and the client for as long as all of
    // them together. A timer owes at most one such tick.
    if (platform::pumpingDepth() > 0) {
        if (std::find(m_owed.begin(), m_owed.end(), timerId) == m_owed.end()) {
            m_owed.push_back(timerId);
            // Run from the event loop once no driver code is on the stack:
            // a held tick that waits in turn holds others, which must not
            // pile up in front of the client for ever.
            ActivityScope::whenIdle([this, timerId] {
                QMetaObject::invokeMethod(
                    m_host,
                    [this, timerId] {
                        std::erase(m_owed, timerId);
                        if (targetOf(timerId) != nullptr) {
                            dispatch(timerId);
                        }
                    },
                    Qt::QueuedConnection);
            });
        }
        return;
    }
    ActivityScope scope;
    target->OnTimer(platform::clock().millis());
}

// ---- ManualTicks -------------------------------------------------------------

ManualTicks::~ManualTicks()
{
    TimerRegistry::instance().sourceGone(this);
}

std::uint32_t ManualTicks::startTicks(int periodMs)
{
    const auto period = static_cast<std::uint32_t>(std::max(1, periodMs));
    const std::uint32_t id = m_nextId++;
    m_timers.push_back({id, period, m_now + period});
    return id;
}

void ManualTicks::stopTicks(std::uint32_t timerId)
{
    std::erase_if(m_timers, [timerId](const Timer& t) { return t.id == timerId; });
}

ManualTicks::Timer* ManualTicks::nextDue()
{
    Timer* next = nullptr;
    for (Timer& t : m_timers) {
        if (next == nullptr || t.due < next->due) {
            next = &t;
        }
    }
    return next;
}

bool ManualTicks::fireNext()
{
    Timer* next = nextDue();
    if (next == nullptr) {
        return false;
    }
    const std::uint32_t id = next->id;
    m_now = std::max(m_now, next->due);
    next->due += next->period;
    // The tick may start and stop timers (this one too): nothing of the
    // list is held across it.
    TimerRegistry::instance().dispatch(id);
    return true;
}

void ManualTicks::advance(std::uint32_t ms)
{
    const std::uint64_t end = m_now + ms;
    for (Timer* next = nextDue(); next != nullptr && next->due <= end; next = nextDue()) {
        fireNext();
    }
    m_now = end;
}

}  // namespace quorvin
