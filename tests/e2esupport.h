// Shared pieces of the end-to-end model tests: a settings store and trace
// directory of their own, the driver object loaded from libquorvin.so, an
// event sink that keeps every event, a simulator line served in its own
// thread on a pty or a TCP port, and a wait that drives the Qt event loop
// until a condition holds or a deadline passes.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/core/timerregistry.h"
#include "interfaces/ireceiverdriver.h"
#include "platform/clock.h"
#include "simserver.h"

namespace quorvin {
class Receiver;
}

namespace quorvin::e2e {

// One event as the client saw it: its name and its arguments.
struct Event {
    std::string name;
    std::vector<std::int64_t> args;
    std::string text;
};

class EventLog : public IReceiverDriverEvents {
public:
    std::vector<Event> events;
    std::function<void(const Event&)> onEvent;

    int count(const std::string& name) const;
    // The events of a name, in order.
    std::vector<Event> all(const std::string& name) const;
    const Event* last(const std::string& name) const;
    // True once an event of this name with these leading arguments (after
    // the index) arrived.
    bool has(const std::string& name, std::vector<std::int64_t> args) const;
    // True once a connection state other than ConnectNoError was reported.
    bool connectionLost() const;
    void clear() { events.clear(); }

    HRESULT DrvUpdated(std::int32_t c) override;
    HRESULT RxConnState(std::int16_t i, ConnErr e) override;
    HRESULT RxDataError(std::int16_t i, DataErr e) override;
    HRESULT RxFrqUpdated(std::int16_t i, std::int32_t f, std::int32_t d) override;
    HRESULT RxChnUpdated(std::int16_t i, std::int16_t c) override;
    HRESULT RxModUpdated(std::int16_t i, MODTYPE m, std::int32_t b) override;
    HRESULT RxFltUpdated(std::int16_t i, std::int32_t f) override;
    HRESULT RxAgcUpdated(std::int16_t i, AGCTYPE a, std::int16_t l) override;
    HRESULT RxNBlUpdated(std::int16_t i, NBLTYPE v, std::int16_t l) override;
    HRESULT RxAttUpdated(std::int16_t i, ATTSTATE v, std::int16_t l) override;
    HRESULT RxSqlUpdated(std::int16_t i, SQLSTATE v, std::int16_t l) override;
    HRESULT RxSMtUpdated(std::int16_t i, std::int32_t f, std::int16_t l, std::int16_t d, const std::string& s) override;
    HRESULT RxHFFUpdated(std::int16_t i, HFFSTATE s) override;
    HRESULT RxChnStatus(std::int16_t i, std::int16_t c, std::int32_t f, std::int32_t b, std::int32_t m,
                        std::int32_t flt, std::int32_t a, std::int32_t msk) override;
    HRESULT RxOutUpdated(std::int16_t i, std::int16_t num, std::int32_t s) override;
    HRESULT RxStpUpdated(std::int16_t i, std::int32_t s) override;
    HRESULT RxRmtState(std::int16_t i, std::int32_t s) override;

private:
    HRESULT note(std::string name, std::vector<std::int64_t> args, std::string text = {});
};

// Makes the socket link's 10 ms wait steps take 1 ms, so a connect
// dialogue over TCP with its long step counts stays quick; longer sleeps
// (the drivers' read delays) are slept whole, and the receivers' answers
// arrive in real time from the simulator's thread.
//
// It also adds up the milliseconds the waits asked for: how long the driver
// would have held the event loop on a real line, counted in steps rather
// than measured on a clock.
class QuickSleeper : public platform::Sleeper {
public:
    void sleepMs(int ms) override;
    long long waitedMs() const { return m_waited.load(); }
    void resetWaited() { m_waited = 0; }

private:
    std::atomic<long long> m_waited{0};
};

// The pauses the receivers need between commands take 1 ms: the simulators
// do not need them, and a test then spends its time on the exchange itself.
class QuickPauses : public platform::Sleeper {
public:
    void sleepMs(int ms) override;
};

enum class Transport { Pty, Tcp };
std::string transportName(Transport t);

// Drives the Qt event loop until pred() holds or timeoutMs passed.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 8000);
// Drives the event loop for a while (lets polls run); not an assertion.
void pump(int ms);

class ModelFixture : public ::testing::TestWithParam<Transport> {
protected:
    ModelFixture();
    ~ModelFixture() override;

    // Serves the LINE on the transport of the test parameter.
    void startSim(const std::string& line, const sim::ModelOptions& options = {});
    // Stores the instance "Rx" of configuration "E2E" for the model, its
    // link pointed at the simulator, and loads the configuration.
    void configure(DrvType type, int dbg, int wait = 150, int retries = 10);
    ConnErr connect();
    ConnErr disconnect();
    Receiver& receiver();
    // Poll ticks come from the test (tickUntil) instead of the event loop's
    // timers, for tests that count ticks (silences, retries): call before
    // connect().
    void useManualTicks();
    // Fires poll ticks one at a time, letting the line settle after each
    // (the receiver's answer, if any, is handled before the next tick),
    // until pred() holds. False after maxTicks ticks or timeoutMs.
    bool tickUntil(const std::function<bool()>& pred, int maxTicks = 200, int timeoutMs = 30000);
    // Fires exactly n poll ticks the same way: the polls a pause of n poll
    // periods would have seen.
    void tickTimes(int n);
    // Fires n poll ticks back to back, before any answer is handled: the
    // later polls' replies cross whatever the driver sends on the first.
    void tickTogether(int n);
    int ticksFired() const { return m_ticksFired; }
    // The receivers' pauses at their full length, for a test whose counts
    // depend on what happens during them.
    void keepPauses();
    std::string traceFile(const std::string& name) const;
    // Simulator trace lines so far.
    std::vector<std::string> simTrace();
    template <class Model, class F>
    auto withSim(F&& f)
    {
        return m_sim->withLine([&](sim::SimLine& line) { return f(*line.template as<Model>()); });
    }

    std::string m_dir;
    QuickSleeper m_sleeper;
    platform::Sleeper* m_oldSleeper = nullptr;
    QuickPauses m_pauses;
    platform::Sleeper* m_oldPauses = nullptr;
    std::string m_oldTraceDir;
    bool m_hadTraceDir = false;
    std::unique_ptr<sim::SimServer> m_sim;
    std::unique_ptr<ManualTicksGuard> m_ticks;
    int m_ticksFired = 0;
    std::unique_ptr<IReceiverDriver> m_drv;
    EventLog m_log;
    std::uint32_t m_cookie = 0;
    std::mutex m_traceMutex;
    std::vector<std::string> m_simTrace;
};

}  // namespace quorvin::e2e
