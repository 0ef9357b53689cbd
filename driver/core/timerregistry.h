// The poll timers of every receiver in the process: one registry that maps
// timer ids to their targets, and one shared callback that turns a timer
// tick into the target's OnTimer. Timers run on the thread that created the
// registry (the GUI thread), through its event loop.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace quorvin {

// Anything a poll timer can reach.
class TimerTarget {
public:
    virtual ~TimerTarget() = default;
    // One tick; tickTime is the millisecond clock at the tick.
    virtual std::int32_t OnTimer(std::uint32_t tickTime) = 0;
};

class TimerRegistry {
public:
    static TimerRegistry& instance();

    // Creates a timer with the given period for the target; returns its id,
    // 0 when no timer could be created (then nothing is registered).
    std::uint32_t start(TimerTarget* target, int periodMs);
    // Kills the timer and removes it from the registry.
    void stop(std::uint32_t timerId);

    // The shared callback: the target registered for the id gets its tick;
    // a timer nobody owns any more is killed.
    void dispatch(std::uint32_t timerId);

    std::size_t count() const { return m_entries.size(); }
    TimerTarget* targetOf(std::uint32_t timerId) const;

private:
    TimerRegistry();
    class Host;
    Host* m_host;
    std::vector<std::pair<std::uint32_t, TimerTarget*>> m_entries;
};

}  // namespace quorvin
