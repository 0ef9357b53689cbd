// The link dialogs on the offscreen platform: port captions from the probe,
// the Rx address typing rule, OK saving only what changed, mark and space
// parity, and the channel selection through the seam.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "driver/links/commchannel.h"
#include "driver/links/dialogs/channelselectdialog.h"
#include "driver/links/dialogs/linkdialogsqt.h"
#include "driver/links/dialogs/serialsettingsdialog.h"
#include "driver/links/dialogs/socketsettingsdialog.h"
#include "driver/links/linkdialogs.h"
#include "driver/links/seriallink.h"
#include "driver/links/socketlink.h"
#include "platform/reporter.h"
#include "platform/settingsstore.h"
#include "scriptedbackend.h"
#include "tests/support/dialogscript.h"
#include "testsupport.h"

using namespace quorvin;
using namespace linktest;

namespace {

class BeepRecorder : public platform::Reporter {
public:
    void message(const std::string&, const std::string&, platform::MessageIcon) override {}
    bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
    void beep(int frequencyHz, int durationMs) override { beeps.emplace_back(frequencyHz, durationMs); }
    std::vector<std::pair<int, int>> beeps;
};

const std::string kKey = "SOFTWARE\\Korvane Software\\Main\\RX1";

template <typename T>
T* child(QWidget& dialog, const char* name)
{
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no child %s", name);
    }
    return found;
}

}  // namespace

class LinkDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_settings = std::make_unique<TempSettings>();
        m_pty = std::make_unique<Pty>();
        m_script = ScriptedBackend::Script{};
        m_link = std::make_unique<SerialLink>(&m_owner, std::make_unique<ScriptedBackend>(m_script));
        m_link->Load(kKey);
        for (int n = 1; n <= 12; ++n) {
            pointPort(n, "/dev/korvane-absent");
        }
        pointPort(2, m_pty->path());
        pointPort(3, m_pty->path());
        m_oldReporter = platform::setReporter(&m_beeps);
    }

    void cleanup()
    {
        platform::setReporter(m_oldReporter);
        m_link.reset();
        m_pty.reset();
        m_settings.reset();
        m_beeps.beeps.clear();
    }

    void serialPortsShowTheirStateAndAbsentOnesAreDisabled()
    {
        m_link->SetPort(2);
        const int other = ::open(m_pty->path().c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0);
        // Port 3 is the same terminal: hold it as another program would.
        QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
        SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("RX1 Serial settings"));
        auto* port1 = child<QRadioButton>(dialog, "port1");
        auto* port2 = child<QRadioButton>(dialog, "port2");
        QCOMPARE(port1->text(), QStringLiteral("COM1 "));
        QVERIFY(!port1->isEnabled());
        QCOMPARE(port2->text(), QStringLiteral("COM2 (Used)"));
        QVERIFY(port2->isEnabled());
        QVERIFY(port2->isChecked());
        // The device each port stands for is shown beside it.
        QCOMPARE(child<QLabel>(dialog, "device2")->text(), QString::fromStdString(m_pty->path()));
        QCOMPARE(child<QLabel>(dialog, "device1")->text(), QStringLiteral("/dev/korvane-absent"));
        QVERIFY(!child<QLabel>(dialog, "device1")->isEnabled());
        ::close(other);

        SerialSettingsDialog again(*m_link, QStringLiteral("RX1"));
        QCOMPARE(child<QRadioButton>(again, "port12")->text(), QStringLiteral("COM12 "));
        QCOMPARE(child<QRadioButton>(again, "port3")->text(), QStringLiteral("COM3 (Free)"));
    }

    void serialControlsShowTheCurrentSettings()
    {
        SerialLink::Settings s = m_link->settings();
        s.speed = 19200;
        s.dataBits = 7;
        s.stopBits = 2;
        s.parity = 's';
        s.testLink = 0;
        m_link->applySettings(s);
        SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
        QVERIFY(child<QRadioButton>(dialog, "speed19200")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "data7")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "stop2")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "parity_s")->isChecked());
        QVERIFY(!child<QCheckBox>(dialog, "testLink")->isChecked());
        QCOMPARE(child<QRadioButton>(dialog, "speed1200")->text(), QStringLiteral("1&200"));
        QCOMPARE(child<QRadioButton>(dialog, "parity_m")->text(), QStringLiteral("&mark"));
        QCOMPARE(child<QCheckBox>(dialog, "testLink")->text(), QStringLiteral("DSR/CTS &Test"));
    }

    void addressFieldOnlyWithBusAddressing()
    {
        {
            SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
            QVERIFY(child<QLineEdit>(dialog, "rxAddress")->isHidden());
        }
        m_link->SetBusAddressing(true);
        m_link->SetBusAddress(12);
        SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
        auto* edit = child<QLineEdit>(dialog, "rxAddress");
        QVERIFY(!edit->isHidden());
        QCOMPARE(edit->text(), QStringLiteral("12"));
    }

    void addressOutsideTheRangeBeepsAndComesBack()
    {
        m_link->SetBusAddressing(true);
        m_link->SetBusAddress(12);
        SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
        auto* edit = child<QLineEdit>(dialog, "rxAddress");
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("99"));
        QVERIFY(m_beeps.beeps.empty());
        QTest::keyClicks(edit, QStringLiteral("9"));
        QCOMPARE(m_beeps.beeps.size(), std::size_t{1});
        QCOMPARE(m_beeps.beeps[0], std::make_pair(440, 100));
        QCOMPARE(edit->text(), QStringLiteral("12"));
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("x"));
        QCOMPARE(m_beeps.beeps.size(), std::size_t{2});

        edit->clear();
        child<QPushButton>(dialog, "ok")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(m_link->busAddress(), std::int16_t{-1});
        QCOMPARE(platform::SettingsStore::shared().readNumber(kKey, "S_BusAdress", 0), 65535);
    }

    void okWithoutChangesEndsAsCancelled()
    {
        SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
        child<QPushButton>(dialog, "ok")->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!platform::SettingsStore::shared().readNumber(kKey, "S_Speed").has_value());
    }

    void okSavesMarkParityWhichTheNextLoadTurnsIntoNone()
    {
        SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
        child<QRadioButton>(dialog, "parity_m")->setChecked(true);
        child<QRadioButton>(dialog, "speed9600")->setChecked(true);
        child<QRadioButton>(dialog, "port3")->setChecked(true);
        child<QPushButton>(dialog, "ok")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(m_link->parity(), 'm');
        QCOMPARE(m_link->speed(), 9600);
        QCOMPARE(m_link->port(), std::int16_t{3});
        auto& store = platform::SettingsStore::shared();
        QCOMPARE(store.readText(kKey, "S_Parity", ""), std::string("m"));
        QCOMPARE(store.readNumber(kKey, "S_Speed", 0), 9600);
        QCOMPARE(store.readNumber(kKey, "S_Port", 0), 3);
        m_link->Load(kKey);
        QCOMPARE(m_link->parity(), 'n');
    }

    void currentPortStaysSelectedWhenItsDeviceIsGone()
    {
        SerialLink::Settings s = m_link->settings();
        QCOMPARE(s.port, std::int16_t{1});  // port 1 names no device here
        SerialSettingsDialog dialog(*m_link, QStringLiteral("RX1"));
        QVERIFY(child<QRadioButton>(dialog, "port1")->isChecked());
        QVERIFY(!child<QRadioButton>(dialog, "port1")->isEnabled());
    }

    void socketDialogSavesWhatChanged()
    {
        SocketLink socket(&m_owner, std::make_unique<FixedPinger>(-1));
        socket.Load(kKey);
        {
            SocketSettingsDialog dialog(socket, QStringLiteral("RX1"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("RX1 Socket settings"));
            QCOMPARE(child<QLineEdit>(dialog, "address")->maxLength(), 127);
            QVERIFY(child<QLineEdit>(dialog, "rxAddress")->isHidden());
            child<QLineEdit>(dialog, "tcpPort")->setText(QStringLiteral("0"));
            child<QPushButton>(dialog, "ok")->click();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(socket.port(), 21690);
        }
        socket.SetBusAddressing(true);
        SocketSettingsDialog dialog(socket, QStringLiteral("RX1"));
        child<QLineEdit>(dialog, "address")->setText(QStringLiteral("rx.example"));
        child<QLineEdit>(dialog, "tcpPort")->setText(QStringLiteral("4001"));
        child<QCheckBox>(dialog, "pingTest")->setChecked(false);
        auto* edit = child<QLineEdit>(dialog, "rxAddress");
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("150"));
        QCOMPARE(m_beeps.beeps.size(), std::size_t{1});
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("7"));
        child<QPushButton>(dialog, "ok")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        auto& store = platform::SettingsStore::shared();
        QCOMPARE(store.readText(kKey, "T_Addr", ""), std::string("rx.example"));
        QCOMPARE(store.readNumber(kKey, "T_Port", 0), 4001);
        QCOMPARE(store.readNumber(kKey, "T_TestLink", 9), 0);
        QCOMPARE(store.readNumber(kKey, "T_BusAddr", 0), 7);
    }

    void configureRunsBothDialogsThroughTheSeam()
    {
        QCOMPARE(linkDialogs(), static_cast<const LinkDialogs*>(nullptr));
        CommChannel channel(&m_owner, std::make_unique<ScriptedBackend>(m_script), std::make_unique<FixedPinger>(-1));
        channel.Load("Main", "RX1");
        QCOMPARE(channel.Configure("RX1"), 0);  // no dialogs installed

        installLinkDialogs();
        QStringList titles;
        // Answer each modal dialog as the operator would: TCP/IP, then a
        // new port.
        auto answer = [&] {
            QWidget* active = QApplication::activeModalWidget();
            if (active == nullptr) {
                return false;
            }
            titles << active->windowTitle();
            if (auto* socketRadio = active->findChild<QRadioButton*>(QStringLiteral("socket"))) {
                socketRadio->setChecked(true);
                active->findChild<QPushButton*>(QStringLiteral("next"))->click();
            } else {
                active->findChild<QLineEdit*>(QStringLiteral("tcpPort"))->setText(QStringLiteral("5555"));
                active->findChild<QPushButton*>(QStringLiteral("ok"))->click();
            }
            return true;
        };
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { answer(); });
        timer.start(20);
        QCOMPARE(channel.Configure("RX1"), 1);
        timer.stop();
        QCOMPARE(titles, (QStringList{QStringLiteral("Communication channel selection"),
                                      QStringLiteral("RX1 Socket settings")}));
        QCOMPARE(channel.type(), CommChannel::SocketType);
        QCOMPARE(platform::SettingsStore::shared().readNumber(kKey, "C_Type", 0), 1);
        QCOMPARE(channel.socket().port(), 5555);
        setLinkDialogs(nullptr);
    }

    void cancelledSettingsChangeNothingAndOkTakesTheOtherLink()
    {
        using korvane::test::DialogScript;
        auto& store = platform::SettingsStore::shared();
        CommChannel channel(&m_owner, std::make_unique<ScriptedBackend>(m_script), std::make_unique<FixedPinger>(-1));
        channel.Load("Main", "RX1");
        QVERIFY(channel.Open(true));
        const int port = channel.socket().port();
        installLinkDialogs();
        const auto chooseSocket = [](QWidget& d) {
            child<QRadioButton>(d, "socket")->setChecked(true);
            child<QPushButton>(d, "next")->click();
        };
        {
            // The other link chosen, its settings edited, then Cancel.
            DialogScript script;
            script.then(QStringLiteral("Communication channel selection"), chooseSocket)
                .then(QStringLiteral("RX1 Socket settings"), [](QWidget& d) {
                    child<QLineEdit>(d, "tcpPort")->setText(QStringLiteral("5555"));
                    child<QPushButton>(d, "cancel")->click();
                });
            QCOMPARE(channel.Configure("RX1"), 0);
            QVERIFY(script.done());
        }
        QCOMPARE(channel.type(), CommChannel::SerialType);
        QCOMPARE(store.readNumber(kKey, "C_Type", 7), 7);
        QCOMPARE(channel.socket().port(), port);
        QVERIFY(channel.IsOpen());
        {
            // OK on settings that already suit: the choice of the link is
            // the change.
            DialogScript script;
            script.then(QStringLiteral("Communication channel selection"), chooseSocket)
                .then(QStringLiteral("RX1 Socket settings"), [](QWidget& d) { child<QPushButton>(d, "ok")->click(); });
            QCOMPARE(channel.Configure("RX1"), 1);
            QVERIFY(script.done());
        }
        QCOMPARE(channel.type(), CommChannel::SocketType);
        QCOMPARE(store.readNumber(kKey, "C_Type", 7), 1);
        QVERIFY(!channel.serial().IsOpen());
        setLinkDialogs(nullptr);
    }

private:
    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<Pty> m_pty;
    ScriptedBackend::Script m_script;
    RecordingOwner m_owner;
    std::unique_ptr<SerialLink> m_link;
    BeepRecorder m_beeps;
    platform::Reporter* m_oldReporter = nullptr;
};

QTEST_MAIN(LinkDialogsTest)
#include "linkdialogs_test.moc"
