// The mode buttons, forwarding, the options dialog and the network server
// inside the application: the dialog alone against a recording driver, and
// one window on three simulated receivers (two RA1792, one NRD535) whose
// start-up the window cases share.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <unistd.h>

#include <map>
#include <set>

#include "controller/app/config.h"
#include "controller/app/mainwindow.h"
#include "controller/app/modebuttons.h"
#include "controller/core/appsettings.h"
#include "controller/core/receiverservers.h"
#include "fakedriver.h"
#include "platform/settingsstore.h"
#include "ra1792sim.h"
#include "server/rigctlserver.h"
#include "tests/support/dialogscript.h"
#include "windowtestsupport.h"

using namespace tessaly;
using namespace tessaly::test;
using namespace quorvin;

namespace {

constexpr int kSlow = 30000;  // generous: the machine is shared

// The fake driver, with the configuration calls recorded and a second
// receiver that appears once the driver dialog has run.
class ConfigDriver : public FakeDriver {
public:
    std::vector<std::pair<std::string, ConfMode>> configured;
    std::vector<std::int16_t> receiverConfigured;
    std::int16_t count = 1;
    std::int32_t dialogCount = 2;  // what DrvConfigure with the dialog answers

    HRESULT DrvConfigure(const std::string& name, ConfMode mode, std::int32_t* p) override
    {
        configured.emplace_back(name, mode);
        count = static_cast<std::int16_t>(dialogCount);
        *p = dialogCount;
        return S_OK;
    }
    HRESULT RxConfigure(std::int16_t index, std::int32_t* p) override
    {
        receiverConfigured.push_back(index);
        *p = 1;
        return S_OK;
    }
    HRESULT get_RxCount(std::int16_t* p) override
    {
        *p = count;
        return count > 0 ? S_OK : S_FALSE;
    }
    HRESULT get_RxName(std::int16_t i, std::string* p) override
    {
        if (i < 0 || i >= count) {
            p->clear();
        } else {
            *p = count == 1 ? "Fake" : "New" + std::to_string(i);
        }
        return S_OK;
    }
};

// Counts the frequency and mode reports of every receiver.
class CountingSink : public IReceiverDriverEvents {
public:
    std::map<std::int16_t, std::vector<std::int32_t>> frq;
    std::map<std::int16_t, std::vector<MODTYPE>> mod;
    int count(std::int16_t i, std::int32_t hz) const
    {
        const auto it = frq.find(i);
        return it == frq.end() ? 0 : static_cast<int>(std::count(it->second.begin(), it->second.end(), hz));
    }
    QString dump() const
    {
        QStringList out;
        for (const auto& [i, v] : frq) {
            QStringList values;
            for (auto f : v) {
                values << QString::number(f);
            }
            out << QStringLiteral("%1: %2").arg(i).arg(values.join(QLatin1Char(' ')));
        }
        return out.join(QStringLiteral("; "));
    }
    std::size_t total() const
    {
        std::size_t n = 0;
        for (const auto& [i, v] : frq) {
            n += v.size();
        }
        for (const auto& [i, v] : mod) {
            n += v.size();
        }
        return n;
    }
    HRESULT DrvUpdated(std::int32_t) override { return S_OK; }
    HRESULT RxConnState(std::int16_t, ConnErr) override { return S_OK; }
    HRESULT RxDataError(std::int16_t, DataErr) override { return S_OK; }
    HRESULT RxFrqUpdated(std::int16_t i, std::int32_t f, std::int32_t) override
    {
        frq[i].push_back(f);
        return S_OK;
    }
    HRESULT RxChnUpdated(std::int16_t, std::int16_t) override { return S_OK; }
    HRESULT RxModUpdated(std::int16_t i, MODTYPE m, std::int32_t) override
    {
        mod[i].push_back(m);
        return S_OK;
    }
    HRESULT RxFltUpdated(std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT RxAgcUpdated(std::int16_t, AGCTYPE, std::int16_t) override { return S_OK; }
    HRESULT RxNBlUpdated(std::int16_t, NBLTYPE, std::int16_t) override { return S_OK; }
    HRESULT RxAttUpdated(std::int16_t, ATTSTATE, std::int16_t) override { return S_OK; }
    HRESULT RxSqlUpdated(std::int16_t, SQLSTATE, std::int16_t) override { return S_OK; }
    HRESULT RxSMtUpdated(std::int16_t, std::int32_t, std::int16_t, std::int16_t, const std::string&) override
    {
        return S_OK;
    }
    HRESULT RxHFFUpdated(std::int16_t, HFFSTATE) override { return S_OK; }
    HRESULT RxChnStatus(std::int16_t, std::int16_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                        std::int32_t, std::int32_t) override
    {
        return S_OK;
    }
    HRESULT RxOutUpdated(std::int16_t, std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT RxStpUpdated(std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT RxRmtState(std::int16_t, std::int32_t) override { return S_OK; }
};

// Notes which receivers reported a connection.
class ConnectionSink : public CountingSink {
public:
    std::set<std::int16_t> connected;
    HRESULT RxConnState(std::int16_t i, ConnErr err) override
    {
        if (err == ConnectNoError) {
            connected.insert(i);
        }
        return S_OK;
    }
};

quint16 freePorts(int n)
{
    // A base port with n free ports above it.
    for (int attempt = 0; attempt < 50; ++attempt) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            continue;
        }
        const quint16 base = probe.serverPort();
        probe.close();
        if (base + n >= 65535) {
            continue;
        }
        bool free = true;
        for (int i = 0; i < n && free; ++i) {
            QTcpServer s;
            free = s.listen(QHostAddress::LocalHost, static_cast<quint16>(base + i));
        }
        if (free) {
            return base;
        }
    }
    return 0;
}

template <typename T>
T* child(QObject& parent, const char* name)
{
    return parent.findChild<T*>(QString::fromLatin1(name));
}

MODTYPE modeOf(MainWindow& w, std::int16_t i)
{
    MODTYPE m = ModNone;
    w.driver()->get_RxMod(i, &m);
    return m;
}

std::int32_t frqOf(MainWindow& w, std::int16_t i)
{
    std::int32_t f = -1;
    w.driver()->get_RxFrq(i, NONE, &f);
    return f;
}

}  // namespace

class OptionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSettings> m_settings;
    std::vector<SimReceiver> m_rx;
    RecordingMessages m_messages;
    std::unique_ptr<MainWindow> m_w;
    std::string m_config;
    quint16 m_base = 0;
    std::unique_ptr<QTcpServer> m_squatter;  // holds the second receiver's port

    int connectedCount()
    {
        std::int16_t count = 0;
        m_w->driver()->get_RxCount(&count);
        int n = 0;
        for (std::int16_t i = 0; i < count; ++i) {
            std::int32_t c = 0;
            m_w->driver()->get_RxIsConnected(i, &c);
            n += c != 0 ? 1 : 0;
        }
        return n;
    }

    // The driver announces its list of n receivers; waits until the window
    // connected every one of them again (the connects may run after the
    // announcement returned). `selected`: the receiver the window chose on
    // the announcement, before any connect came back (each connect that does
    // selects its receiver, in whatever order the receivers answer).
    bool announce(int n, std::int16_t* selected = nullptr)
    {
        ConnectionSink sink;
        std::uint32_t cookie = 0;
        m_w->driver()->Advise(&sink, &cookie);
        m_w->eventSink()->DrvUpdated(n);
        if (selected != nullptr) {
            *selected = m_w->currentReceiver();
        }
        const bool done = QTest::qWaitFor([&] { return int(sink.connected.size()) >= n; }, kSlow * 2);
        m_w->driver()->Unadvise(cookie);
        return done;
    }

    bool allConnected()
    {
        for (std::int16_t i = 0; i < 3; ++i) {
            std::int32_t c = 0;
            m_w->driver()->get_RxIsConnected(i, &c);
            if (c == 0) {
                return false;
            }
        }
        return true;
    }

    // The AGC the simulated RA1792 of receiver r was last set to.
    std::pair<int, int> ra1792Agc(std::int16_t r)
    {
        return m_rx[static_cast<std::size_t>(r)].server->withLine([](sim::SimLine& line) {
            const sim::Ra1792State& s = line.as<sim::Ra1792Sim>()->state();
            return std::pair<int, int>{s.agc, s.gain};
        });
    }

    // Clicks a mode button of an RA1792 until its caption comes back to
    // where it began; the captions seen, in order.
    QStringList stepAround(ModeButtons::Code code)
    {
        QPushButton* b = m_w->modeButtons()->button(code);
        const std::int16_t r = m_w->currentReceiver();
        SimReceiver& rx = m_rx[static_cast<std::size_t>(r)];
        const QString first = b->text();
        QStringList seen{first};
        for (int i = 0; i < 16; ++i) {
            const QString before = b->text();
            const auto agcBefore = ra1792Agc(r);
            b->click();
            // An AGC step the driver refuses sends nothing (every accepted
            // one sets another AGC): once five more poll replies came (every
            // byte sent before them has reached the receiver) and its AGC
            // is as before, no new caption is coming.
            const int until = rx.server->repliesSent() + 5;
            bool refused = false;
            const bool changed = QTest::qWaitFor(
                [&] {
                    if (b->text() != before) {
                        return true;
                    }
                    refused =
                        code == ModeButtons::Agc && rx.server->repliesSent() >= until && ra1792Agc(r) == agcBefore;
                    return refused;
                },
                kSlow);
            if (!changed || refused) {
                MODTYPE m = ModNone;
                m_w->driver()->get_RxMod(m_w->currentReceiver(), &m);
                std::int32_t remote = 0, connected = 0;
                m_w->driver()->get_RxIsRemote(m_w->currentReceiver(), &remote);
                m_w->driver()->get_RxIsConnected(m_w->currentReceiver(), &connected);
                seen << QStringLiteral("<stuck at %1: rx %2 mode %3 remote %4 connected %5>")
                            .arg(before)
                            .arg(m_w->currentReceiver())
                            .arg(m)
                            .arg(remote)
                            .arg(connected);
                break;
            }
            if (b->text() == first) {
                break;
            }
            seen << b->text();
        }
        return seen;
    }

private slots:
    void initTestCase()
    {
        m_settings = std::make_unique<TestSettings>();
        m_config = "Opt" + std::to_string(::getpid());
        m_rx.push_back({"A-RA1792", "RA1792:1", DrvRA1792, sim::SimServer::Pty, nullptr});
        m_rx.push_back({"B-RA1792", "RA1792:1", DrvRA1792, sim::SimServer::Pty, nullptr});
        m_rx.push_back({"C-NRD535", "NRD535", DrvNRD535, sim::SimServer::Pty, nullptr});
        startAndConfigure(m_config, m_rx);
        m_base = freePorts(3);
        QVERIFY(m_base != 0);
        m_squatter = std::make_unique<QTcpServer>();
        QVERIFY(m_squatter->listen(QHostAddress::LocalHost, static_cast<quint16>(m_base + 1)));
        const AppSettings s(QString::fromStdString(m_config));
        s.writeBool("NetServer", true);
        s.writeNumber("NetPort", m_base);
    }

    void cleanupTestCase()
    {
        if (m_w) {
            m_w->close();
            m_w.reset();
        }
        m_rx.clear();
        m_settings.reset();
    }

    // ---- The dialog alone -------------------------------------------------------

    void okStoresCancelKeepsAndTheStoreReloads()
    {
        ConfigDriver driver;
        RecordingMessages messages;
        const AppSettings settings(QStringLiteral("Dlg%1").arg(::getpid()));
        Options options;
        options.load(settings);
        Config dialog(settings.instance(), settings, options, driver, messages);
        dialog.prepare();
        dialog.show();
        QCOMPARE(dialog.tabs()->currentIndex(), int(Config::GeneralTab));
        QCOMPARE(dialog.tabs()->tabText(Config::DriversTab), QStringLiteral("&Drivers"));
        QCOMPARE(dialog.tabs()->tabText(Config::ReceiverTab), QStringLiteral("Fake"));
        QCOMPARE(dialog.tabs()->tabText(Config::GeneralTab), QStringLiteral("&General"));
        auto* onTop = child<QCheckBox>(dialog, "WndOTop");
        auto* dde = child<QCheckBox>(dialog, "DDEOAct");
        QVERIFY(onTop && dde);
        QCOMPARE(onTop->text(), QStringLiteral("Dialog always on &top"));
        QCOMPARE(onTop->toolTip(), QStringLiteral("If selected, dialog will alway be on top"));
        QCOMPARE(child<QCheckBox>(dialog, "SndTimR")->text(), QStringLiteral("Send time to receivers"));
        QVERIFY(onTop->isChecked() && !dde->isChecked());
        QVERIFY(!child<QCheckBox>(dialog, "NetServer")->isChecked());
        QCOMPARE(child<QLineEdit>(dialog, "NetAddress")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(child<QSpinBox>(dialog, "NetPort")->value(), 4532);

        // Cancel: nothing changes, nothing is stored.
        const QStringList boxes{"WndOTop", "WndBeep", "WndMonR", "FrqSetM", "FrqSetF", "SndTimR"};
        for (const QString& name : boxes) {
            child<QCheckBox>(dialog, name.toLatin1().constData())->setChecked(false);
        }
        dde->setChecked(true);
        child<QPushButton>(dialog, "cmdCancel")->click();
        QVERIFY(dialog.cancelled());
        QVERIFY(!dialog.isVisible());
        QVERIFY(options.OptOnTop && !options.OptDDELink);
        QCOMPARE(settings.readNumber("WindowsOnTop", 7), 7);

        // Opened again, the boxes show the options, not the cancelled edits.
        dialog.prepare();
        dialog.show();
        QVERIFY(onTop->isChecked() && !dde->isChecked());
        for (const QString& name : boxes) {
            child<QCheckBox>(dialog, name.toLatin1().constData())->setChecked(false);
        }
        dde->setChecked(true);
        // A network address that is none is refused, and the dialog stays.
        child<QCheckBox>(dialog, "NetServer")->setChecked(true);
        child<QLineEdit>(dialog, "NetAddress")->setText(QStringLiteral("300.1.2.3"));
        child<QPushButton>(dialog, "cmdOK")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts.at(0).contains(QStringLiteral("300.1.2.3")));
        QVERIFY(options.OptOnTop);
        child<QLineEdit>(dialog, "NetAddress")->setText(QStringLiteral(" 0.0.0.0 "));
        child<QSpinBox>(dialog, "NetPort")->setValue(5000);
        child<QSpinBox>(dialog, "NetIdle")->setValue(0);
        child<QPushButton>(dialog, "cmdOK")->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.cancelled());
        // Seven zeros, "FollowCarrier" untouched by the dialog.
        for (const char* name :
             {"WindowsOnTop", "WindowsBeep", "MonitorChanges", "AutoMode", "AutoFilter", "SendTime"}) {
            QCOMPARE(settings.readNumber(name, 7), 0);
        }
        QCOMPARE(settings.readNumber("DDELink", 7), -1);
        QCOMPARE(settings.readNumber("FollowCarrier", 7), -1);
        Options reloaded;
        reloaded.load(settings);
        QVERIFY(!reloaded.OptOnTop && !reloaded.OptBeep && !reloaded.OptMonitorChanges && !reloaded.OptAutoMode &&
                !reloaded.OptAutoFilter && !reloaded.OptSendTime && reloaded.OptDDELink && reloaded.OptFollowCarrier);
        QVERIFY(reloaded.OptNetServer);
        QCOMPARE(reloaded.OptNetAddress, QStringLiteral("0.0.0.0"));
        QCOMPARE(reloaded.OptNetPort, 5000);
        QCOMPARE(reloaded.OptNetIdle, 0);
        settings.deleteInstance();
    }

    void configButtonsCallThroughAndRenameTheReceiverTab()
    {
        ConfigDriver driver;
        RecordingMessages messages;
        const AppSettings settings(QStringLiteral("Btn%1").arg(::getpid()));
        Options options;
        Config dialog(QStringLiteral("Shack"), settings, options, driver, messages);
        dialog.setReceiver(0);
        dialog.prepare();
        dialog.show();
        QCOMPARE(dialog.tabs()->tabText(Config::ReceiverTab), QStringLiteral("Fake"));
        dialog.tabs()->setCurrentIndex(Config::DriversTab);
        QCOMPARE(dialog.driversButton()->text(), QStringLiteral("&Config."));
        dialog.driversButton()->click();
        QCOMPARE(driver.configured.size(), std::size_t(1));
        QCOMPARE(driver.configured[0].first, std::string("Shack"));
        QCOMPARE(driver.configured[0].second, ConfDialog);
        // The dialog answered with two receivers: the caption follows.
        QCOMPARE(dialog.tabs()->tabText(Config::ReceiverTab), QStringLiteral("New0"));
        QCOMPARE(dialog.tabs()->currentIndex(), int(Config::GeneralTab));

        dialog.setReceiver(1);
        QCOMPARE(dialog.tabs()->tabText(Config::ReceiverTab), QStringLiteral("New1"));
        dialog.tabs()->setCurrentIndex(Config::ReceiverTab);
        dialog.receiverButton()->click();
        QCOMPARE(driver.receiverConfigured, std::vector<std::int16_t>{1});
        QCOMPARE(dialog.tabs()->currentIndex(), int(Config::GeneralTab));

        // Every receiver removed: no caption, and nothing to configure.
        driver.dialogCount = 0;
        dialog.driversButton()->click();
        QVERIFY(dialog.tabs()->tabText(Config::ReceiverTab).isEmpty());
        QVERIFY(!dialog.receiverButton()->isEnabled());
        dialog.reject();
    }

    // ---- One window on three simulated receivers --------------------------------

    void startsServingAndReportsTheBusyPortOnce()
    {
        m_w = std::make_unique<MainWindow>(m_messages);
        QCOMPARE(m_w->startUp(QString::fromStdString(m_config)), MainWindow::StartResult::Running);
        m_w->show();
        QVERIFY(QTest::qWaitFor([&] { return allConnected(); }, kSlow * 2));
        // The RA1792s under remote control; the NRD535 stays local, where
        // it reports what it is told.
        for (std::int16_t i = 0; i < 2; ++i) {
            std::int32_t result = 0;
            m_w->driver()->RxRemote(i, -1, &result);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_w->digits().locked(), kSlow);
        ReceiverServers* servers = m_w->servers();
        QVERIFY(servers != nullptr);
        QCOMPARE(servers->count(), 3);
        QVERIFY(servers->server(0) && servers->server(0)->isListening());
        QCOMPARE(servers->server(0)->port(), m_base);
        QVERIFY(servers->server(1) == nullptr);
        QVERIFY(servers->server(2) && servers->server(2)->port() == m_base + 2);
        QCOMPARE(m_messages.texts.size(), 1);
        QVERIFY2(m_messages.texts.at(0).contains(QStringLiteral("Receiver 1 (B-RA1792)")) &&
                     m_messages.texts.at(0).contains(QString::number(m_base + 1)),
                 qPrintable(m_messages.texts.at(0)));
        // The receivers' list announced again (the same receivers): the
        // working servers keep going and the busy port is not told again.
        QVERIFY(announce(3));
        QCOMPARE(m_w->tabs()->count(), 3);
        QCOMPARE(m_messages.texts.size(), 1);
        server::RigctlServer* first = m_w->servers()->server(0);
        QVERIFY(first != nullptr);
        QVERIFY(m_w->servers()->server(1) == nullptr);
        // Once the port is free, the next look serves it too, and the others
        // are the same servers as before.
        m_squatter.reset();
        QVERIFY(announce(3));
        QVERIFY(m_w->servers()->server(1) != nullptr);
        QCOMPARE(m_w->servers()->server(1)->port(), quint16(m_base + 1));
        QCOMPARE(m_w->servers()->server(0), first);
        QCOMPARE(m_messages.texts.size(), 1);
        for (std::int16_t i = 0; i < 2; ++i) {
            std::int32_t result = 0;
            m_w->driver()->RxRemote(i, -1, &result);
        }
    }

    void modeButtonsStepThroughWhatEachModelOffers()
    {
        QVERIFY(m_w);
        ModeButtons* modes = m_w->modeButtons();
        {
            const std::int16_t r = 0;
            m_w->selectReceiver(r);
            QTRY_VERIFY_WITH_TIMEOUT(!m_w->digits().locked(), kSlow);
            QTRY_VERIFY_WITH_TIMEOUT(modes->button(ModeButtons::Mode)->isEnabled(), kSlow);
            // Every mode the model offers, each once, and back.
            std::set<QString> offered;
            std::map<QString, bool> emulated;
            for (int m = 0; m < MODMAX; ++m) {
                std::int32_t exists = 0, emu = 0;
                m_w->driver()->get_RxModExist(r, static_cast<MODTYPE>(m), &exists);
                if (exists != 0) {
                    std::string name;
                    m_w->driver()->get_RxModName(r, static_cast<MODTYPE>(m), &name);
                    m_w->driver()->get_RxIsModEmu(r, static_cast<MODTYPE>(m), &emu);
                    offered.insert(QString::fromStdString(name));
                    emulated[QString::fromStdString(name)] = emu != 0;
                }
            }
            QPushButton* mode = modes->button(ModeButtons::Mode);
            const QStringList modesSeen = stepAround(ModeButtons::Mode);
            const std::set<QString> seenSet(modesSeen.begin(), modesSeen.end());
            QCOMPARE(seenSet.size(), std::size_t(modesSeen.size()));
            QVERIFY2(seenSet == offered, qPrintable(modesSeen.join(QLatin1Char(','))));
            // The emulated modes in the brighter cyan.
            for (const auto& [name, emu] : emulated) {
                if (emu) {
                    while (mode->text() != name) {
                        const QString before = mode->text();
                        mode->click();
                        QVERIFY(QTest::qWaitFor([&] { return mode->text() != before; }, kSlow));
                    }
                    QVERIFY2(mode->styleSheet().contains(QStringLiteral("#80ffff")), qPrintable(mode->styleSheet()));
                }
            }
            // Filters: the widths of the receiver's slots; AGC: its settings.
            std::set<QString> widths;
            std::int16_t slotCount = 0;
            m_w->driver()->get_RxFltCount(r, &slotCount);
            for (std::int16_t s = 0; s < slotCount; ++s) {
                std::int32_t hz = 0;
                m_w->driver()->get_RxFltValue(r, s, &hz);
                if (hz > 0) {
                    widths.insert(QString::number(hz));
                }
            }
            const QStringList filtersSeen = stepAround(ModeButtons::Filter);
            QVERIFY2(filtersSeen.size() >= 2, qPrintable(filtersSeen.join(QLatin1Char(','))));
            for (const QString& f : filtersSeen) {
                QVERIFY2(widths.count(f) == 1, qPrintable(filtersSeen.join(QLatin1Char(','))));
            }
            std::set<QString> agcs;
            for (int a = 0; a < AGCMAX; ++a) {
                std::int32_t exists = 0;
                m_w->driver()->get_RxAgcExist(r, static_cast<AGCTYPE>(a), &exists);
                if (exists != 0) {
                    std::string name;
                    m_w->driver()->get_RxAgcName(r, static_cast<AGCTYPE>(a), &name);
                    agcs.insert(QString::fromStdString(name));
                }
            }
            // (The manual AGC is named but refused unless the receiver's
            // settings allow it: the walk may stop there.)
            QStringList agcSeen = stepAround(ModeButtons::Agc);
            if (agcSeen.last().startsWith(QLatin1Char('<'))) {
                agcSeen.removeLast();
            }
            QVERIFY2(agcSeen.size() >= 3, qPrintable(agcSeen.join(QLatin1Char(','))));
            for (const QString& a : agcSeen) {
                QVERIFY2(agcs.count(a) == 1, qPrintable(agcSeen.join(QLatin1Char(','))));
            }
        }
        // The RA1792 has neither attenuator nor noise blanker: greyed out.
        m_w->selectReceiver(0);
        QVERIFY(!modes->button(ModeButtons::Attenuator)->isEnabled());
        QVERIFY(!modes->button(ModeButtons::NoiseBlanker)->isEnabled());
        QVERIFY(modes->button(ModeButtons::Mode)->isEnabled());
        // The NRD535 has both; in local control every button is locked.
        m_w->selectReceiver(2);
        QVERIFY(modes->offers(ModeButtons::Attenuator) && modes->offers(ModeButtons::NoiseBlanker));
        QVERIFY(!modes->button(ModeButtons::Mode)->isEnabled());
        QVERIFY(!modes->button(ModeButtons::Attenuator)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(modes->button(ModeButtons::Attenuator)->text().startsWith(QStringLiteral("Att:")) ||
                                     modes->button(ModeButtons::Attenuator)->text().endsWith(QStringLiteral("dB")),
                                 kSlow);
    }

    void masterDrivesTheOthersAndAllDriveAllWithoutEchoes()
    {
        QVERIFY(m_w);
        auto* mst = child<QCheckBox>(*m_w, "GenEvent0");
        auto* fwd = child<QCheckBox>(*m_w, "GenEvent1");
        QVERIFY(mst->isEnabled() && fwd->isEnabled());
        CountingSink counter;
        std::uint32_t cookie = 0;
        m_w->driver()->Advise(&counter, &cookie);
        // Gone with the case, however it ends: a failed check returns early.
        struct Unadvise {
            IReceiverDriver* driver;
            std::uint32_t cookie;
            ~Unadvise() { driver->Unadvise(cookie); }
        } unadvise{m_w->driver(), cookie};

        // Receiver 0 becomes the master.
        m_w->selectReceiver(0);
        mst->click();
        std::int16_t forward = 0;
        m_w->driver()->get_RxForward(&forward);
        QCOMPARE(forward, std::int16_t(0));
        QVERIFY(mst->styleSheet().contains(QStringLiteral("#ffff00")));
        m_w->driver()->put_RxFrq(0, NONE, 6010000);
        QTRY_VERIFY_WITH_TIMEOUT(simFrequency(m_rx[1]) == 6010000 && simFrequency(m_rx[2]) == 6010000, kSlow);
        QTRY_VERIFY2_WITH_TIMEOUT(
            counter.count(0, 6010000) && counter.count(1, 6010000) && counter.count(2, 6010000),
            qPrintable(counter.dump() +
                       QStringLiteral(" driver: %1 %2 %3").arg(frqOf(*m_w, 0)).arg(frqOf(*m_w, 1)).arg(frqOf(*m_w, 2))),
            kSlow);
        // The mode button of the master reaches the others as well.
        QPushButton* mode = m_w->modeButtons()->button(ModeButtons::Mode);
        const MODTYPE before = modeOf(*m_w, 0);
        mode->click();
        QTRY_VERIFY_WITH_TIMEOUT(modeOf(*m_w, 0) != before, kSlow);
        const MODTYPE chosen = modeOf(*m_w, 0);
        QTRY_COMPARE_WITH_TIMEOUT(modeOf(*m_w, 1), chosen, kSlow);
        // The display stayed on the master while the others reported.
        QCOMPARE(m_w->currentReceiver(), std::int16_t(0));
        // Quiet: every receiver reported the frequency once, and nothing more
        // comes (an echo storm would go on reporting).
        QTest::qWait(1500);
        const std::size_t settled = counter.total();
        QTest::qWait(1500);
        QCOMPARE(counter.total(), settled);
        for (std::int16_t i = 0; i < 3; ++i) {
            QVERIFY2(counter.count(i, 6010000) == 1, qPrintable(counter.dump()));
        }
        // The master is marked only while it is displayed.
        m_w->selectReceiver(1);
        QVERIFY(!mst->styleSheet().contains(QStringLiteral("#ffff00")));
        // A slave's own change stays its own.
        m_w->driver()->put_RxFrq(1, NONE, 6020000);
        QTRY_COMPARE_WITH_TIMEOUT(simFrequency(m_rx[1]), 6020000, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(counter.count(1, 6020000), 1, kSlow);
        QTest::qWait(1000);
        QCOMPARE(frqOf(*m_w, 0), 6010000);
        QCOMPARE(frqOf(*m_w, 2), 6010000);
        m_w->selectReceiver(0);
        QVERIFY(mst->styleSheet().contains(QStringLiteral("#ffff00")));

        // Everyone drives everyone: a change on receiver 2 goes back to 0 and 1.
        fwd->click();
        m_w->driver()->get_RxForward(&forward);
        QCOMPARE(forward, std::int16_t(-2));
        QVERIFY(!mst->isChecked());
        QVERIFY(!mst->styleSheet().contains(QStringLiteral("#ffff00")));
        QVERIFY(fwd->styleSheet().contains(QStringLiteral("#ffff00")));
        m_w->driver()->put_RxFrq(2, NONE, 6030000);
        QTRY_VERIFY_WITH_TIMEOUT(frqOf(*m_w, 0) == 6030000 && frqOf(*m_w, 1) == 6030000, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->digits().readValue(), 6030000.0, kSlow);
        QTest::qWait(1500);
        const std::size_t settledAll = counter.total();
        QTest::qWait(1500);
        QCOMPARE(counter.total(), settledAll);
        for (std::int16_t i = 0; i < 3; ++i) {
            QVERIFY2(counter.count(i, 6030000) == 1, qPrintable(counter.dump()));
        }
    }

    void aClientOfTheServerTunesAndTheWindowFollows()
    {
        QVERIFY(m_w);
        // Forwarding as the previous case left it: everyone drives everyone.
        std::int16_t forward = 0;
        m_w->driver()->get_RxForward(&forward);
        QCOMPARE(forward, std::int16_t(-2));
        m_w->selectReceiver(0);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, m_base);
        QVERIFY(client.waitForConnected(kSlow));
        client.write("F 7123000\n");
        QByteArray reply;
        QVERIFY(QTest::qWaitFor(
            [&] {
                reply += client.readAll();
                return reply.contains('\n');
            },
            kSlow));
        QCOMPARE(reply, QByteArray("RPRT 0\n"));
        QTRY_COMPARE_WITH_TIMEOUT(m_w->digits().readValue(), 7123000.0, kSlow);
        QTRY_VERIFY_WITH_TIMEOUT(frqOf(*m_w, 1) == 7123000 && frqOf(*m_w, 2) == 7123000, kSlow);
        client.disconnectFromHost();
    }

    void optionsDialogEndsForwardingAndRebuildsTheServers()
    {
        QVERIFY(m_w);
        auto* mst = child<QCheckBox>(*m_w, "GenEvent0");
        auto* fwd = child<QCheckBox>(*m_w, "GenEvent1");
        mst->click();
        m_w->selectReceiver(2);
        // The next base port moves the servers.
        const quint16 next = freePorts(3);
        QVERIFY(next != 0);
        std::int16_t forwardSeen = 0;
        korvane::test::DialogScript script;
        script.then(QStringLiteral("Options"), [&](QWidget& d) {
            m_w->driver()->get_RxForward(&forwardSeen);
            auto& dialog = static_cast<Config&>(d);
            QCOMPARE(dialog.tabs()->tabText(Config::ReceiverTab), QStringLiteral("C-NRD535"));
            child<QSpinBox>(dialog, "NetPort")->setValue(next);
            child<QPushButton>(dialog, "cmdOK")->click();
        });
        auto* config = child<QPushButton>(*m_w, "Config");
        QVERIFY(config->isEnabled());
        config->click();
        QVERIFY(script.done());
        QCOMPARE(forwardSeen, std::int16_t(-1));
        QVERIFY(!mst->isChecked() && !fwd->isChecked());
        QCOMPARE(m_w->servers()->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(m_w->servers()->server(i) != nullptr);
            QCOMPARE(m_w->servers()->server(i)->port(), next + i);
        }
        QCOMPARE(AppSettings(QString::fromStdString(m_config)).readNumber("NetPort", 0), int(next));

        // Switched off: no server is left listening. The digit links follow
        // their box as soon as the dialog closes.
        auto* ddeState = child<QWidget>(*m_w, "DDESts");
        QVERIFY(!ddeState->isVisible());
        korvane::test::DialogScript off;
        off.then(QStringLiteral("Options"), [&](QWidget& d) {
            child<QCheckBox>(d, "NetServer")->setChecked(false);
            child<QCheckBox>(d, "DDEOAct")->setChecked(true);
            child<QPushButton>(d, "cmdOK")->click();
        });
        config->click();
        QVERIFY(off.done());
        QVERIFY(m_w->options().OptDDELink);
        QVERIFY(ddeState->isVisible());
        QCOMPARE(m_w->servers()->count(), 0);
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, next);
        QVERIFY(!probe.waitForConnected(3000));

        // The driver's own dialog is reached from the "&Drivers" tab.
        korvane::test::DialogScript drivers;
        drivers
            .then(QStringLiteral("Options"),
                  [&](QWidget& d) {
                      auto& dialog = static_cast<Config&>(d);
                      dialog.tabs()->setCurrentIndex(Config::DriversTab);
                      dialog.driversButton()->click();
                      QCOMPARE(dialog.tabs()->currentIndex(), int(Config::GeneralTab));
                      // Cancel leaves the digit links on.
                      child<QCheckBox>(dialog, "DDEOAct")->setChecked(false);
                      child<QPushButton>(dialog, "cmdCancel")->click();
                  })
            .then(QStringLiteral("Drivers selection and configuration"), [](QWidget& d) {
                for (auto* b : d.findChildren<QPushButton*>()) {
                    if (b->text() == QStringLiteral("&Done")) {
                        b->click();
                    }
                }
            });
        config->click();
        QVERIFY(drivers.done());
        QCOMPARE(m_w->tabs()->count(), 3);
        QVERIFY(m_w->options().OptDDELink && ddeState->isVisible());
        korvane::test::DialogScript linksOff;
        linksOff.then(QStringLiteral("Options"), [&](QWidget& d) {
            child<QCheckBox>(d, "DDEOAct")->setChecked(false);
            child<QPushButton>(d, "cmdOK")->click();
        });
        config->click();
        QVERIFY(linksOff.done());
        QVERIFY(!ddeState->isVisible());
    }

    void fewerReceiversRebuildTheWindowSafely()
    {
        QVERIFY(m_w);
        m_w->selectReceiver(2);
        auto* mst = child<QCheckBox>(*m_w, "GenEvent0");
        mst->click();
        // The third receiver leaves the configuration, as the driver dialog's
        // changes do, and the driver announces the new list.
        auto& store = platform::SettingsStore::shared();
        const std::string key =
            platform::SettingsStore::join(platform::SettingsStore::join(platform::kSettingsRoot, m_config), "C-NRD535");
        QVERIFY(store.deleteTree(key));
        std::int32_t loaded = 0;
        QCOMPARE(m_w->driver()->DrvConfigure(m_config, ConfLoad, &loaded), S_OK);
        // The receiver shown was the third: the window moves to the last one
        // left. The connects that follow select their receivers as they come
        // back, so which one is shown after them is the receivers' timing.
        std::int16_t selected = -1;
        QVERIFY(announce(2, &selected));
        QCOMPARE(selected, std::int16_t(1));
        QCOMPARE(m_w->tabs()->count(), 2);
        QVERIFY(m_w->currentReceiver() == 0 || m_w->currentReceiver() == 1);
        QVERIFY(!mst->isChecked());
        QVERIFY(!mst->styleSheet().contains(QStringLiteral("#ffff00")));
        QTRY_VERIFY_WITH_TIMEOUT(connectedCount() == 2, kSlow);
        // The caption names the receiver shown.
        const std::int16_t shown = m_w->currentReceiver();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_w->windowTitle().contains(QString::fromStdString(m_rx[static_cast<std::size_t>(shown)].instance)), kSlow);
        // Events of the receiver that went are dropped.
        m_w->eventSink()->RxFrqUpdated(2, 7000000, 0);
        m_w->eventSink()->RxConnState(2, ConnectRxTimeOut);
        QVERIFY(!m_w->linkError(2));
        QCOMPARE(m_w->currentReceiver(), shown);
    }
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
