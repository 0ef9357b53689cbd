// Speed of the driver against the receiver simulators, as rows of the table
// that bench/run prints:
//   - per model, the connect dialogue and one poll round over a pty and over
//     TCP on 127.0.0.1, beside the wire time of the bytes exchanged at the
//     model's line speed plus the pauses the receiver needs (the part no
//     link can shorten);
//   - per model, formatting a command frame and parsing the replies of one
//     poll round (no link);
//   - eight receivers polling at 150 ms: the driver thread's CPU and the
//     longest stall of its event loop.
//
//   quorvin_bench [--quick] [--self-check]
//
// --quick measures fewer rounds and a shorter idle period; --self-check
// prints the header and ends (the test suite checks that the program starts).
// The simulators run in threads of this process (the serving core rxsim
// uses), so their work is not counted as the driver's CPU. Ticks are fired
// by hand as soon as the line is quiet, so the figures are the driver's and
// the line's, not the poll period's. Settings and traces live in a
// temporary folder that is removed at the end.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTimerEvent>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/core/driverevents.h"
#include "driver/core/receiverdriver.h"
#include "driver/core/timerregistry.h"
#include "driver/models/hf2050/hf2050codec.h"
#include "driver/models/hf2050/hf2050receiver.h"
#include "driver/models/modeltable.h"
#include "driver/models/ndx264/ndx264codec.h"
#include "driver/models/ndx264/ndx264receiver.h"
#include "driver/models/nrd535/nrd535codec.h"
#include "driver/models/nrd535/nrd535receiver.h"
#include "driver/models/ra1792/ra1792codec.h"
#include "driver/models/ra1792/ra1792receiver.h"
#include "driver/models/ra6790/ra6790codec.h"
#include "driver/models/ra6790/ra6790receiver.h"
#include "driver/models/rek085/rek085codec.h"
#include "driver/models/rek085/rek085receiver.h"
#include "driver/models/trc243/trc243codec.h"
#include "driver/models/trc243/trc243receiver.h"
#include "driver/models/trc294/trc294codec.h"
#include "driver/models/trc294/trc294receiver.h"
#include "hf2050sim.h"
#include "interfaces/component.h"
#include "ndx264sim.h"
#include "nrd535sim.h"
#include "platform/componentloader.h"
#include "platform/settingsstore.h"
#include "ra1792sim.h"
#include "ra6790sim.h"
#include "rek085sim.h"
#include "simserver.h"
#include "trc243sim.h"
#include "trc294sim.h"

using namespace quorvin;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void row(const std::string& figure, const std::string& value, const std::string& goal, const std::string& verdict)
{
    std::printf("| %s | %s | %s | %s |\n", figure.c_str(), value.c_str(), goal.c_str(), verdict.c_str());
    std::fflush(stdout);
}

std::string fmt(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// ---- Settings in a folder of their own ------------------------------------------------------

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
        m_dir = mkdtemp(pattern.data());
        setenv("KORVANE_SETTINGS", (m_dir + "/settings.db").c_str(), 1);
        setenv("KORVANE_TRACE_DIR", (m_dir + "/traces").c_str(), 1);
        platform::SettingsStore::resetShared(m_dir + "/settings.db");
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

private:
    std::string m_dir;
};

// ---- Events ---------------------------------------------------------------------------------

class Sink : public IgnoringReceiverEvents {
public:
    std::vector<int> connected;  // per index: ConnectNoError seen
    std::vector<std::int32_t> frq;  // per index: last frequency reported
    Sink() : connected(8, 0), frq(8, -1) {}

    HRESULT RxConnState(std::int16_t i, ConnErr e) override
    {
        if (i >= 0 && i < 8) {
            connected[i] = e == ConnectNoError ? 1 : 0;
        }
        return S_OK;
    }
    HRESULT RxFrqUpdated(std::int16_t i, std::int32_t f, std::int32_t) override
    {
        if (i >= 0 && i < 8) {
            frq[i] = f;
        }
        return S_OK;
    }
};

// ---- Simulated receivers --------------------------------------------------------------------

// The simulated receiver's frequency, whatever its model.
template <class F>
void withSimFrequency(sim::SimServer& server, F&& f)
{
    server.withLine([&](sim::SimLine& line) {
        if (auto* s = line.as<sim::Nrd535Sim>()) {
            f(s->state().frequency);
        } else if (auto* s = line.as<sim::Ra1792Sim>()) {
            f(s->state().frequency);
        } else if (auto* s = line.as<sim::Ra6790Sim>()) {
            f(s->state().frequency);
        } else if (auto* s = line.as<sim::Trc243Sim>()) {
            f(s->state().frequency);
        } else if (auto* s = line.as<sim::Rek085Sim>()) {
            f(s->state().now.frequency);
        } else if (auto* s = line.as<sim::Ndx264Sim>()) {
            f(s->state().frequency);
        } else if (auto* s = line.as<sim::Trc294Sim>()) {
            f(s->state().frequency);
        } else if (auto* s = line.as<sim::Hf2050Sim>()) {
            f(s->state().frequency);
        }
    });
}

constexpr const char* kPortsKey = "SOFTWARE\\Korvane Software\\Ports";

// Stores instance `name` of configuration "Bench" for the model on the server.
void storeInstance(const std::string& name, DrvType type, sim::SimServer& server, int port, int waitMs)
{
    auto& store = platform::SettingsStore::shared();
    const std::string key =
        platform::SettingsStore::join(platform::SettingsStore::join(platform::kSettingsRoot, "Bench"), name);
    store.writeNumber(key, "D_Type", type);
    store.writeNumber(key, "C_Wait", waitMs);
    store.writeNumber(key, "C_Retr", 10);
    if (server.port() == 0) {
        store.writeText(kPortsKey, std::to_string(port), server.devicePath());
        store.writeNumber(key, "C_Type", 0);
        store.writeNumber(key, "S_Port", port);
        store.writeNumber(key, "S_TestLink", 0);
    } else {
        store.writeNumber(key, "C_Type", 1);
        store.writeText(key, "T_Addr", "127.0.0.1");
        store.writeNumber(key, "T_Port", server.port());
        store.writeNumber(key, "T_TestLink", 0);
        store.writeNumber(key, "T_Delay", 0);
    }
}

std::unique_ptr<IReceiverDriver> loadDriver(Sink& sink)
{
    auto loaded = platform::loadComponent(kQuorvinLibraryFile, kReceiverDriverClassId);
    if (!loaded.error.empty() || loaded.object == nullptr) {
        std::fprintf(stderr, "quorvin_bench: %s\n", loaded.error.c_str());
        return nullptr;
    }
    std::unique_ptr<IReceiverDriver> drv(static_cast<IReceiverDriver*>(loaded.object));
    std::uint32_t cookie = 0;
    drv->Advise(&sink, &cookie);
    std::int32_t result = 0;
    drv->DrvConfigure("Bench", ConfLoad, &result);
    if (result != 1) {
        return nullptr;
    }
    return drv;
}

Receiver* receiverOf(IReceiverDriver* drv, int index)
{
    auto* inst = static_cast<ReceiverDriver*>(drv)->Manager().Instance(static_cast<std::int16_t>(index));
    return inst != nullptr ? inst->receiver.get() : nullptr;
}

// Runs the event loop until done() holds, firing the next poll tick each
// time the line has been quiet for a millisecond. False after the deadline.
bool driveUntil(ManualTicks& ticks, sim::SimServer& server, const std::function<bool()>& done, int deadlineMs,
                int* ticksFired = nullptr)
{
    const auto start = Clock::now();
    auto lastBytes = server.bytesReceived() + server.bytesSent();
    auto quietSince = Clock::now();
    while (!done()) {
        if (msSince(start) > deadlineMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (done()) {
            break;
        }
        const auto bytes = server.bytesReceived() + server.bytesSent();
        if (bytes != lastBytes) {
            lastBytes = bytes;
            quietSince = Clock::now();
        } else if (msSince(quietSince) >= 1.0) {
            ticks.fireNext();
            if (ticksFired != nullptr) {
                ++*ticksFired;
            }
            quietSince = Clock::now();
        }
        usleep(100);
    }
    return true;
}

// Runs the event loop, without ticks, until the line has been quiet for
// 20 ms (at most a second).
void settle(sim::SimServer& server)
{
    const auto start = Clock::now();
    auto last = server.bytesReceived() + server.bytesSent();
    auto quietSince = Clock::now();
    while (msSince(quietSince) < 20 && msSince(start) < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const auto now = server.bytesReceived() + server.bytesSent();
        if (now != last) {
            last = now;
            quietSince = Clock::now();
        }
        usleep(500);
    }
}

// Bits on the line per character at the model's link defaults.
int bitsPerChar(const ModelInfo& info)
{
    return 1 + info.link.dataBits + (info.link.parity == 'n' ? 0 : 1) + info.link.stopBits;
}

struct Exchange {
    double ms = -1;
    std::uint64_t bytes = 0;
    std::uint64_t pausesMs = 0;
    int ticks = 0;
};

double wireMs(const ModelInfo& info, const Exchange& e)
{
    return static_cast<double>(e.bytes) * bitsPerChar(info) * 1000.0 / info.link.speed +
           static_cast<double>(e.pausesMs);
}

// One TCP round trip on 127.0.0.1: the handshake of a connect to a socket
// of our own.
double loopbackRoundTripMs()
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener, 4);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    double best = 1e9;
    for (int i = 0; i < 20; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM, 0);
        const auto start = Clock::now();
        if (::connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            best = std::min(best, msSince(start));
        }
        ::close(client);
        const int accepted = ::accept(listener, nullptr, nullptr);
        if (accepted >= 0) {
            ::close(accepted);
        }
    }
    ::close(listener);
    return best;
}

struct ModelRun {
    Exchange connect;
    Exchange poll;
    bool ok = false;
};

// Connects one receiver of the model on the transport and measures the
// connect dialogue and `rounds` poll rounds (each ending when a changed
// frequency has been reported); the best round is kept.
ModelRun measureModel(const ModelInfo& info, sim::SimServer::Transport transport, int rounds)
{
    ModelRun run;
    TempFolder folder;
    std::string error;
    auto server = sim::SimServer::create(info.name, transport, 0, &error);
    if (!server) {
        std::fprintf(stderr, "quorvin_bench: %s: %s\n", info.name, error.c_str());
        return run;
    }
    storeInstance(info.name, info.type, *server, 3, 150);
    ManualTicksGuard manual;
    Sink sink;
    auto drv = loadDriver(sink);
    if (!drv) {
        return run;
    }
    Receiver* rx = receiverOf(drv.get(), 0);

    // Connect: from the call to the report of the first answer.
    {
        const auto bytes0 = server->bytesReceived() + server->bytesSent();
        const auto pauses0 = rx->PausesMs();
        const auto start = Clock::now();
        ConnErr result = ConnectObjectError;
        drv->RxConnect(0, 1, &result);
        int fired = 0;
        if (!driveUntil(
                manual.ticks, *server, [&] { return sink.connected[0] != 0; }, 60000, &fired)) {
            std::fprintf(stderr, "quorvin_bench: %s did not connect (%d)\n", info.name, result);
            return run;
        }
        run.connect.ms = msSince(start);
        run.connect.bytes = server->bytesReceived() + server->bytesSent() - bytes0;
        run.connect.pausesMs = rx->PausesMs() - pauses0;
        run.connect.ticks = fired;
    }
    // Let the first reports settle: a few rounds until the line is quiet.
    driveUntil(
        manual.ticks, *server, [&] { return sink.frq[0] >= 0; }, 20000);
    for (int i = 0; i < 3; ++i) {
        manual.ticks.fireNext();
        driveUntil(
            manual.ticks, *server, [] { return false; }, 20);
    }

    std::vector<Exchange> polls;
    // Poll rounds: the receiver is tuned elsewhere; the round ends when the
    // driver reports the new frequency.
    for (int r = 0; r < rounds; ++r) {
        std::int32_t target = 0;
        withSimFrequency(*server, [&](std::int32_t& f) {
            f += 1000;
            target = f;
        });
        // Let anything still in flight land before the clock starts.
        settle(*server);
        const auto bytes0 = server->bytesReceived() + server->bytesSent();
        const auto pauses0 = rx->PausesMs();
        const auto start = Clock::now();
        int fired = 0;
        manual.ticks.fireNext();
        ++fired;
        if (!driveUntil(
                manual.ticks, *server, [&] { return sink.frq[0] == target; }, 20000, &fired)) {
            std::fprintf(stderr, "quorvin_bench: %s: the new frequency was not reported (%d)\n", info.name,
                         sink.frq[0]);
            break;
        }
        if (server->bytesReceived() + server->bytesSent() == bytes0) {
            continue;  // reported from traffic under way before the clock started
        }
        Exchange e;
        e.ms = msSince(start);
        e.bytes = server->bytesReceived() + server->bytesSent() - bytes0;
        e.pausesMs = rx->PausesMs() - pauses0;
        e.ticks = fired;
        polls.push_back(e);
    }
    // The median round (by time) stands for them all.
    if (!polls.empty()) {
        std::sort(polls.begin(), polls.end(), [](const Exchange& a, const Exchange& b) { return a.ms < b.ms; });
        run.poll = polls[polls.size() / 2];
    }
    ConnErr result = ConnectObjectError;
    drv->RxConnect(0, 0, &result);
    drv.reset();
    run.ok = run.poll.ms >= 0;
    return run;
}

// ---- Frames and replies without a link ------------------------------------------------------

using QuietOwner = IgnoringDriverEvents;

// The parse path of a model opened for the bench: its receive buffer and
// its parser, no link.
template <class Model>
class Fed : public Model {
public:
    using Model::Model;
    std::int32_t feed(const std::string& bytes)
    {
        this->m_rxBuffer += bytes;
        const std::int32_t r = this->RxParse();
        this->m_rxBuffer.clear();
        return r;
    }
};

template <class Model>
double parseNs(const std::string& replies, int iterations)
{
    QuietOwner owner;
    Fed<Model> model(&owner);
    const auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) {
        model.feed(replies);
    }
    return msSince(start) * 1e6 / iterations;
}

double parseNsFor(DrvType type, const std::string& replies, int iterations)
{
    switch (type) {
    case DrvNRD535: return parseNs<Nrd535Receiver>(replies, iterations);
    case DrvRA6790: return parseNs<Ra6790Receiver>(replies, iterations);
    case DrvRA1792: return parseNs<Ra1792Receiver>(replies, iterations);
    case DrvTRC243: return parseNs<Trc243Receiver>(replies, iterations);
    case DrvREK085: return parseNs<Rek085Receiver>(replies, iterations);
    case DrvNDX264: return parseNs<Ndx264Receiver>(replies, iterations);
    case DrvTRC294: return parseNs<Trc294Receiver>(replies, iterations);
    case DrvHF2050: return parseNs<Hf2050Receiver>(replies, iterations);
    default: return -1;
    }
}

// The command frame that tunes the model to 7050 kHz, built by its codec.
std::string tuneFrame(DrvType type, int i)
{
    const std::int32_t hz = 7050000 + (i % 100) * 10;
    switch (type) {
    case DrvNRD535: return nrd535::frame("F" + std::to_string(hz / 10));
    case DrvRA6790: return ra6790::commandFrame(77, "F" + std::to_string(hz / 10));
    case DrvRA1792: return ra1792::commandFrame(1, "F" + std::to_string(hz / 10));
    case DrvTRC243: return trc243::frame("F" + std::to_string(hz / 10), true, 0);
    case DrvREK085: return rek085::commandFrame('$', 0, rek085::settingsText(hz, 1, 0, 1, 1));
    case DrvNDX264: return ndx264::frame(ndx264::frequencyCommand(hz));
    case DrvTRC294: return trc294::frame(trc294::frequencyBytes(hz, 1));
    case DrvHF2050: return hf2050::frame("FR " + std::to_string(hz));
    default: return {};
    }
}

double formatNs(DrvType type, int iterations)
{
    std::size_t sum = 0;
    const auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) {
        sum += tuneFrame(type, i).size();
    }
    const double ns = msSince(start) * 1e6 / iterations;
    return sum > 0 ? ns : -1;
}

// Captures the reply bytes of a few poll rounds of the model over a pty.
std::string pollReplies(const ModelInfo& info)
{
    TempFolder folder;
    std::string error;
    auto server = sim::SimServer::create(info.name, sim::SimServer::Pty, 0, &error);
    if (!server) {
        return {};
    }
    storeInstance(info.name, info.type, *server, 3, 150);
    ManualTicksGuard manual;
    Sink sink;
    auto drv = loadDriver(sink);
    if (!drv) {
        return {};
    }
    ConnErr result = ConnectObjectError;
    drv->RxConnect(0, 1, &result);
    driveUntil(
        manual.ticks, *server, [&] { return sink.connected[0] != 0 && sink.frq[0] >= 0; }, 60000);
    driveUntil(
        manual.ticks, *server, [] { return false; }, 30);
    // What the driver parses in a round: the bytes the simulator answers.
    std::mutex mutex;
    std::string captured;
    server->setReplyTap([&](const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        captured += bytes;
    });
    // Ticks until the replies of a round came (a receiver in local control
    // may be asked only every so many ticks).
    for (int i = 0; i < 80; ++i) {
        manual.ticks.fireNext();
        settle(*server);
        std::lock_guard<std::mutex> lock(mutex);
        if (!captured.empty()) {
            break;
        }
    }
    server->setReplyTap({});
    drv->RxConnect(0, 0, &result);
    std::lock_guard<std::mutex> lock(mutex);
    return captured;
}

// ---- Eight receivers polling ----------------------------------------------------------------

// The longest single call per receiver: every poll tick on the event
// loop's timers is timed as it is handed to the receiver, and so is each
// connect call, so a stall is put down to the model whose call made it.
class TimedTicks : public QObject, public TickSource {
public:
    TimedTicks() : m_old(TimerRegistry::instance().setTickSource(this)) {}
    ~TimedTicks() override
    {
        TimerRegistry::instance().sourceGone(this);
        TimerRegistry::instance().setTickSource(m_old);
    }
    TimedTicks(const TimedTicks&) = delete;
    TimedTicks& operator=(const TimedTicks&) = delete;

    std::uint32_t startTicks(int periodMs) override
    {
        const int id = startTimer(std::max(1, periodMs), Qt::PreciseTimer);
        return id > 0 ? static_cast<std::uint32_t>(id) : 0;
    }
    void stopTicks(std::uint32_t timerId) override { killTimer(static_cast<int>(timerId)); }

    // Longest tick per target since the last reset, in milliseconds.
    std::vector<std::pair<const TimerTarget*, double>> longest;
    bool measuring = false;
    double longestOf(const TimerTarget* target) const
    {
        for (const auto& [t, ms] : longest) {
            if (t == target) {
                return ms;
            }
        }
        return 0;
    }

protected:
    void timerEvent(QTimerEvent* event) override
    {
        const auto id = static_cast<std::uint32_t>(event->timerId());
        const TimerTarget* target = TimerRegistry::instance().targetOf(id);
        const auto start = Clock::now();
        TimerRegistry::instance().dispatch(id);
        const double ms = msSince(start);
        if (!measuring || target == nullptr) {
            return;
        }
        for (auto& [t, most] : longest) {
            if (t == target) {
                most = std::max(most, ms);
                return;
            }
        }
        longest.emplace_back(target, ms);
    }

private:
    TickSource* m_old;
};

struct ModelStall {
    std::string model;
    double connectMs = -1;  // longest connect call plus the ticks until connected
    double tickMs = -1;  // longest poll tick while polling
};

struct IdleFigures {
    double cpuPercent = -1;
    double longestStallMs = -1;
    int connected = 0;
    std::vector<ModelStall> perModel;
};

double threadCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 + usage.ru_stime.tv_sec * 1000.0 +
           usage.ru_stime.tv_usec / 1000.0;
}

IdleFigures eightPolling(int seconds)
{
    IdleFigures fig;
    TempFolder folder;
    std::vector<std::unique_ptr<sim::SimServer>> servers;
    int port = 3;
    for (const ModelInfo& info : modelTable()) {
        std::string error;
        auto server = sim::SimServer::create(info.name, sim::SimServer::Pty, 0, &error);
        if (!server) {
            std::fprintf(stderr, "quorvin_bench: %s: %s\n", info.name, error.c_str());
            return fig;
        }
        // Instance names sort in table order.
        storeInstance(std::to_string(port) + info.name, info.type, *server, port, 150);
        ++port;
        servers.push_back(std::move(server));
    }
    Sink sink;
    auto drv = loadDriver(sink);
    if (!drv) {
        return fig;
    }
    TimedTicks timed;
    std::vector<const Receiver*> receivers;
    for (int i = 0; i < 8; ++i) {
        receivers.push_back(receiverOf(drv.get(), i));
        std::string name;
        drv->get_RxName(static_cast<std::int16_t>(i), &name);
        fig.perModel.push_back({name.substr(std::min(name.size(), name.find_first_not_of("0123456789")))});
    }
    // Connects one receiver at a time: the connect call, then the ticks
    // until it reports the connection (the longest of them counts).
    timed.measuring = true;
    for (int i = 0; i < 8; ++i) {
        timed.longest.clear();
        const auto start = Clock::now();
        ConnErr result = ConnectObjectError;
        drv->RxConnect(static_cast<std::int16_t>(i), 1, &result);
        const double callMs = msSince(start);
        QElapsedTimer guard;
        guard.start();
        while (sink.connected[static_cast<std::size_t>(i)] == 0 && guard.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        fig.perModel[static_cast<std::size_t>(i)].connectMs =
            std::max(callMs, timed.longestOf(receivers[static_cast<std::size_t>(i)]));
    }
    timed.measuring = false;
    fig.connected = static_cast<int>(std::count(sink.connected.begin(), sink.connected.end(), 1));
    // Settle, then measure: the thread's CPU over the period, and the
    // longest gap between the turns of a 5 ms probe timer beyond its period.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // The CPU of this thread (the driver's; the simulators serve in threads
    // of their own) while the event loop just waits for the poll timers.
    {
        const double cpu0 = threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        fig.cpuPercent = (threadCpuMs() - cpu0) * 100.0 / static_cast<double>(wall.elapsed());
    }
    // Then the longest gap between the turns of a 5 ms probe timer, beyond
    // its period.
    {
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QElapsedTimer sinceLast;
        double longest = 0;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, static_cast<double>(sinceLast.nsecsElapsed()) / 1e6 - 5.0);
            sinceLast.start();
        });
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        timed.longest.clear();
        timed.measuring = true;
        sinceLast.start();
        probe.start(5);
        loop.exec();
        timed.measuring = false;
        fig.longestStallMs = longest;
        for (std::size_t i = 0; i < receivers.size(); ++i) {
            fig.perModel[i].tickMs = timed.longestOf(receivers[i]);
        }
    }
    for (int i = 0; i < 8; ++i) {
        ConnErr result = ConnectObjectError;
        drv->RxConnect(static_cast<std::int16_t>(i), 0, &result);
    }
    return fig;
}

}  // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    bool selfCheck = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "--self-check") {
            selfCheck = true;
        } else {
            std::fprintf(stderr, "usage: quorvin_bench [--quick] [--self-check]\n");
            return 2;
        }
    }
    std::printf("## quorvin_bench: the driver against the simulators\n");
    std::fflush(stdout);
    if (selfCheck) {
        return 0;
    }
    QCoreApplication app(argc, argv);
    const int rounds = quick ? 3 : 7;
    const double rttMs = loopbackRoundTripMs();
    row("TCP round trip on 127.0.0.1", fmt("%.3f ms", rttMs), "", "");

    for (const ModelInfo& info : modelTable()) {
        for (auto transport : {sim::SimServer::Pty, sim::SimServer::Tcp}) {
            const bool tcp = transport == sim::SimServer::Tcp;
            const ModelRun run = measureModel(info, transport, rounds);
            const std::string where = std::string(info.name) + (tcp ? " TCP" : " pty");
            const double allowance = tcp ? 2 * rttMs : 0;
            for (int kind = 0; kind < 2; ++kind) {
                const Exchange& e = kind == 0 ? run.connect : run.poll;
                const std::string figure = where + (kind == 0 ? " connect" : " poll round");
                if (e.ms < 0) {
                    row(figure, "failed", "", "missed");
                    continue;
                }
                const double wire = wireMs(info, e);
                const double goal = 1.5 * wire + allowance;
                row(figure,
                    fmt("%.1f ms", e.ms) + " (wire " + fmt("%.1f ms", wire) + ": " + std::to_string(e.bytes) +
                        " bytes at " + std::to_string(info.link.speed) + " Bd + " + std::to_string(e.pausesMs) +
                        " ms pauses; " + fmt("%.2fx", wire > 0 ? e.ms / wire : 0) +
                        (e.ticks > 1 ? "; " + std::to_string(e.ticks) + " ticks" : std::string()) + ")",
                    "<= " + fmt("%.1f ms", goal), e.ms <= goal ? "met" : "missed");
            }
        }
    }

    const int iterations = quick ? 20000 : 200000;
    for (const ModelInfo& info : modelTable()) {
        row(std::string(info.name) + " command frame (tune)", fmt("%.0f ns", formatNs(info.type, iterations)), "", "");
    }
    for (const ModelInfo& info : modelTable()) {
        const std::string replies = pollReplies(info);
        if (replies.empty()) {
            row(std::string(info.name) + " replies of one poll round, parsed", "no replies captured", "", "");
            continue;
        }
        row(std::string(info.name) + " replies of one poll round, parsed (" + std::to_string(replies.size()) +
                " bytes)",
            fmt("%.0f ns", parseNsFor(info.type, replies, iterations / 10)), "", "");
    }

    const int seconds = quick ? 3 : 10;
    const IdleFigures idle = eightPolling(seconds);
    const double cpu = idle.cpuPercent;
    row("driver CPU, 8 receivers polling at 150 ms (" + std::to_string(idle.connected) + " connected, pty)",
        fmt("%.2f %% of one core", cpu), "<= 1 %", cpu <= 1.0 && idle.connected == 8 ? "met" : "missed");
    row("longest event-loop stall while polling", fmt("%.1f ms", idle.longestStallMs), "<= 50 ms",
        idle.longestStallMs <= 50 ? "met" : "missed");
    for (const ModelStall& m : idle.perModel) {
        row(m.model + " longest poll tick while polling (pty)", fmt("%.1f ms", m.tickMs), "<= 50 ms",
            m.tickMs >= 0 && m.tickMs <= 50 ? "met" : "missed");
    }
    for (const ModelStall& m : idle.perModel) {
        row(m.model + " longest connect call or tick (pty)", fmt("%.1f ms", m.connectMs), "<= 250 ms",
            m.connectMs >= 0 && m.connectMs <= 250 ? "met" : "missed");
    }
    return 0;
}
