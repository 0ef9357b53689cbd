// Speed of the desktop application with eight simulated receivers (one of
// each model, each on a pty), as rows of the table that bench/run prints:
// start to the first frequency shown, a wheel step to the repainted digits,
// the CPU of the window's thread while the receivers poll, and the longest
// stall of its event loop during start-up and while running.
//
//   tessaly_bench [--quick] [--self-check]
//
// Runs the main window as the program does (the two libraries loaded at
// run time) on whatever Qt platform is set; bench/run uses the offscreen
// one. The simulators serve in threads of this process, so their work is
// not counted as the application's. Settings live in a temporary folder
// that is removed at the end.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QWheelEvent>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controller/app/frequencydisplay.h"
#include "controller/app/mainwindow.h"
#include "controller/app/messages.h"
#include "interfaces/receivertypes.h"
#include "platform/settingsstore.h"
#include "simserver.h"

namespace {

constexpr const char* kModels[] = {"NRD535", "RA6790", "RA1792", "TRC243", "REK085", "NDX264", "TRC294", "HF2050"};

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

double threadCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 + usage.ru_stime.tv_sec * 1000.0 +
           usage.ru_stime.tv_usec / 1000.0;
}

class SilentMessages : public tessaly::Messages {
public:
    QStringList texts;
    void message(const QString&, const QString& text, Icon) override { texts << text; }
    void beep() override {}
};

// Measures the gaps between the turns of a 5 ms timer beyond its period:
// how long the event loop was kept from running.
class StallProbe : public QObject {
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, static_cast<double>(m_since.nsecsElapsed()) / 1e6 - 5.0);
            m_since.start();
        });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start(5);
    }
    double longest() const { return m_longest; }
    // The gap still open counts too (the loop may not have turned since).
    double longestSoFar() const { return std::max(m_longest, static_cast<double>(m_since.nsecsElapsed()) / 1e6 - 5.0); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_longest = 0;
};

// Counts paint events of the digit fields.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

int connectedCount(tessaly::MainWindow& w)
{
    int n = 0;
    for (std::int16_t i = 0; i < 8; ++i) {
        std::int32_t c = 0;
        w.driver()->get_RxIsConnected(i, &c);
        n += c != 0 ? 1 : 0;
    }
    return n;
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
            std::fprintf(stderr, "usage: tessaly_bench [--quick] [--self-check]\n");
            return 2;
        }
    }
    std::printf("## tessaly_bench: the desktop application with eight simulated receivers\n");
    std::fflush(stdout);
    if (selfCheck) {
        return 0;
    }

    std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-bench-XXXXXX").string();
    const std::string dir = mkdtemp(pattern.data());
    struct Remove {
        std::string dir;
        ~Remove()
        {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } remove{dir};
    setenv("KORVANE_SETTINGS", (dir + "/settings.db").c_str(), 1);
    setenv("KORVANE_TRACE_DIR", (dir + "/traces").c_str(), 1);
    platform::SettingsStore::resetShared(dir + "/settings.db");

    QApplication app(argc, argv);

    // One receiver of each model, each on a pty of its own.
    std::vector<std::unique_ptr<sim::SimServer>> servers;
    auto& store = platform::SettingsStore::shared();
    int port = 3;
    for (const char* model : kModels) {
        std::string error;
        auto server = sim::SimServer::create(model, sim::SimServer::Pty, 0, &error);
        if (!server) {
            std::fprintf(stderr, "tessaly_bench: %s: %s\n", model, error.c_str());
            return 1;
        }
        static const quorvin::DrvType kTypes[] = {quorvin::DrvNRD535, quorvin::DrvRA6790, quorvin::DrvRA1792,
                                                  quorvin::DrvTRC243, quorvin::DrvREK085, quorvin::DrvNDX264,
                                                  quorvin::DrvTRC294, quorvin::DrvHF2050};
        // Instance names sort in this order: receiver 0 is the NRD535.
        const std::string key = platform::SettingsStore::join(
            platform::SettingsStore::join(platform::kSettingsRoot, "Bench"), std::to_string(port) + model);
        store.writeNumber(key, "D_Type", kTypes[port - 3]);
        store.writeNumber(key, "C_Wait", 150);
        store.writeNumber(key, "C_Retr", 10);
        store.writeText("SOFTWARE\\Korvane Software\\Ports", std::to_string(port), server->devicePath());
        store.writeNumber(key, "C_Type", 0);
        store.writeNumber(key, "S_Port", port);
        store.writeNumber(key, "S_TestLink", 0);
        ++port;
        servers.push_back(std::move(server));
    }

    // Start-up: from creating the window to the first frequency in its digits.
    StallProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    SilentMessages messages;
    auto window = std::make_unique<tessaly::MainWindow>(messages);
    const auto result = window->startUp(QStringLiteral("Bench"));
    if (result != tessaly::MainWindow::StartResult::Running) {
        std::fprintf(stderr, "tessaly_bench: the window did not start: %s\n",
                     qPrintable(messages.texts.join(QLatin1Char('|'))));
        return 1;
    }
    window->show();
    const bool shown = runUntil([&] { return window->digits().readValue() >= 0; }, 60000);
    const double firstMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const bool all = runUntil([&] { return connectedCount(*window) == 8; }, 60000);
    const double allMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double startStall = probe.longestSoFar();
    row("Tessaly start to first frequency shown", shown ? fmt("%.0f ms", firstMs) : "not shown", "", "");
    row("Tessaly start to all " + std::to_string(connectedCount(*window)) + " receivers connected",
        all ? fmt("%.0f ms", allMs) : "not all within 60 s", "", "");
    row("Tessaly longest event-loop stall during start-up", fmt("%.0f ms", startStall), "<= 250 ms",
        startStall <= 250 ? "met" : "missed");

    // A wheel step: from the wheel event to the repainted digits, under
    // remote control of receiver 0.
    window->selectReceiver(0);
    QKeyEvent u(QEvent::KeyPress, Qt::Key_U, Qt::NoModifier, QStringLiteral("u"));
    QCoreApplication::sendEvent(window.get(), &u);
    runUntil([&] { return !window->digits().locked(); }, 20000);
    auto* display = window->findChild<tessaly::FrequencyDisplay*>();
    PaintCounter paints;
    for (int i = 0; display != nullptr && i < tessaly::DigitModel::kDigits; ++i) {
        display->digitField(i)->installEventFilter(&paints);
    }
    double bestStep = -1;
    double worstStep = 0;
    const int steps = quick ? 5 : 20;
    for (int i = 0; i < steps && !window->digits().locked(); ++i) {
        runUntil([] { return false; }, 100);  // let polls come and go
        const double before = window->digits().readValue();
        const int paintsBefore = paints.paints;
        QElapsedTimer step;
        step.start();
        QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, i % 2 == 0 ? 120 : -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(window.get(), &wheel);
        if (!runUntil([&] { return window->digits().readValue() != before && paints.paints > paintsBefore; }, 5000)) {
            continue;
        }
        const double ms = static_cast<double>(step.nsecsElapsed()) / 1e6;
        bestStep = bestStep < 0 ? ms : std::min(bestStep, ms);
        worstStep = std::max(worstStep, ms);
    }
    row("Tessaly wheel step to repainted digits (best / worst of " + std::to_string(steps) + ")",
        bestStep < 0 ? "no step shown" : fmt("%.1f ms", bestStep) + " / " + fmt("%.1f ms", worstStep), "", "");

    // Running: the window's thread CPU while eight receivers poll, then the
    // longest stall.
    const int seconds = quick ? 3 : 10;
    const double cpu0 = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    runUntil([] { return false; }, seconds * 1000);
    const double cpu = (threadCpuMs() - cpu0) * 100.0 / static_cast<double>(wall.elapsed());
    row("Tessaly CPU with 8 receivers polling at 150 ms", fmt("%.1f %% of one core", cpu), "", "");
    probe.start();
    runUntil([] { return false; }, seconds * 1000);
    const double runStall = probe.longestSoFar();
    row("Tessaly longest event-loop stall while running", fmt("%.0f ms", runStall), "<= 50 ms",
        runStall <= 50 ? "met" : "missed");

    window->close();
    window.reset();
    servers.clear();
    return 0;
}
