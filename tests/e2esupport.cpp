// End-to-end test support: store, driver, event log, simulator, waits.
#include "e2esupport.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "driver/core/configstore.h"
#include "driver/core/drivermanager.h"
#include "driver/core/receiver.h"
#include "driver/core/receiverdriver.h"
#include "driver/links/serialports.h"
#include "interfaces/component.h"
#include "platform/componentloader.h"
#include "platform/settingsstore.h"
#include "platform/wait.h"

namespace quorvin::e2e {

// ---- Event log ----------------------------------------------------------------------

HRESULT EventLog::note(std::string name, std::vector<std::int64_t> args, std::string text)
{
    events.push_back(Event{std::move(name), std::move(args), std::move(text)});
    if (onEvent) {
        onEvent(events.back());
    }
    return S_OK;
}

int EventLog::count(const std::string& name) const
{
    int n = 0;
    for (const auto& e : events) {
        n += e.name == name ? 1 : 0;
    }
    return n;
}

std::vector<Event> EventLog::all(const std::string& name) const
{
    std::vector<Event> out;
    for (const auto& e : events) {
        if (e.name == name) {
            out.push_back(e);
        }
    }
    return out;
}

const Event* EventLog::last(const std::string& name) const
{
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        if (it->name == name) {
            return &*it;
        }
    }
    return nullptr;
}

bool EventLog::connectionLost() const
{
    for (const auto& e : all("ConnState")) {
        if (e.args.size() > 1 && e.args[1] != ConnectNoError) {
            return true;
        }
    }
    return false;
}

bool EventLog::has(const std::string& name, std::vector<std::int64_t> args) const
{
    for (const auto& e : events) {
        if (e.name != name || e.args.size() < args.size() + 1) {
            continue;
        }
        if (std::equal(args.begin(), args.end(), e.args.begin() + 1)) {
            return true;
        }
    }
    return false;
}

HRESULT EventLog::DrvUpdated(std::int32_t c)
{
    return note("DrvUpdated", {c});
}
HRESULT EventLog::RxConnState(std::int16_t i, ConnErr e)
{
    return note("ConnState", {i, e});
}
HRESULT EventLog::RxDataError(std::int16_t i, DataErr e)
{
    return note("DataError", {i, e});
}
HRESULT EventLog::RxFrqUpdated(std::int16_t i, std::int32_t f, std::int32_t d)
{
    return note("Frq", {i, f, d});
}
HRESULT EventLog::RxChnUpdated(std::int16_t i, std::int16_t c)
{
    return note("Chn", {i, c});
}
HRESULT EventLog::RxModUpdated(std::int16_t i, MODTYPE m, std::int32_t b)
{
    return note("Mod", {i, m, b});
}
HRESULT EventLog::RxFltUpdated(std::int16_t i, std::int32_t f)
{
    return note("Flt", {i, f});
}
HRESULT EventLog::RxAgcUpdated(std::int16_t i, AGCTYPE a, std::int16_t l)
{
    return note("Agc", {i, a, l});
}
HRESULT EventLog::RxNBlUpdated(std::int16_t i, NBLTYPE v, std::int16_t l)
{
    return note("NBl", {i, v, l});
}
HRESULT EventLog::RxAttUpdated(std::int16_t i, ATTSTATE v, std::int16_t l)
{
    return note("Att", {i, v, l});
}
HRESULT EventLog::RxSqlUpdated(std::int16_t i, SQLSTATE v, std::int16_t l)
{
    return note("Sql", {i, v, l});
}
HRESULT EventLog::RxSMtUpdated(std::int16_t i, std::int32_t f, std::int16_t l, std::int16_t d, const std::string& s)
{
    return note("SMt", {i, f, l, d}, s);
}
HRESULT EventLog::RxHFFUpdated(std::int16_t i, HFFSTATE s)
{
    return note("HFF", {i, s});
}
HRESULT EventLog::RxChnStatus(std::int16_t i, std::int16_t c, std::int32_t f, std::int32_t b, std::int32_t m,
                              std::int32_t flt, std::int32_t a, std::int32_t msk)
{
    return note("ChnStatus", {i, c, f, b, m, flt, a, msk});
}
HRESULT EventLog::RxOutUpdated(std::int16_t i, std::int16_t num, std::int32_t s)
{
    return note("Out", {i, num, s});
}
HRESULT EventLog::RxStpUpdated(std::int16_t i, std::int32_t s)
{
    return note("Stp", {i, s});
}
HRESULT EventLog::RxRmtState(std::int16_t i, std::int32_t s)
{
    return note("Rmt", {i, s});
}

// ---- Time ---------------------------------------------------------------------------------

void QuickSleeper::sleepMs(int ms)
{
    if (ms <= 0) {
        return;
    }
    m_waited += ms;
    // The socket link waits in 10 ms steps (a 40 ms read is 90 of them):
    // those take 1 ms. Longer waits are the drivers' own read delays and
    // stay whole, so a loaded machine still answers within them.
    const int real = ms <= 10 ? 1 : ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(real));
}

void QuickPauses::sleepMs(int ms)
{
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string transportName(Transport t)
{
    return t == Transport::Pty ? "Pty" : "Tcp";
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

void pump(int ms)
{
    waitUntil([] { return false; }, ms);
}

// ---- Fixture --------------------------------------------------------------------------------

ModelFixture::ModelFixture()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-e2e-XXXXXX").string();
    m_dir = mkdtemp(pattern.data());
    platform::SettingsStore::resetShared(m_dir + "/settings.db");
    if (const char* old = std::getenv("KORVANE_TRACE_DIR")) {
        m_oldTraceDir = old;
        m_hadTraceDir = true;
    }
    // Each test its own trace directory, so the lines it checks are its own.
    setenv("KORVANE_TRACE_DIR", (m_dir + "/traces").c_str(), 1);
    m_oldSleeper = platform::setSleeper(&m_sleeper);
    m_oldPauses = platform::setPauseSleeper(&m_pauses);
    auto loaded = platform::loadComponent(kQuorvinLibraryFile, kReceiverDriverClassId);
    EXPECT_TRUE(loaded.error.empty()) << loaded.error;
    m_drv.reset(static_cast<IReceiverDriver*>(loaded.object));
    if (m_drv) {
        m_drv->Advise(&m_log, &m_cookie);
    }
}

ModelFixture::~ModelFixture()
{
    if (m_drv) {
        m_drv->Unadvise(m_cookie);
        m_drv.reset();
    }
    QCoreApplication::processEvents();
    m_sim.reset();
    platform::setPauseSleeper(m_oldPauses);
    platform::setSleeper(m_oldSleeper);
    if (m_hadTraceDir) {
        setenv("KORVANE_TRACE_DIR", m_oldTraceDir.c_str(), 1);
    } else {
        unsetenv("KORVANE_TRACE_DIR");
    }
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void ModelFixture::startSim(const std::string& line, const sim::ModelOptions& options)
{
    std::string error;
    m_sim = sim::SimServer::create(line, GetParam() == Transport::Pty ? sim::SimServer::Pty : sim::SimServer::Tcp, 0,
                                   &error, options);
    ASSERT_NE(m_sim, nullptr) << error;
    m_sim->setTrace([this](const std::string& text) {
        std::lock_guard<std::mutex> lock(m_traceMutex);
        m_simTrace.push_back(text);
    });
}

std::vector<std::string> ModelFixture::simTrace()
{
    std::lock_guard<std::mutex> lock(m_traceMutex);
    return m_simTrace;
}

void ModelFixture::configure(DrvType type, int dbg, int wait, int retries)
{
    ASSERT_NE(m_drv, nullptr);
    ASSERT_NE(m_sim, nullptr);
    auto& store = platform::SettingsStore::shared();
    const std::string key = instanceKey("E2E", "Rx");
    store.writeNumber(key, "D_Type", type);
    store.writeNumber(key, "C_Dbg", dbg);
    store.writeNumber(key, "C_Wait", wait);
    store.writeNumber(key, "C_Retr", retries);
    if (GetParam() == Transport::Pty) {
        store.writeText(kPortsKey, "3", m_sim->devicePath());
        store.writeNumber(key, "C_Type", 0);
        store.writeNumber(key, "S_Port", 3);
        store.writeNumber(key, "S_TestLink", 0);
    } else {
        store.writeNumber(key, "C_Type", 1);
        store.writeText(key, "T_Addr", "127.0.0.1");
        store.writeNumber(key, "T_Port", m_sim->port());
        store.writeNumber(key, "T_TestLink", 0);
        store.writeNumber(key, "T_Delay", 0);
    }
    std::int32_t result = 0;
    ASSERT_EQ(m_drv->DrvConfigure("E2E", ConfLoad, &result), S_OK);
    ASSERT_EQ(result, 1);
}

ConnErr ModelFixture::connect()
{
    ConnErr result = ConnectObjectError;
    EXPECT_EQ(m_drv->RxConnect(0, 1, &result), S_OK);
    return result;
}

void ModelFixture::useManualTicks()
{
    m_ticks = std::make_unique<ManualTicksGuard>();
}

bool ModelFixture::tickUntil(const std::function<bool()>& pred, int maxTicks, int timeoutMs)
{
    if (!m_ticks || !m_sim) {
        ADD_FAILURE() << "tickUntil needs useManualTicks() and a simulator";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto lineBytes = [this] { return m_sim->bytesReceived() + m_sim->bytesSent(); };
    for (int fired = 0;; ++fired) {
        if (pred()) {
            return true;
        }
        if (fired >= maxTicks || std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        const auto* instance = static_cast<ReceiverDriver*>(m_drv.get())->Manager().Instance(0);
        const auto commandsBefore = instance != nullptr ? instance->receiver->CommandsSent() : 0;
        const auto receivedBefore = m_sim->bytesReceived();
        m_ticks->ticks.fireNext();
        ++m_ticksFired;
        // A tick that wrote to the receiver: first the simulator's thread
        // reads it (however long a busy machine keeps that thread waiting),
        // so a late answer never passes for a silent tick.
        instance = static_cast<ReceiverDriver*>(m_drv.get())->Manager().Instance(0);
        if (instance != nullptr && instance->receiver->CommandsSent() != commandsBefore) {
            const auto readBound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (m_sim->bytesReceived() == receivedBefore && std::chrono::steady_clock::now() < readBound) {
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                QThread::msleep(1);
            }
        }
        // Settled: nothing moved on the line for 20 ms (a generous bound
        // for the simulator's thread to answer once it has the request).
        auto last = lineBytes();
        auto quietSince = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - quietSince < std::chrono::milliseconds(20)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QThread::msleep(1);
            const auto now = lineBytes();
            if (now != last) {
                last = now;
                quietSince = std::chrono::steady_clock::now();
            }
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void ModelFixture::tickTimes(int n)
{
    const int before = m_ticksFired;
    tickUntil([&] { return m_ticksFired - before >= n; }, n);
}

void ModelFixture::tickTogether(int n)
{
    if (!m_ticks) {
        ADD_FAILURE() << "tickTogether needs useManualTicks()";
        return;
    }
    for (int i = 0; i < n; ++i) {
        m_ticks->ticks.fireNext();
        ++m_ticksFired;
    }
}

void ModelFixture::keepPauses()
{
    platform::setPauseSleeper(m_oldPauses);
}

ConnErr ModelFixture::disconnect()
{
    ConnErr result = ConnectObjectError;
    EXPECT_EQ(m_drv->RxConnect(0, 0, &result), S_OK);
    return result;
}

Receiver& ModelFixture::receiver()
{
    auto* inst = static_cast<ReceiverDriver*>(m_drv.get())->Manager().Instance(0);
    return *inst->receiver;
}

std::string ModelFixture::traceFile(const std::string& name) const
{
    return m_dir + "/traces/" + name;
}

}  // namespace quorvin::e2e
