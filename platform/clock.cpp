// System clock and sleeper behind the injectable time seam.
#include "clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {

class SystemTime : public Clock, public Sleeper {
public:
    std::uint32_t millis() override
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void sleepMs(int ms) override
    {
        if (ms > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    }
};

SystemTime& systemTime()
{
    static SystemTime instance;
    return instance;
}

Clock* g_clock = nullptr;
Sleeper* g_sleeper = nullptr;

}  // namespace

Clock& clock()
{
    return g_clock ? *g_clock : systemTime();
}

Sleeper& sleeper()
{
    return g_sleeper ? *g_sleeper : systemTime();
}

Clock* setClock(Clock* replacement)
{
    Clock* old = g_clock ? g_clock : &systemTime();
    g_clock = replacement;
    return old;
}

Sleeper* setSleeper(Sleeper* replacement)
{
    Sleeper* old = g_sleeper ? g_sleeper : &systemTime();
    g_sleeper = replacement;
    return old;
}

}  // namespace platform
