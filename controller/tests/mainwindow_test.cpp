// The main window on the offscreen platform against simulated receivers:
// start-up and its command line, the display, typed and stepped tuning, label clicks,
// key commands, a receiver that goes silent, the digit links, shutdown.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include "controller/app/mainwindow.h"
#include "controller/core/appsettings.h"
#include "controller/core/displayrules.h"
#include "interfaces/component.h"
#include "platform/settingsstore.h"
#include "windowtestsupport.h"

using namespace tessaly;
using namespace tessaly::test;
using namespace quorvin;

namespace {

constexpr int kSlow = 20000;  // generous: the machine is shared

std::string unique(const char* base)
{
    return std::string(base) + std::to_string(::getpid());
}

QString digitsOf(MainWindow& w)
{
    return w.digits().text();
}

std::int32_t connectedCount(MainWindow& w)
{
    std::int16_t count = 0;
    w.driver()->get_RxCount(&count);
    std::int32_t n = 0;
    for (std::int16_t i = 0; i < count; ++i) {
        std::int32_t c = 0;
        w.driver()->get_RxIsConnected(i, &c);
        n += c != 0 ? 1 : 0;
    }
    return n;
}

void key(MainWindow& w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QCoreApplication::sendEvent(&w, &press);
}

// Lets the driver poll the simulated receiver a few more times: every byte
// the window sent before has then reached the simulator (the line keeps its
// order), so a check that nothing changed there is not a race.
bool pollsPass(SimReceiver& rx, int replies = 3)
{
    const int until = rx.server->repliesSent() + replies;
    return QTest::qWaitFor([&] { return rx.server->repliesSent() >= until; }, kSlow);
}

void typeText(MainWindow& w, const QString& text)
{
    for (QChar c : text) {
        Qt::Key k = static_cast<Qt::Key>(c.toUpper().unicode());
        if (c == QLatin1Char('\r')) {
            k = Qt::Key_Return;
        }
        key(w, k, Qt::NoModifier, QString(c));
    }
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSettings> m_settings;
    QStringList m_libraryDialogs;

    // One NRD535 on a pty (and an RA1792 on TCP when asked) in a
    // configuration of its own.
    std::vector<SimReceiver> receivers(bool two)
    {
        std::vector<SimReceiver> rx;
        rx.push_back({"NRD535", "NRD535", DrvNRD535, sim::SimServer::Pty, nullptr});
        if (two) {
            rx.push_back({"RA1792", "RA1792:1", DrvRA1792, sim::SimServer::Tcp, nullptr});
        }
        return rx;
    }

    // An RA1792 on a pty: it confirms every change while under remote control.
    static SimReceiver ra1792(const std::string& instance = "RA1792")
    {
        return {instance, "RA1792:1", DrvRA1792, sim::SimServer::Pty, nullptr};
    }

    // Starts a window on the configuration and waits for every receiver.
    std::unique_ptr<MainWindow> started(RecordingMessages& messages, const std::string& config)
    {
        auto w = std::make_unique<MainWindow>(messages);
        const auto result = w->startUp(QString::fromStdString(config));
        if (result != MainWindow::StartResult::Running) {
            return nullptr;
        }
        w->show();
        return w;
    }

    void takeRemote(MainWindow& w) { typeText(w, QStringLiteral("u")); }

private slots:
    void initTestCase()
    {
        m_settings = std::make_unique<TestSettings>();
        // A box or dialog a library shows would wait for an operator: each
        // one is noted and closed.
        auto* closer = new QTimer(this);
        connect(closer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_libraryDialogs << modal->windowTitle();
                modal->close();
            }
        });
        closer->start(200);
    }
    void cleanupTestCase() { m_settings.reset(); }

    void startUpShowsTwoTabsAndTheFirstReceiver()
    {
        const std::string config = unique("Two");
        auto rx = receivers(true);
        startAndConfigure(config, rx);
        RecordingMessages messages;
        auto w = started(messages, config);
        QVERIFY(w);
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(QLatin1Char('|'))));
        QCOMPARE(w->tabs()->count(), 2);
        QCOMPARE(w->tabs()->tabText(0), QStringLiteral("&NRD535"));
        QCOMPARE(w->tabs()->tabText(1), QStringLiteral("&RA1792"));
        QCOMPARE(w->updateTimer().interval(), 250);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 2, kSlow);
        w->tabs()->setCurrentIndex(1);
        w->tabs()->setCurrentIndex(0);
        QCOMPARE(w->currentReceiver(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(digitsOf(*w), QStringLiteral("  9650000"), kSlow);
        auto* mode = w->findChild<QPushButton*>(QStringLiteral("ModEvent0"));
        auto* filter = w->findChild<QPushButton*>(QStringLiteral("ModEvent1"));
        QVERIFY(mode && filter);
        QTRY_COMPARE_WITH_TIMEOUT(mode->text(), QStringLiteral("AM"), kSlow);
        QVERIFY2(filter->text() != QStringLiteral("----"), qPrintable(filter->text()));
        QVERIFY(w->windowTitle().startsWith(MainWindow::title() + QStringLiteral(" NRD535")));
        QVERIFY(MainWindow::title().startsWith(QStringLiteral("Tessaly ")));
        QVERIFY(MainWindow::title().endsWith(QStringLiteral(" - Receiver")));
        auto* mask = w->findChild<QLabel*>(QStringLiteral("RxMask"));
        QVERIFY(!mask->isVisible());
        // The second receiver shows its own values.
        w->tabs()->setCurrentIndex(1);
        QTRY_COMPARE_WITH_TIMEOUT(digitsOf(*w), QStringLiteral("  7050000"), kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(mode->text(), QStringLiteral("USB"), kSlow);
        w->close();
    }

    void startUpConnectsOneReceiverPerTurnOfTheEventLoop()
    {
        const std::string config = unique("Turns");
        auto rx = receivers(true);
        startAndConfigure(config, rx);
        RecordingMessages messages;
        auto w = started(messages, config);
        QVERIFY(w);
        auto* mask = w->findChild<QLabel*>(QStringLiteral("RxMask"));
        QVERIFY(mask);
        // Start-up itself connects nothing: the window is up first.
        QCOMPARE(rx[0].server->repliesSent(), 0);
        QCOMPARE(rx[1].server->repliesSent(), 0);
        // Posted now, this runs after the first receiver's connect and before
        // the second's: input and painting get their turn between the two.
        bool between = false;
        int firstReplies = -1;
        int secondReplies = -1;
        QString shown;
        QTimer::singleShot(0, w.get(), [&] {
            between = true;
            firstReplies = rx[0].server->repliesSent();
            secondReplies = rx[1].server->repliesSent();
            shown = mask->text();
        });
        QTRY_VERIFY_WITH_TIMEOUT(between, kSlow);
        QVERIFY2(firstReplies > 0, "the first receiver was connected in that turn");
        QCOMPARE(secondReplies, 0);
        QCOMPARE(shown, QString::fromLatin1(kConnecting));
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 2, kSlow);
        QTRY_VERIFY_WITH_TIMEOUT(!mask->isVisible(), kSlow);
        w->close();
    }

    void commandLineCases()
    {
        auto& store = platform::SettingsStore::shared();
        const std::string root = platform::kSettingsRoot;
        {
            RecordingMessages m;
            MainWindow w(m);
            QCOMPARE(w.startUp(QStringLiteral("-?")), MainWindow::StartResult::Usage);
            QCOMPARE(m.texts.value(0), QStringLiteral("Usage:\tTessaly.exe (NAME) (-clean)\r\n     with\r\n\tNAME = "
                                                      "Instance name\r\n\t-clean  = Registry clean option"));
        }
        {
            store.writeNumber(root + "\\Tessaly", "MainLeft", 3000);
            RecordingMessages m;
            MainWindow w(m);
            QCOMPARE(w.startUp(QStringLiteral("-? -clean")), MainWindow::StartResult::Usage);
            QVERIFY(store.keyExists(root + "\\Tessaly"));
        }
        {
            RecordingMessages m;
            MainWindow w(m);
            QCOMPARE(w.startUp(QStringLiteral("Bench -clean -x")), MainWindow::StartResult::Usage);
            QVERIFY(store.keyExists(root + "\\Tessaly"));
        }
        {
            store.writeNumber(root + "\\Bench", "MainLeft", 3000);
            RecordingMessages m;
            MainWindow w(m);
            QCOMPARE(w.startUp(QStringLiteral("Bench -clean")), MainWindow::StartResult::Cleaned);
            QCOMPARE(m.texts.value(0), QStringLiteral("Cleaning Bench registry context\r\nPlease restart application"));
            QVERIFY(!store.keyExists(root + "\\Bench"));
            QVERIFY(store.keyExists(root + "\\Tessaly"));
        }
        {
            RecordingMessages m;
            MainWindow w(m);
            QCOMPARE(w.startUp(QStringLiteral("-clean")), MainWindow::StartResult::Cleaned);
            QVERIFY(!store.keyExists(root + "\\Tessaly"));
        }
        {
            // No argument: the instance "Tessaly", which has no receiver.
            RecordingMessages m;
            MainWindow w(m);
            QCOMPARE(w.startUp(QString()), MainWindow::StartResult::Error);
            QCOMPARE(w.instanceName(), QStringLiteral("Tessaly"));
            QCOMPARE(m.texts.value(0), QStringLiteral("Error: No configured receiver found"));
        }
        {
            auto components = ComponentNames::standard();
            components.driverLibrary = QStringLiteral("libquorvin-missing.so");
            RecordingMessages m;
            MainWindow w(m, components);
            QCOMPARE(w.startUp(QStringLiteral("Any")), MainWindow::StartResult::Error);
            QCOMPARE(m.texts.value(0), QStringLiteral("Error: Receiver Control (Quorvin.dll) not found"));
        }
        {
            const std::string config = unique("Data");
            auto rx = receivers(false);
            startAndConfigure(config, rx);
            auto components = ComponentNames::standard();
            components.dataClass = QString::fromLatin1(kReceiverDriverClassId);  // not a class of liblumaret.so
            RecordingMessages m;
            MainWindow w(m, components);
            QCOMPARE(w.startUp(QString::fromStdString(config)), MainWindow::StartResult::Error);
            QCOMPARE(m.texts.value(0), QStringLiteral("Error: Frequency control (Lumaret.dll) not found"));
        }
    }

    void defaultsAndSavedPosition()
    {
        const std::string config = unique("Pos");
        auto rx = receivers(false);
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QCOMPARE(w->pos(), QPoint(1000 / kTwipsPerPixel, 1000 / kTwipsPerPixel));
        QCOMPARE(w->updateTimer().interval(), 500);
        const Options& o = w->options();
        QVERIFY(o.OptOnTop && o.OptBeep && o.OptMonitorChanges && o.OptFollowCarrier && o.OptAutoMode &&
                o.OptAutoFilter && o.OptSendTime && !o.OptDDELink);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        w->move(200, 300);
        auto* driver = w->driver();
        w->close();
        std::int32_t connected = -1;
        driver->get_RxIsConnected(0, &connected);
        QCOMPARE(connected, 0);
        const AppSettings s(QString::fromStdString(config));
        QCOMPARE(s.readNumber("MainLeft", 0), 200 * kTwipsPerPixel);
        QCOMPARE(s.readNumber("MainTop", 0), 300 * kTwipsPerPixel);
        QVERIFY(s.readNumber("MainWidth", 0) > 0);
        w.reset();
        // The next start opens where the last one ended.
        auto again = started(m, config);
        QVERIFY(again);
        QCOMPARE(again->pos(), QPoint(200, 300));
        again->close();
    }

    void typedFrequencyTunesAndTheDisplayFollows()
    {
        const std::string config = unique("Typed");
        std::vector<SimReceiver> rx;
        rx.push_back(ra1792());
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        // Local: typed digits are not taken.
        typeText(*w, QStringLiteral("6050\r"));
        QVERIFY(pollsPass(rx[0]));
        QCOMPARE(simFrequency(rx[0]), 7050000);
        takeRemote(*w);
        QTRY_VERIFY_WITH_TIMEOUT(w->digits().locked() == false, kSlow);
        typeText(*w, QStringLiteral("6050\r"));
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 6050000, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(digitsOf(*w), QStringLiteral("  6050000"), kSlow);
        // Kilohertz with decimals; Esc cancels what is typed.
        typeText(*w, QStringLiteral("7050.25\r"));
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 7050250, kSlow);
        std::int32_t now = 0;
        QTRY_VERIFY2_WITH_TIMEOUT((w->driver()->get_RxFrq(0, NONE, &now), now == 7050250),
                                  qPrintable(QString::number(now) + QLatin1Char(' ') + digitsOf(*w)), kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(digitsOf(*w), QStringLiteral("  7050250"), kSlow);
        typeText(*w, QStringLiteral("6000"));
        QCOMPARE(digitsOf(*w), QStringLiteral("  6000000"));
        key(*w, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
        QCOMPARE(digitsOf(*w), QStringLiteral("  7050250"));
        w->close();
    }

    void wheelAndArrowsStopAtTheLimits()
    {
        const std::string config = unique("Limits");
        std::vector<SimReceiver> rx;
        rx.push_back(ra1792());
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        takeRemote(*w);
        QTRY_VERIFY_WITH_TIMEOUT(!w->digits().locked(), kSlow);
        std::int32_t max = 0, min = 0;
        w->driver()->get_RxFrqMax(0, &max);
        w->driver()->get_RxFrqMin(0, &min);
        w->driver()->put_RxFrq(0, NONE, max - 5);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), double(max - 5), kSlow);
        // Wheel towards the operator: 10 Hz up, stopped at the maximum.
        QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w.get(), &wheel);
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), max, kSlow);
        key(*w, Qt::Key_Right, Qt::AltModifier);
        QVERIFY(pollsPass(rx[0]));
        QCOMPARE(simFrequency(rx[0]), max);
        w->driver()->put_RxFrq(0, NONE, min + 3);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), double(min + 3), kSlow);
        key(*w, Qt::Key_Left, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), min, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), double(min), kSlow);
        // A digit stepped beyond the maximum leaves the display as it was.
        w->driver()->put_RxFrq(0, NONE, 25000000);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), 25000000.0, kSlow);
        w->digits().focus(1, true);  // 10 MHz
        key(*w, Qt::Key_Up);
        QVERIFY(pollsPass(rx[0]));
        QCOMPARE(simFrequency(rx[0]), 25000000);
        key(*w, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
        QCOMPARE(w->digits().selected(), -1);
        w->close();
    }

    void keyCommandsOfEachGroup()
    {
        const std::string config = unique("Keys");
        std::vector<SimReceiver> rx;
        // The driver orders the instances by name.
        rx.push_back(ra1792("A-RA1792"));
        rx.push_back({"B-NRD535", "NRD535", DrvNRD535, sim::SimServer::Pty, nullptr});
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 2, kSlow);
        w->selectReceiver(0);
        auto* mode = w->findChild<QPushButton*>(QStringLiteral("ModEvent0"));
        // Connecting changed nothing at the receiver.
        QTRY_COMPARE_WITH_TIMEOUT(mode->text(), QStringLiteral("USB"), kSlow);
        takeRemote(*w);
        QTRY_VERIFY_WITH_TIMEOUT(!w->digits().locked(), kSlow);
        QCOMPARE(w->currentReceiver(), 0);
        // The driver's two-key commands: M then A, AM.
        typeText(*w, QStringLiteral("ma"));
        QTRY_COMPARE_WITH_TIMEOUT(mode->text(), QStringLiteral("AM"), kSlow);
        // A pending letter: M then B, the best mode that the band label advises.
        auto* best = w->findChild<QLabel*>(QStringLiteral("BMod"));
        QTRY_VERIFY_WITH_TIMEOUT(best->isVisible(), kSlow);
        const QString advised = best->text();
        QVERIFY(!advised.isEmpty());
        typeText(*w, QStringLiteral("mb"));
        QTRY_COMPARE_WITH_TIMEOUT(mode->text(), advised, kSlow);
        QTRY_VERIFY_WITH_TIMEOUT(!best->isVisible(), kSlow);
        // Arrows with modifiers.
        key(*w, Qt::Key_Right, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 7050010, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), 7050010.0, kSlow);
        // The numeric pad: the next band starts above the frequency.
        key(*w, Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
        QTRY_VERIFY_WITH_TIMEOUT(simFrequency(rx[0]) > 7050010, kSlow);
        // Clipboard paste and copy.
        QGuiApplication::clipboard()->setText(QStringLiteral("7050.5"));
        key(*w, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 7050500, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), 7050500.0, kSlow);
        QGuiApplication::clipboard()->clear();
        key(*w, Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("7050.5"));
        QGuiApplication::clipboard()->setText(QStringLiteral("not a number"));
        key(*w, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
        QCOMPARE(m.beeps, 1);
        // The region, the key help.
        auto* region = w->findChild<QLabel*>(QStringLiteral("RNG"));
        QCOMPARE(region->text(), QStringLiteral("R1"));
        typeText(*w, QStringLiteral("r"));
        QCOMPARE(region->text(), QStringLiteral("R2"));
        key(*w, Qt::Key_F1);
        auto* help = w->findChild<QWidget*>(QStringLiteral("KeyHelp"));
        QVERIFY(help && help->isVisible());
        QVERIFY(help->windowTitle().endsWith(QStringLiteral(" Keys      ")));
        help->move(120, 140);
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(help, &esc);
        QVERIFY(!help->isVisible());
        const AppSettings s(QString::fromStdString(config));
        QCOMPARE(s.readNumber("HelpLeft", 0), help->pos().x() * kTwipsPerPixel);
        // Tab: the next receiver, whose memory channels take a number then S or C.
        key(*w, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        QCOMPARE(w->currentReceiver(), 1);
        takeRemote(*w);
        QTRY_VERIFY_WITH_TIMEOUT(!w->digits().locked(), kSlow);
        typeText(*w, QStringLiteral("12s"));
        typeText(*w, QStringLiteral("7100\r"));
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[1]), 7100000, kSlow);
        typeText(*w, QStringLiteral("12c"));
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[1]), 9650000, kSlow);
        typeText(*w, QStringLiteral("250c"));
        QCOMPARE(m.beeps, 2);  // beyond the 200 channels
        w->close();
    }

    void labelClicksActOnTheReceiver()
    {
        const std::string config = unique("Clicks");
        std::vector<SimReceiver> rx;
        // The driver orders the instances by name.
        rx.push_back(ra1792("A-RA1792"));
        rx.push_back({"B-NRD535", "NRD535", DrvNRD535, sim::SimServer::Pty, nullptr});
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 2, kSlow);
        w->selectReceiver(0);
        auto* mode = w->findChild<QPushButton*>(QStringLiteral("ModEvent0"));
        QTRY_COMPARE_WITH_TIMEOUT(mode->text(), QStringLiteral("USB"), kSlow);
        // The padlock takes the receiver under remote control.
        auto* lock = w->findChild<QLabel*>(QStringLiteral("LockImg"));
        QVERIFY(lock);
        QTest::mouseClick(lock, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->digits().locked(), kSlow);
        // The best mode the band advises is set by a click on it.
        auto* best = w->findChild<QLabel*>(QStringLiteral("BMod"));
        QTRY_VERIFY_WITH_TIMEOUT(best->isVisible(), kSlow);
        const QString advised = best->text();
        QVERIFY(!advised.isEmpty() && advised != mode->text());
        QTest::mouseClick(best, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(mode->text(), advised, kSlow);
        QTRY_VERIFY_WITH_TIMEOUT(!best->isVisible(), kSlow);
        // The padlock again: back to local, typed digits are no longer taken.
        QTest::mouseClick(lock, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w->digits().locked(), kSlow);
        typeText(*w, QStringLiteral("6050\r"));
        QVERIFY(pollsPass(rx[0]));
        QCOMPARE(simFrequency(rx[0]), 7050000);
        // A receiver with an S-meter: a click switches S-points and dBuV.
        w->selectReceiver(1);
        auto* meter = w->findChild<QLabel*>(QStringLiteral("SM"));
        const auto inPoints = [meter] { return meter->text().trimmed().startsWith(QLatin1Char('S')); };
        QTRY_VERIFY2_WITH_TIMEOUT(inPoints(), qPrintable(meter->text()), kSlow);
        QTest::mouseClick(meter, Qt::LeftButton);
        QTRY_VERIFY2_WITH_TIMEOUT(!meter->text().trimmed().isEmpty() && !inPoints(), qPrintable(meter->text()), kSlow);
        QTest::mouseClick(meter, Qt::LeftButton);
        QTRY_VERIFY2_WITH_TIMEOUT(inPoints(), qPrintable(meter->text()), kSlow);
        w->close();
    }

    void silentReceiverBlinksAndIsRetried()
    {
        const std::string config = unique("Silent");
        std::vector<SimReceiver> rx;
        rx.push_back(ra1792());
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        auto* mask = w->findChild<QLabel*>(QStringLiteral("RxMask"));
        QTRY_VERIFY_WITH_TIMEOUT(!mask->isVisible(), kSlow);
        sim::FaultPlan silence;
        silence.silenceAfter = 0;
        rx[0].server->setFaults(silence);
        QTRY_VERIFY_WITH_TIMEOUT(mask->text() == QStringLiteral("Rx: Not responding"), kSlow);
        // The text blinks.
        bool seenShown = false, seenHidden = false;
        const auto blinked = [&] {
            (mask->isVisible() ? seenShown : seenHidden) = true;
            return seenShown && seenHidden;
        };
        QTRY_VERIFY_WITH_TIMEOUT(blinked(), kSlow);
        QVERIFY(w->linkError(0));
        rx[0].server->setFaults(sim::FaultPlan{});
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        QTRY_VERIFY_WITH_TIMEOUT(!mask->isVisible(), kSlow);
        QTRY_VERIFY_WITH_TIMEOUT(!w->linkError(0), kSlow);
        w->close();
    }

    void retryAfterAnErrorShowsConnecting()
    {
        // The retry of a receiver in error says "Connecting..." while it
        // runs, as the start-up does. The TCP link lets timers through
        // during the connect dialogue, so the text can be watched there.
        const std::string config = unique("Retry");
        std::vector<SimReceiver> rx;
        rx.push_back({"RA1792", "RA1792:1", DrvRA1792, sim::SimServer::Tcp, nullptr});
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        auto* mask = w->findChild<QLabel*>(QStringLiteral("RxMask"));
        QTRY_VERIFY_WITH_TIMEOUT(!mask->isVisible(), kSlow);
        sim::FaultPlan silence;
        silence.silenceAfter = 0;
        rx[0].server->setFaults(silence);
        QTRY_VERIFY_WITH_TIMEOUT(w->linkError(0), kSlow);
        const int before = rx[0].server->connections();
        rx[0].server->setFaults(sim::FaultPlan{});
        // Samples of the text while the retry's connection is open and the
        // receiver not yet connected again.
        QStringList seen;
        QTimer sampler;
        sampler.setInterval(0);
        connect(&sampler, &QTimer::timeout, this, [&] {
            std::int32_t connected = 0;
            if (rx[0].server->connections() > before && !w->linkError(0)) {
                w->driver()->get_RxIsConnected(0, &connected);
                if (connected == 0) {
                    seen << mask->text();
                }
            }
        });
        sampler.start();
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        sampler.stop();
        QVERIFY2(!seen.isEmpty(), "no sample during the retry");
        QCOMPARE(seen.first(), QString::fromLatin1(kConnecting));
        QTRY_VERIFY_WITH_TIMEOUT(!mask->isVisible(), kSlow);
        w->close();
    }

    void heldNrd535FollowsATypedFrequency()
    {
        // Held in remote the NRD535 is not asked for its full status: the
        // typed frequency must still reach the display and the driver.
        const std::string config = unique("HeldNrd");
        auto rx = receivers(false);
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        takeRemote(*w);
        QTRY_VERIFY_WITH_TIMEOUT(w->digits().locked() == false, kSlow);
        typeText(*w, QStringLiteral("7100\r"));
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 7100000, kSlow);
        std::int32_t now = 0;
        QTRY_VERIFY2_WITH_TIMEOUT((w->driver()->get_RxFrq(0, NONE, &now), now == 7100000),
                                  qPrintable(QString::number(now) + QLatin1Char(' ') + digitsOf(*w)), kSlow);
        // Several polls later the display still shows it.
        QVERIFY(pollsPass(rx[0], 12));
        QCOMPARE(digitsOf(*w), QStringLiteral("  7100000"));
        w->close();
    }

    void eventsOfUnknownReceiversAreDropped()
    {
        const std::string config = unique("Index");
        auto rx = receivers(false);
        startAndConfigure(config, rx);
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        auto* sink = w->eventSink();
        sink->RxConnState(8, ConnectRxTimeOut);
        sink->RxConnState(1, ConnectRxTimeOut);  // beyond the one receiver
        sink->RxConnState(-1, ConnectRxTimeOut);
        sink->RxOutUpdated(0, 9, 1);  // a tenth output of a model with ten
        sink->RxOutUpdated(12, 0, 1);
        sink->RxFrqUpdated(9, 7000000, 0);
        sink->RxChnUpdated(300, 4);
        QVERIFY(!w->linkError(1));
        QVERIFY(!w->linkError(8));
        QCOMPARE(w->currentReceiver(), 0);
        QCOMPARE(w->updateTimer().interval(), 500);
        w->close();
    }

    void digitLinkTunesTheReceiver()
    {
        const std::string config = unique("Dtmf");
        std::vector<SimReceiver> rx;
        const std::string instance = unique("Dtmf");
        rx.push_back(ra1792(instance));
        startAndConfigure(config, rx);
        AppSettings(QString::fromStdString(config)).writeBool("DDELink", true);
        const QString serverName = QStringLiteral("Vemox_") + QString::fromStdString(instance);
        QLocalServer::removeServer(serverName);
        QLocalServer server;
        QVERIFY(server.listen(serverName));
        RecordingMessages m;
        auto w = started(m, config);
        QVERIFY(w);
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kSlow);
        QLocalSocket* decoder = server.nextPendingConnection();
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(*w), 1, kSlow);
        takeRemote(*w);
        QTRY_VERIFY_WITH_TIMEOUT(!w->digits().locked(), kSlow);
        decoder->write("7|0\n0|1\n5|2\n0|3\n*|4\n5|5\n#|6\n");
        decoder->flush();
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 7050500, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), 7050500.0, kSlow);
        // "#" alone: 100 Hz up; a number beyond the range tunes nothing.
        decoder->write("#|0\n");
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 7050600, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(w->digits().readValue(), 7050600.0, kSlow);
        decoder->write("9|0\n9|1\n9|2\n9|3\n9|4\n9|5\n9|6\n9|7\n9|8\n9|9\n9|10\n#|11\n*|0\n");
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(rx[0]), 7050500, kSlow);
        w->close();
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
