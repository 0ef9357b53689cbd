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

// Where the ticks come from: the event loop's timers in production. Tests
// that count ticks (silences, time-outs, retries) install a ManualTicks and
// fire the ticks themselves instead of waiting for real periods.
class TickSource {
public:
    virtual ~TickSource() = default;
    // A timer of the given period (at least 1 ms); its ticks go to
    // TimerRegistry::dispatch with the id. Returns the id, 0 on failure.
    virtual std::uint32_t startTicks(int periodMs) = 0;
    virtual void stopTicks(std::uint32_t timerId) = 0;
};

class TimerRegistry {
public:
    static TimerRegistry& instance();

    // Installs a tick source (nullptr: the event loop's again) and returns
    // the one it replaces. Timers already running stay with the source that
    // made them; install the replacement before the receivers connect.
    TickSource* setTickSource(TickSource* source);
    // A source going away: its timers stay registered but tick no more, and
    // stopping them asks nothing of it.
    void sourceGone(TickSource* source);

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
    TickSource& source() const;
    void stopAtOrigin(std::uint32_t timerId);
    class Host;
    Host* m_host;
    TickSource* m_source = nullptr;
    // The source each running timer came from, so it is stopped there.
    std::vector<std::pair<std::uint32_t, TickSource*>> m_origins;
    std::vector<std::pair<std::uint32_t, TimerTarget*>> m_entries;
    // Timers whose tick came inside a receiver's wait and is still to run.
    std::vector<std::uint32_t> m_owed;
};

// Ticks fired by hand, on a virtual millisecond count: advance(ms) fires
// every tick due within those milliseconds, in time order, through the
// registry, as the event loop would have. Ids start high so they never
// meet the event loop's.
class ManualTicks : public TickSource {
public:
    ManualTicks() = default;
    ~ManualTicks() override;
    ManualTicks(const ManualTicks&) = delete;
    ManualTicks& operator=(const ManualTicks&) = delete;
    std::uint32_t startTicks(int periodMs) override;
    void stopTicks(std::uint32_t timerId) override;

    // Fires the ticks due up to now + ms and moves now there.
    void advance(std::uint32_t ms);
    // Fires the next due tick at once (now moves to it); false when no
    // timer runs.
    bool fireNext();
    std::uint64_t now() const { return m_now; }
    std::size_t running() const { return m_timers.size(); }

private:
    struct Timer {
        std::uint32_t id;
        std::uint32_t period;
        std::uint64_t due;
    };
    Timer* nextDue();
    std::vector<Timer> m_timers;
    std::uint64_t m_now = 0;
    std::uint32_t m_nextId = 0x40000000;
};

// Installs a ManualTicks for the life of the guard.
class ManualTicksGuard {
public:
    ManualTicksGuard() : m_old(TimerRegistry::instance().setTickSource(&ticks)) {}
    ~ManualTicksGuard() { TimerRegistry::instance().setTickSource(m_old); }
    ManualTicksGuard(const ManualTicksGuard&) = delete;
    ManualTicksGuard& operator=(const ManualTicksGuard&) = delete;
    ManualTicks ticks;

private:
    TickSource* m_old;
};

}  // namespace quorvin
