// A new user's first start: Tessaly on a configuration that does not exist
// yet. The driver library shows its selection dialog; the operator adds an
// NRD535, reaches it over TCP/IP (a simulated receiver in this process),
// presses "&Done", and the main window opens on it, connected. The next
// start finds the receiver without any dialog. Then the receiver's own
// settings dialog is reached through RxConfigure, as the options dialog
// does. On the offscreen platform, with a settings file of the test's own.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

#include <unistd.h>

#include "controller/app/mainwindow.h"
#include "platform/settingsstore.h"
#include "tests/support/dialogscript.h"
#include "windowtestsupport.h"

using namespace tessaly;
using namespace tessaly::test;
using korvane::test::DialogScript;

namespace {

constexpr int kSlow = 30000;  // generous: the machine is shared

template <typename T>
T* child(QWidget& dialog, const char* name)
{
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no child %s in %s", name, qPrintable(dialog.windowTitle()));
    }
    return found;
}

void click(QWidget& dialog, const char* button)
{
    QTest::mouseClick(child<QAbstractButton>(dialog, button), Qt::LeftButton);
}

// Clicks a check box or radio button on its mark.
void tick(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void type(QWidget& dialog, const char* field, const QString& text)
{
    auto* edit = child<QLineEdit>(dialog, field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

bool connected(MainWindow& w)
{
    std::int32_t c = 0;
    w.driver()->get_RxIsConnected(0, &c);
    return c != 0;
}

}  // namespace

class FirstReceiverTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSettings> m_settings;

private slots:
    void initTestCase() { m_settings = std::make_unique<TestSettings>(); }
    void cleanupTestCase() { m_settings.reset(); }

    void fromNothingToAConnectedReceiver()
    {
        std::string error;
        auto rx = sim::SimServer::create("NRD535", sim::SimServer::Tcp, 0, &error);
        QVERIFY2(rx, error.c_str());
        const QString instance = QStringLiteral("Shack%1").arg(::getpid());
        const QString port = QString::number(rx->port());

        DialogScript script;
        script
            .then(QStringLiteral("Drivers selection and configuration"),
                  [](QWidget& d) {
                      auto* known = child<QListWidget>(d, "knownDrivers");
                      const auto items = known->findItems(QStringLiteral("NRD535"), Qt::MatchExactly);
                      QCOMPARE(items.size(), 1);
                      QTest::mouseClick(known->viewport(), Qt::LeftButton, {},
                                        known->visualItemRect(items.front()).center());
                      QCOMPARE(child<QLineEdit>(d, "instanceName")->text(), QStringLiteral("NRD535"));
                      click(d, "add");  // the channel dialogs below
                      auto* selected = child<QListWidget>(d, "selectedDrivers");
                      QCOMPARE(selected->count(), 1);
                      click(d, "done");
                  })
            .then(QStringLiteral("Communication channel selection"),
                  [](QWidget& d) {
                      tick(child<QRadioButton>(d, "socket"));
                      click(d, "next");
                  })
            .then(QStringLiteral("NRD535 Socket settings"), [port](QWidget& d) {
                type(d, "address", QStringLiteral("127.0.0.1"));
                type(d, "tcpPort", port);
                auto* ping = child<QCheckBox>(d, "pingTest");
                if (ping->isChecked()) {
                    tick(ping);
                }
                click(d, "ok");
            });

        {
            RecordingMessages messages;
            MainWindow w(messages);
            QCOMPARE(w.startUp(instance), MainWindow::StartResult::Running);
            QVERIFY2(script.done(), qPrintable(script.seen().join(QLatin1Char(','))));
            QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join(QLatin1Char('|'))));
            w.show();
            QCOMPARE(w.tabs()->count(), 1);
            QCOMPARE(w.tabs()->tabText(0), QStringLiteral("&NRD535"));
            QVERIFY(QTest::qWaitFor([&] { return connected(w); }, kSlow));
            QVERIFY(QTest::qWaitFor([&] { return w.digits().text().trimmed() == QStringLiteral("9650000"); }, kSlow));

            // The receiver's own settings, as the options dialog opens them.
            DialogScript settings;
            settings.then(QStringLiteral("NRD535 Receiver settings"), [](QWidget& d) {
                type(d, "C_Wait", QStringLiteral("200"));
                click(d, "ok");
            });
            std::int32_t result = -1;
            QCOMPARE(w.driver()->RxConfigure(0, &result), S_OK);
            QCOMPARE(result, 1);
            QVERIFY(settings.done());
            QVERIFY(connected(w));
            w.close();
        }

        // The next start finds the receiver: no dialog.
        DialogScript unexpected;
        unexpected.whenever(QStringLiteral("Drivers selection and configuration"),
                            [](QWidget& d) { click(d, "done"); });
        RecordingMessages messages;
        MainWindow w(messages);
        QCOMPARE(w.startUp(instance), MainWindow::StartResult::Running);
        QVERIFY(unexpected.seen().isEmpty());
        QCOMPARE(w.tabs()->count(), 1);
        QVERIFY(QTest::qWaitFor([&] { return connected(w); }, kSlow));
        const std::string key = "SOFTWARE\\Korvane Software\\" + instance.toStdString() + "\\NRD535";
        QCOMPARE(platform::SettingsStore::shared().readNumber(key, "C_Wait", 0), 200);
        w.close();
    }
};

QTEST_MAIN(FirstReceiverTest)
#include "firstreceiver_test.moc"
