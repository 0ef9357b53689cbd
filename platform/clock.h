// The one seam for time: a millisecond clock and a sleeper that production
// takes from the system and tests replace, so step counts, stamps and
// time-outs are checked without waiting in real time.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds, modulo 2^32.
    virtual std::uint32_t millis() = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int ms) = 0;
};

Clock& clock();
Sleeper& sleeper();

// Installs a replacement (nullptr restores the system's); returns the old one.
Clock* setClock(Clock* replacement);
Sleeper* setSleeper(Sleeper* replacement);

// A clock and sleeper for tests: sleeping advances the clock at once and
// counts the calls.
class FakeTime : public Clock, public Sleeper {
public:
    std::uint32_t millis() override { return m_now; }
    void sleepMs(int ms) override
    {
        ++m_sleeps;
        if (ms > 0) {
            m_now += static_cast<std::uint32_t>(ms);
            m_slept += static_cast<std::uint64_t>(ms);
        }
    }
    void advance(std::uint32_t ms) { m_now += ms; }
    std::uint32_t m_now = 0;
    std::uint64_t m_sleeps = 0;
    std::uint64_t m_slept = 0;
};

// Installs a FakeTime for the life of the guard.
class FakeTimeGuard {
public:
    FakeTimeGuard() : m_oldClock(setClock(&time)), m_oldSleeper(setSleeper(&time)) {}
    ~FakeTimeGuard()
    {
        setClock(m_oldClock);
        setSleeper(m_oldSleeper);
    }
    FakeTimeGuard(const FakeTimeGuard&) = delete;
    FakeTimeGuard& operator=(const FakeTimeGuard&) = delete;
    FakeTime time;

private:
    Clock* m_oldClock;
    Sleeper* m_oldSleeper;
};

}  // namespace platform
