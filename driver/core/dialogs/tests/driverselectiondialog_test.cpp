// "Drivers selection and configuration" driven as an operator would: choose
// a model, edit the proposed name, add, answer the channel dialogs, remove
// all, done. The driver comes from the library's factory (which installs
// the dialogs); the settings store is a temporary file.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "driver/core/configstore.h"
#include "interfaces/component.h"
#include "interfaces/ireceiverdriver.h"
#include "interfaces/ireceiverdriverevents.h"
#include "platform/reporter.h"
#include "platform/settingsstore.h"
#include "tests/support/dialogscript.h"

extern "C" HRESULT KorvaneCreateComponent(const char* classId, void** object);

using namespace quorvin;
using korvane::test::DialogScript;

namespace {

const QString kSelection = QStringLiteral("Drivers selection and configuration");
const QString kChannel = QStringLiteral("Communication channel selection");

class Sink : public IgnoringReceiverEvents {
public:
    std::vector<std::int32_t> updates;
    HRESULT DrvUpdated(std::int32_t count) override
    {
        updates.push_back(count);
        return S_OK;
    }
};

class Recorder : public platform::Reporter {
public:
    void message(const std::string& title, const std::string& text, platform::MessageIcon) override
    {
        messages.push_back(title + ": " + text);
    }
    bool confirm(const std::string& title, const std::string&, bool) override
    {
        questions.push_back(title);
        return answer;
    }
    void beep(int, int) override {}
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answer = true;
};

template <typename T>
T* child(QWidget& dialog, const char* name)
{
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no child %s in %s", name, qPrintable(dialog.windowTitle()));
    }
    return found;
}

// Clicks a model of the known list where the operator would.
void chooseModel(QWidget& dialog, const QString& model)
{
    auto* list = child<QListWidget>(dialog, "knownDrivers");
    const auto items = list->findItems(model, Qt::MatchExactly);
    QCOMPARE_EQ(items.size(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.front()).center());
}

void typeName(QWidget& dialog, const QString& name)
{
    auto* edit = child<QLineEdit>(dialog, "instanceName");
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, name);
}

// Clicks a radio button or check box on its mark, as the operator would.
void tick(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void click(QWidget& dialog, const char* button)
{
    QTest::mouseClick(child<QAbstractButton>(dialog, button), Qt::LeftButton);
}

QStringList selectedNames(QWidget& dialog)
{
    QStringList names;
    auto* list = child<QListWidget>(dialog, "selectedDrivers");
    for (int i = 0; i < list->count(); ++i) {
        names << list->item(i)->text();
    }
    return names;
}

platform::SettingsStore& store()
{
    return platform::SettingsStore::shared();
}

}  // namespace

class SelectionDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        platform::SettingsStore::resetShared(
            m_dir.filePath(QStringLiteral("settings-%1.db").arg(++m_run)).toStdString());
        void* object = nullptr;
        QCOMPARE(KorvaneCreateComponent(kReceiverDriverClassId, &object), S_OK);
        m_driver = static_cast<IReceiverDriver*>(object);
        QCOMPARE(m_driver->Advise(&m_sink, &m_cookie), S_OK);
        m_sink.updates.clear();
        m_old = platform::setReporter(&m_recorder);
        m_recorder = Recorder{};
    }

    void cleanup()
    {
        platform::setReporter(m_old);
        m_driver->Unadvise(m_cookie);
        delete m_driver;
        m_driver = nullptr;
    }

    // The known list in its order; models without a driver in this build
    // are shown but cannot be chosen. Nothing can be added before a model
    // is chosen; "&Remove all" is off on an empty configuration.
    void opensWithTheKnownDriversAndItsButtonsOff()
    {
        DialogScript script;
        script.then(kSelection, [](QWidget& d) {
            auto* known = child<QListWidget>(d, "knownDrivers");
            QStringList names;
            for (int i = 0; i < known->count(); ++i) {
                names << known->item(i)->text();
            }
            QCOMPARE(names,
                     (QStringList{"NRD535", "RA6790", "RA1792", "TRC243", "REK085", "NDX264", "TRC294", "HF2050"}));
            QVERIFY(known->item(0)->flags() & Qt::ItemIsEnabled);
            QVERIFY(known->item(2)->flags() & Qt::ItemIsEnabled);
            QVERIFY(!child<QPushButton>(d, "add")->isEnabled());
            QVERIFY(!child<QLineEdit>(d, "instanceName")->isEnabled());
            QVERIFY(!child<QPushButton>(d, "removeAll")->isEnabled());
            QVERIFY(child<QPushButton>(d, "done")->isDefault());
            QCOMPARE(child<QPushButton>(d, "add")->text(), QStringLiteral("&Add"));
            QCOMPARE(child<QPushButton>(d, "removeAll")->text(), QStringLiteral("&Remove all"));
            QCOMPARE(child<QPushButton>(d, "done")->text(), QStringLiteral("&Done"));
            chooseModel(d, QStringLiteral("NRD535"));
            auto* name = child<QLineEdit>(d, "instanceName");
            QVERIFY(name->isEnabled());
            QCOMPARE(name->text(), QStringLiteral("NRD535"));
            QCOMPARE(name->selectedText(), QStringLiteral("NRD535"));
            QVERIFY(child<QPushButton>(d, "add")->isEnabled());
            click(d, "done");
        });
        std::int32_t count = -1;
        QCOMPARE(m_driver->DrvConfigure("Empty", ConfLoad, &count), S_OK);
        QVERIFY(script.done());
        QCOMPARE(count, 0);
        QVERIFY(m_sink.updates.empty());
    }

    // Two receivers of different models, one reached over TCP/IP, one over
    // a serial port; both keys hold what the dialogs chose. The
    // configuration was empty, so no DrvUpdated: the count is the answer.
    void addsTwoReceiversOfDifferentModels()
    {
        DialogScript script;
        script
            .then(kSelection,
                  [](QWidget& d) {
                      chooseModel(d, QStringLiteral("NRD535"));
                      click(d, "add");  // runs the channel dialogs below
                      chooseModel(d, QStringLiteral("RA1792"));
                      typeName(d, QStringLiteral("Bench RA"));
                      QTest::keyClick(child<QLineEdit>(d, "instanceName"), Qt::Key_Return);
                      QCOMPARE(selectedNames(d), (QStringList{"NRD535", "Bench RA"}));
                      QVERIFY(child<QPushButton>(d, "removeAll")->isEnabled());
                      click(d, "done");
                  })
            .then(kChannel,
                  [](QWidget& d) {
                      tick(child<QRadioButton>(d, "socket"));
                      click(d, "next");
                  })
            .then(QStringLiteral("NRD535 Socket settings"),
                  [](QWidget& d) {
                      auto* address = child<QLineEdit>(d, "address");
                      address->selectAll();
                      QTest::keyClicks(address, QStringLiteral("192.0.2.7"));
                      auto* port = child<QLineEdit>(d, "tcpPort");
                      port->selectAll();
                      QTest::keyClicks(port, QStringLiteral("4530"));
                      tick(child<QCheckBox>(d, "pingTest"));
                      click(d, "ok");
                  })
            .then(kChannel, [](QWidget& d) { click(d, "next"); })
            .then(QStringLiteral("Bench RA Serial settings"), [](QWidget& d) {
                tick(child<QRadioButton>(d, "speed9600"));
                tick(child<QCheckBox>(d, "testLink"));
                click(d, "ok");
            });
        std::int32_t count = -1;
        QCOMPARE(m_driver->DrvConfigure("Shack", ConfLoad, &count), S_OK);
        QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(", "))));
        QCOMPARE(count, 2);
        QVERIFY(m_sink.updates.empty());

        const std::string nrd = instanceKey("Shack", "NRD535");
        QCOMPARE(store().readNumber(nrd, "D_Type", -1), 0);
        QCOMPARE(store().readNumber(nrd, "C_Type", -1), 1);
        QCOMPARE(store().readText(nrd, "T_Addr", ""), std::string("192.0.2.7"));
        QCOMPARE(store().readNumber(nrd, "T_Port", -1), 4530);
        QCOMPARE(store().readNumber(nrd, "T_TestLink", -1), 0);
        const std::string ra = instanceKey("Shack", "Bench RA");
        QCOMPARE(store().readNumber(ra, "D_Type", -1), 2);
        QCOMPARE(store().readNumber(ra, "C_Type", 0), 0);
        QCOMPARE(store().readNumber(ra, "S_Speed", -1), 9600);
        QCOMPARE(store().readNumber(ra, "S_TestLink", -1), 0);

        // Loading again finds both, without the dialog.
        QCOMPARE(m_driver->DrvConfigure("Shack", ConfLoad, &count), S_OK);
        QCOMPARE(count, 1);
        std::int16_t n = 0;
        QCOMPARE(m_driver->get_RxCount(&n), S_OK);
        QCOMPARE(n, 2);
        std::string name;
        m_driver->get_RxName(0, &name);
        QCOMPARE(name, std::string("Bench RA"));  // the store lists keys alphabetically
    }

    // Eleven characters at most; a name taken in any letter case, an empty
    // name and names that would nest keys are refused without a word; eight
    // or more entries refuse every further add.
    void nameRulesAndTheEightEntryLimit()
    {
        DialogScript script;
        script.whenever(kChannel, [](QWidget& d) { click(d, "cancel"); });
        script.then(kSelection, [](QWidget& d) {
            chooseModel(d, QStringLiteral("RA1792"));
            typeName(d, QStringLiteral("FifteenCharName"));
            click(d, "add");
            QCOMPARE(selectedNames(d), QStringList{"FifteenChar"});
            typeName(d, QStringLiteral("fifteencharXYZ"));
            click(d, "add");
            typeName(d, QString());
            click(d, "add");
            typeName(d, QStringLiteral("   "));
            click(d, "add");
            typeName(d, QStringLiteral("a\\b"));
            click(d, "add");
            typeName(d, QStringLiteral("a/b"));
            click(d, "add");
            QCOMPARE(selectedNames(d), QStringList{"FifteenChar"});
            chooseModel(d, QStringLiteral("NRD535"));
            click(d, "add");
            click(d, "add");  // twice: added once
            QCOMPARE(selectedNames(d), (QStringList{"FifteenChar", "NRD535"}));
            for (int i = 3; i <= 9; ++i) {
                typeName(d, QStringLiteral("RX%1").arg(i));
                click(d, "add");
            }
            QCOMPARE(selectedNames(d).size(), 8);
            QVERIFY(!selectedNames(d).contains(QStringLiteral("RX9")));
            click(d, "done");
        });
        std::int32_t count = -1;
        QCOMPARE(m_driver->DrvConfigure("Names", ConfDialog, &count), S_OK);
        QVERIFY(script.done());
        QCOMPARE(count, 8);
        QVERIFY(m_recorder.messages.empty());
        const auto keys = store().subkeys(configurationKey("Names"));
        QCOMPARE(keys.size(), std::size_t{8});
        QCOMPARE(store().readNumber(instanceKey("Names", "FifteenChar"), "D_Type", -1), 2);
        QVERIFY(!store().keyExists(instanceKey("Names", "RX9")));
        // Nothing landed in the configuration key itself.
        QVERIFY(!store().readNumber(configurationKey("Names"), "D_Type").has_value());
    }

    // "&Remove all" deletes every instance key (the configuration key and
    // DefaultBfo stay); "&Done" then reports DrvUpdated with 0.
    void removeAllThenDoneFiresDrvUpdatedWithZero()
    {
        store().writeNumber(configurationKey("Full"), "DefaultBfo", 1500);
        store().writeNumber(instanceKey("Full", "A"), "D_Type", 0);
        store().writeNumber(instanceKey("Full", "B"), "D_Type", 2);
        DialogScript script;
        script.then(kSelection, [](QWidget& d) {
            QCOMPARE(selectedNames(d), (QStringList{"A", "B"}));
            QVERIFY(child<QPushButton>(d, "removeAll")->isEnabled());
            click(d, "removeAll");
            QVERIFY(selectedNames(d).isEmpty());
            QVERIFY(!child<QPushButton>(d, "removeAll")->isEnabled());
            QVERIFY(!child<QPushButton>(d, "add")->isEnabled());
            click(d, "done");
        });
        std::int32_t count = -1;
        QCOMPARE(m_driver->DrvConfigure("Full", ConfDialog, &count), S_OK);
        QVERIFY(script.done());
        QCOMPARE(count, 0);
        QCOMPARE(m_sink.updates, std::vector<std::int32_t>{0});
        QCOMPARE(m_recorder.questions.size(), std::size_t{1});
        QVERIFY(store().keyExists(configurationKey("Full")));
        QVERIFY(store().subkeys(configurationKey("Full")).empty());
        QCOMPARE(store().readNumber(configurationKey("Full"), "DefaultBfo", 0), 1500);
    }

    // Declining the question keeps every receiver and its settings.
    void removeAllDeclinedKeepsEverything()
    {
        store().writeNumber(instanceKey("Keep", "A"), "D_Type", 0);
        m_recorder.answer = false;
        DialogScript script;
        script.then(kSelection, [](QWidget& d) {
            click(d, "removeAll");
            QCOMPARE(selectedNames(d), QStringList{"A"});
            click(d, "done");
        });
        std::int32_t count = -1;
        QCOMPARE(m_driver->DrvConfigure("Keep", ConfDialog, &count), S_OK);
        QVERIFY(script.done());
        QCOMPARE(count, 1);
        QVERIFY(m_sink.updates.empty());
        QCOMPARE(store().readNumber(instanceKey("Keep", "A"), "D_Type", -1), 0);
    }

    // A double click on a selected driver runs its channel dialogs again;
    // an added instance on a configuration that had some fires DrvUpdated.
    void doubleClickConfiguresTheChannel()
    {
        store().writeNumber(instanceKey("Dbl", "A"), "D_Type", 0);
        DialogScript script;
        script
            .then(kSelection,
                  [](QWidget& d) {
                      auto* list = child<QListWidget>(d, "selectedDrivers");
                      const QPoint where = list->visualItemRect(list->item(0)).center();
                      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
                      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
                      click(d, "done");
                  })
            .then(kChannel,
                  [](QWidget& d) {
                      tick(child<QRadioButton>(d, "socket"));
                      click(d, "next");
                  })
            .then(QStringLiteral("A Socket settings"), [](QWidget& d) { click(d, "cancel"); });
        std::int32_t count = -1;
        QCOMPARE(m_driver->DrvConfigure("Dbl", ConfDialog, &count), S_OK);
        QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(", "))));
        QCOMPARE(count, 1);
        // No instance was added or removed.
        QVERIFY(m_sink.updates.empty());
    }

private:
    QTemporaryDir m_dir;
    int m_run = 0;
    IReceiverDriver* m_driver = nullptr;
    Sink m_sink;
    std::uint32_t m_cookie = 0;
    Recorder m_recorder;
    platform::Reporter* m_old = nullptr;
};

QTEST_MAIN(SelectionDialogTest)
#include "driverselectiondialog_test.moc"
