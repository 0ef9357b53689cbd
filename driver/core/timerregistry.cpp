// Poll timers on QObject timers: one hidden QObject owns every timer and
// hands each tick to the shared dispatch.
#include "timerregistry.h"

#include <QObject>
#include <QTimerEvent>

#include <algorithm>

#include "driver/core/activity.h"
#include "platform/clock.h"

namespace quorvin {

class TimerRegistry::Host : public QObject {
public:
    explicit Host(TimerRegistry* registry) : m_registry(registry) {}

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

std::uint32_t TimerRegistry::start(TimerTarget* target, int periodMs)
{
    if (target == nullptr) {
        return 0;
    }
    const int id = m_host->startTimer(std::max(1, periodMs), Qt::PreciseTimer);
    if (id <= 0) {
        return 0;
    }
    m_entries.emplace_back(static_cast<std::uint32_t>(id), target);
    return static_cast<std::uint32_t>(id);
}

void TimerRegistry::stop(std::uint32_t timerId)
{
    if (timerId == 0) {
        return;
    }
    m_host->killTimer(static_cast<int>(timerId));
    std::erase_if(m_entries, [timerId](const auto& entry) { return entry.first == timerId; });
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
        m_host->killTimer(static_cast<int>(timerId));
        return;
    }
    ActivityScope scope;
    target->OnTimer(platform::clock().millis());
}

}  // namespace quorvin
