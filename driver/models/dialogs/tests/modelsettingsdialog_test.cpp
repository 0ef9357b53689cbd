// "<instance> Receiver settings" driven as an operator would, through
// RxConfigure of the driver the library's factory creates (which installs
// the dialogs): values typed, ticked and chosen, OK or Cancel, and what the
// settings file and the driver then hold. Receivers are simulated in this
// process on TCP ports; the settings store is a temporary file.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include "driver/core/configstore.h"
#include "faultplan.h"
#include "interfaces/component.h"
#include "interfaces/ireceiverdriver.h"
#include "interfaces/ireceiverdriverevents.h"
#include "platform/reporter.h"
#include "platform/settingsstore.h"
#include "simserver.h"
#include "tests/support/dialogscript.h"

extern "C" HRESULT KorvaneCreateComponent(const char* classId, void** object);

using namespace quorvin;
using korvane::test::DialogScript;

namespace {

constexpr int kSlow = 30000;  // generous: the machine is shared

const QString kSelection = QStringLiteral("Drivers selection and configuration");
const QString kChannel = QStringLiteral("Communication channel selection");

QString settingsTitle(const char* instance)
{
    return QString::fromLatin1(instance) + QStringLiteral(" Receiver settings");
}

// A client that may call back into the driver from an event, as an
// application's handler does.
class Sink : public IgnoringReceiverEvents {
public:
    std::function<void(std::int16_t, ConnErr)> onConnState;
    HRESULT RxConnState(std::int16_t index, ConnErr err) override
    {
        if (onConnState) {
            onConnState(index, err);
        }
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
        return true;
    }
    void beep(int, int) override {}
    QString all() const
    {
        QStringList list;
        for (const auto& m : messages) {
            list << QString::fromStdString(m);
        }
        return list.join(QLatin1Char('|'));
    }
    std::vector<std::string> messages;
    std::vector<std::string> questions;
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

void type(QWidget& dialog, const char* field, const QString& text)
{
    auto* edit = child<QLineEdit>(dialog, field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Clicks a check box or radio button on its mark, as the operator would.
void tick(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void click(QWidget& dialog, const char* button)
{
    QTest::mouseClick(child<QAbstractButton>(dialog, button), Qt::LeftButton);
}

platform::SettingsStore& store()
{
    return platform::SettingsStore::shared();
}

// Every value of a key, for before-and-after comparisons.
QStringList valuesOf(const std::string& key)
{
    QStringList list;
    for (const auto& v : store().values(key)) {
        list << QString::fromStdString(v.name) + QLatin1Char('=') +
                    (v.type == platform::ValueType::Number ? QString::number(v.number)
                                                           : QString::fromStdString(v.text));
    }
    return list;
}

}  // namespace

class ModelSettingsDialogTest : public QObject {
    Q_OBJECT

private:
    // An instance of `type` in configuration `config`, reached over TCP at
    // the simulator's port, written as the selection dialog and the socket
    // dialog would leave it.
    void configure(const std::string& config, const std::string& instance, DrvType type, std::uint16_t port)
    {
        const std::string key = instanceKey(config, instance);
        store().writeNumber(key, "D_Type", type);
        store().writeNumber(key, "C_Type", 1);
        store().writeText(key, "T_Addr", "127.0.0.1");
        store().writeNumber(key, "T_Port", port);
        store().writeNumber(key, "T_TestLink", 0);
        store().writeNumber(key, "T_Delay", 0);
    }

    std::unique_ptr<sim::SimServer> simulate(const char* line)
    {
        std::string error;
        auto server = sim::SimServer::create(line, sim::SimServer::Tcp, 0, &error);
        if (!server) {
            qFatal("simulator: %s", error.c_str());
        }
        return server;
    }

    bool connectReceiver(std::int16_t index)
    {
        ConnErr result = ConnectNoError;
        m_driver->RxConnect(index, -1, &result);
        if (result != ConnectNoError) {
            return false;
        }
        return QTest::qWaitFor(
            [&] {
                std::int32_t connected = 0;
                m_driver->get_RxIsConnected(index, &connected);
                return connected != 0;
            },
            kSlow);
    }

    std::int32_t configureReceiver(std::int16_t index)
    {
        std::int32_t result = -1;
        if (m_driver->RxConfigure(index, &result) != S_OK) {
            return -2;
        }
        return result;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        platform::SettingsStore::resetShared(
            m_dir.filePath(QStringLiteral("settings-%1.db").arg(++m_run)).toStdString());
        void* object = nullptr;
        QCOMPARE(KorvaneCreateComponent(kReceiverDriverClassId, &object), S_OK);
        m_driver = static_cast<IReceiverDriver*>(object);
        m_sink.onConnState = nullptr;
        QCOMPARE(m_driver->Advise(&m_sink, &m_cookie), S_OK);
        m_recorder = Recorder{};
        m_old = platform::setReporter(&m_recorder);
    }

    void cleanup()
    {
        platform::setReporter(m_old);
        m_driver->Unadvise(m_cookie);
        delete m_driver;
        m_driver = nullptr;
    }

    // NRD535: the poll period, a filter width and the trace flag are
    // changed; OK stores exactly those three, and the driver at once polls
    // at the new period, offers the new width and selects it, and the
    // receiver's next status reports the slot at that width.
    void nrd535OkStoresWhatChangedAndTheDriverUsesIt()
    {
        auto rx = simulate("NRD535");
        configure("Nrd", "NRD535", DrvNRD535, rx->port());
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Nrd", ConfLoad, &count), S_OK);
        QVERIFY(connectReceiver(0));
        const std::string key = instanceKey("Nrd", "NRD535");
        QVERIFY(!store().readNumber(key, "F_Int").has_value());

        DialogScript script;
        script.then(settingsTitle("NRD535"), [](QWidget& d) {
            QCOMPARE(child<QLineEdit>(d, "C_Wait")->text(), QStringLiteral("250"));
            QCOMPARE(child<QLineEdit>(d, "C_Retr")->text(), QStringLiteral("8"));
            QCOMPARE(child<QLineEdit>(d, "F_Nar")->text(), QStringLiteral("1000"));
            QCOMPARE(child<QLineEdit>(d, "F_Int")->text(), QStringLiteral("2200"));
            QVERIFY(child<QCheckBox>(d, "C_Test")->isChecked());
            QVERIFY(!child<QCheckBox>(d, "C_Dbg")->isChecked());
            QVERIFY(d.findChild<QCheckBox*>(QStringLiteral("R_MAgc")) == nullptr);  // no use on an NRD535
            type(d, "C_Wait", QStringLiteral("300"));
            type(d, "F_Nar", QStringLiteral("800"));
            tick(child<QCheckBox>(d, "C_Dbg"));
            click(d, "ok");
        });
        QCOMPARE(configureReceiver(0), 1);
        QVERIFY2(script.done(), qPrintable(script.seen().join(QLatin1Char(','))));
        QVERIFY2(m_recorder.messages.empty(), qPrintable(m_recorder.all()));

        QCOMPARE(store().readNumber(key, "C_Wait", 0), 300);
        QCOMPARE(store().readNumber(key, "F_Nar", 0), 800);
        QCOMPARE(store().readNumber(key, "C_Dbg", 0), 1);
        // Nothing else was written.
        QVERIFY(!store().readNumber(key, "F_Int").has_value());
        QVERIFY(!store().readNumber(key, "F_Wide").has_value());

        std::int32_t width = 0;
        m_driver->get_RxFltValue(0, 0, &width);
        QCOMPARE(width, 800);
        // The receiver is still connected; a filter request near 800 Hz now
        // selects the narrow slot, which the next status reports at 800 Hz.
        std::int32_t connected = 0;
        m_driver->get_RxIsConnected(0, &connected);
        QCOMPARE(connected, 1);
        std::int32_t chosen = 0;
        m_driver->put_RxFltBW(0, 700);
        QVERIFY(QTest::qWaitFor(
            [&] {
                m_driver->get_RxFltBW(0, &chosen);
                return chosen == 800;
            },
            kSlow));

        // A new driver loads what was stored.
        std::int32_t again = 0;
        QCOMPARE(m_driver->DrvConfigure("Nrd", ConfLoad, &again), S_OK);
        m_driver->get_RxFltValue(0, 0, &width);
        QCOMPARE(width, 800);
    }

    // Cancel after changes stores nothing and changes nothing; OK with
    // nothing changed ends the same way (0), without a write.
    void cancelAndUnchangedOkStoreNothing()
    {
        configure("Cancel", "RA1792", DrvRA1792, 1);
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Cancel", ConfLoad, &count), S_OK);
        const std::string key = instanceKey("Cancel", "RA1792");
        const QStringList before = valuesOf(key);

        DialogScript script;
        script
            .then(settingsTitle("RA1792"),
                  [](QWidget& d) {
                      type(d, "C_Wait", QStringLiteral("400"));
                      type(d, "F_FL3", QStringLiteral("500"));
                      tick(child<QCheckBox>(d, "R_MAgc"));
                      click(d, "cancel");
                  })
            .then(settingsTitle("RA1792"), [](QWidget& d) { click(d, "ok"); });
        QCOMPARE(configureReceiver(0), 0);
        QCOMPARE(configureReceiver(0), 0);
        QVERIFY(script.done());
        QCOMPARE(valuesOf(key), before);
        std::int32_t width = 0;
        m_driver->get_RxFltValue(0, 0, &width);
        QCOMPARE(width, 300);  // F_FL3, the narrowest offered
    }

    // Values outside their ranges are named in a message and never stored;
    // the dialog stays open with what was typed, and a value in range then
    // goes through.
    void outOfRangeValuesAreRefused()
    {
        configure("Range", "RX", DrvNDX264, 1);
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Range", ConfLoad, &count), S_OK);
        const std::string key = instanceKey("Range", "RX");
        const QStringList before = valuesOf(key);
        Recorder& recorder = m_recorder;

        DialogScript script;
        script.then(settingsTitle("RX"), [&recorder, key, before](QWidget& d) {
            type(d, "C_Wait", QStringLiteral("600"));
            click(d, "ok");
            QVERIFY(d.isVisible());
            QCOMPARE(recorder.messages.size(), std::size_t{1});
            QCOMPARE(recorder.messages.back(),
                     std::string("RX Receiver settings: Poll period must be between 150 and 500 ms."));
            QCOMPARE(d.focusWidget(), child<QLineEdit>(d, "C_Wait"));
            type(d, "C_Wait", QStringLiteral("200"));
            type(d, "C_Retr", QStringLiteral("9"));
            click(d, "ok");
            QCOMPARE(recorder.messages.back(),
                     std::string("RX Receiver settings: Silent polls must be between 10 and 40."));
            type(d, "C_Retr", QStringLiteral("12"));
            type(d, "F_FL2", QString());  // emptied
            click(d, "ok");
            QCOMPARE(recorder.messages.back(),
                     std::string("RX Receiver settings: Filter 2 must be between 0 and 100000 Hz."));
            type(d, "F_FL2", QStringLiteral("9999999"));  // seven digits at most are taken
            click(d, "ok");
            QCOMPARE(recorder.messages.back(),
                     std::string("RX Receiver settings: Filter 2 must be between 0 and 100000 Hz."));
            QCOMPARE(valuesOf(key), before);
            type(d, "F_FL2", QStringLiteral("250"));
            click(d, "ok");
        });
        QCOMPARE(configureReceiver(0), 1);
        QVERIFY(script.done());
        QCOMPARE(m_recorder.messages.size(), std::size_t{4});
        QCOMPARE(store().readNumber(key, "C_Wait", 0), 200);
        QCOMPARE(store().readNumber(key, "C_Retr", 0), 12);
        QCOMPARE(store().readNumber(key, "F_FL2", 0), 250);
        std::int32_t width = 0;
        m_driver->get_RxFltValue(0, 0, &width);
        QCOMPARE(width, 250);
    }

    // TRC294: its two options, ticked, widen the range at once and bring
    // CW, USB and LSB; untouched, nothing else is written.
    void trc294OptionsWidenRangeAndModes()
    {
        configure("Trc", "TRC294", DrvTRC294, 1);
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Trc", ConfLoad, &count), S_OK);
        std::int32_t value = 0;
        m_driver->get_RxFrqMax(0, &value);
        QCOMPARE(value, 119999999);
        m_driver->get_RxModExist(0, ModUSB, &value);
        QCOMPARE(value, 0);
        const std::string key = instanceKey("Trc", "TRC294");

        DialogScript script;
        script.then(settingsTitle("TRC294"), [](QWidget& d) {
            QVERIFY(!child<QCheckBox>(d, "O_EXT")->isChecked());
            QVERIFY(!child<QCheckBox>(d, "O_SSB")->isChecked());
            QCOMPARE(child<QLineEdit>(d, "F_FL3")->text(), QStringLiteral("36000"));
            tick(child<QCheckBox>(d, "O_EXT"));
            tick(child<QCheckBox>(d, "O_SSB"));
            click(d, "ok");
        });
        QCOMPARE(configureReceiver(0), 1);
        QVERIFY(script.done());
        QCOMPARE(store().readNumber(key, "O_EXT", 0), 1);
        QCOMPARE(store().readNumber(key, "O_SSB", 0), 1);
        QVERIFY(!store().readNumber(key, "F_FL3").has_value());
        m_driver->get_RxFrqMax(0, &value);
        QCOMPARE(value, 499999999);
        m_driver->get_RxModExist(0, ModUSB, &value);
        QCOMPARE(value, 1);
        m_driver->get_RxModExist(0, ModCW, &value);
        QCOMPARE(value, 1);
    }

    // REK085: the filter widths follow the variant chosen and cannot be
    // typed over; OK stores the variant and the driver offers its filters.
    void rek085VariantSetsTheFilters()
    {
        configure("Rek", "REK085", DrvREK085, 1);
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Rek", ConfLoad, &count), S_OK);
        const std::string key = instanceKey("Rek", "REK085");

        DialogScript script;
        script.then(settingsTitle("REK085"), [](QWidget& d) {
            auto* variant = child<QComboBox>(d, "R_MOpt");
            QCOMPARE(variant->currentIndex(), 4);
            QCOMPARE(variant->currentText(), QStringLiteral("V2: 300, 3100, 8000 Hz"));
            QVERIFY(!child<QLineEdit>(d, "F_W1")->isEnabled());
            QCOMPARE(child<QLineEdit>(d, "F_W2")->text(), QStringLiteral("3100"));
            variant->setCurrentIndex(0);
            QCOMPARE(child<QLineEdit>(d, "F_W2")->text(), QStringLiteral("2400"));
            QCOMPARE(child<QLineEdit>(d, "F_W4")->text(), QStringLiteral("0"));
            click(d, "ok");
        });
        QCOMPARE(configureReceiver(0), 1);
        QVERIFY(script.done());
        QCOMPARE(store().readNumber(key, "R_MOpt", -1), 0);
        std::int16_t filters = 0;
        m_driver->get_RxFltCount(0, &filters);
        QCOMPARE(filters, std::int16_t{3});
        std::int32_t width = 0;
        m_driver->get_RxFltValue(0, 1, &width);
        QCOMPARE(width, 2400);
    }

    // HF2050: without its ISB option the mode is gone at once; manual AGC
    // can be allowed.
    void hf2050IsbOptionAndManualAgc()
    {
        configure("Hf", "HF2050", DrvHF2050, 1);
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Hf", ConfLoad, &count), S_OK);
        std::int32_t exists = 0;
        m_driver->get_RxModExist(0, ModISB, &exists);
        QCOMPARE(exists, 1);
        DialogScript script;
        script.then(settingsTitle("HF2050"), [](QWidget& d) {
            QVERIFY(child<QCheckBox>(d, "O_ISB")->isChecked());
            QCOMPARE(child<QLineEdit>(d, "F_FLS")->text(), QStringLiteral("3200"));
            tick(child<QCheckBox>(d, "O_ISB"));
            tick(child<QCheckBox>(d, "R_MAgc"));
            click(d, "ok");
        });
        QCOMPARE(configureReceiver(0), 1);
        QVERIFY(script.done());
        const std::string key = instanceKey("Hf", "HF2050");
        QCOMPARE(store().readNumber(key, "O_ISB", -1), 0);
        QCOMPARE(store().readNumber(key, "R_MAgc", -1), 1);
        m_driver->get_RxModExist(0, ModISB, &exists);
        QCOMPARE(exists, 0);
    }

    // Every model's dialog opens with its stored values and closes; with
    // KORVANE_DIALOG_PNG_DIR set each is saved as a picture.
    void everyModelHasItsDialog()
    {
        const struct {
            const char* instance;
            DrvType type;
            const char* field;
        } models[] = {
            {"NRD535", DrvNRD535, "F_Nar"},  {"RA6790", DrvRA6790, "F_FL7"},  {"RA1792", DrvRA1792, "F_FL7"},
            {"TRC243", DrvTRC243, "F_Roof"}, {"REK085", DrvREK085, "R_MOpt"}, {"NDX264", DrvNDX264, "F_Roof"},
            {"TRC294", DrvTRC294, "O_SSB"},  {"HF2050", DrvHF2050, "O_ISB"},
        };
        for (const auto& m : models) {
            configure("All", m.instance, m.type, 1);
        }
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("All", ConfLoad, &count), S_OK);
        std::int16_t receivers = 0;
        m_driver->get_RxCount(&receivers);
        QCOMPARE(receivers, std::int16_t{8});
        for (std::int16_t i = 0; i < receivers; ++i) {
            std::string name;
            m_driver->get_RxName(i, &name);
            const auto* m =
                std::find_if(std::begin(models), std::end(models), [&](const auto& x) { return name == x.instance; });
            QVERIFY(m != std::end(models));
            DialogScript script;
            const char* field = m->field;
            const bool receiverFilters = m->type == DrvRA6790;
            script.then(settingsTitle(m->instance), [field, receiverFilters](QWidget& d) {
                QVERIFY(d.findChild<QWidget*>(QString::fromLatin1(field)) != nullptr);
                // RA6790's filters are the receiver's: shown, not edited.
                if (receiverFilters) {
                    QVERIFY(!child<QLineEdit>(d, "F_FL1")->isEnabled());
                }
                QVERIFY(d.findChild<QWidget*>(QStringLiteral("C_Wait")) != nullptr);
                // Nothing is cut off: the dialog is at least as large as its
                // contents want.
                QVERIFY(d.width() >= d.minimumSizeHint().width());
                QVERIFY(d.height() >= d.minimumSizeHint().height());
                click(d, "cancel");
            });
            QCOMPARE(configureReceiver(i), 0);
            QVERIFY2(script.done(), m->instance);
        }
    }

    // While a receiver is engaged, RxConfigure is refused with a message
    // and shows nothing: from inside an event the driver raised (its
    // receive handling is on the stack), and while a channel read waits
    // for its record. Once the read is over, the dialog opens.
    void busyReceiverRefusesItsSettings()
    {
        auto rx = simulate("REK085");
        configure("Busy", "REK085", DrvREK085, rx->port());
        // Short ticks: a read that is never answered is given up sooner.
        store().writeNumber(instanceKey("Busy", "REK085"), "C_Wait", 150);
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Busy", ConfLoad, &count), S_OK);

        std::int32_t insideEvent = -1;
        m_sink.onConnState = [this, &insideEvent](std::int16_t index, ConnErr err) {
            if (err == ConnectNoError && insideEvent == -1) {
                m_driver->RxConfigure(index, &insideEvent);
            }
        };
        // A dialog shown now would be a fault: it is noted and closed.
        auto none = std::make_unique<DialogScript>();
        none->whenever(settingsTitle("REK085"), [](QWidget& d) { click(d, "cancel"); });
        QVERIFY(connectReceiver(0));
        QCOMPARE(insideEvent, 0);
        QCOMPARE(m_recorder.messages.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(m_recorder.messages.front()).contains(QStringLiteral("busy")));
        m_sink.onConnState = nullptr;

        // The receiver falls silent: the read waits for its record.
        sim::FaultPlan silent;
        silent.silenceAfter = 0;
        rx->setFaults(silent);
        RCODE read = R_KO;
        m_driver->RxChnRead(0, 5, &read);
        QCOMPARE(read, R_OK);
        QCOMPARE(configureReceiver(0), 0);
        QCOMPARE(m_recorder.messages.size(), std::size_t{2});
        QVERIFY(none->seen().isEmpty());
        none.reset();
        // Nor may the configuration be loaded again under it.
        std::int32_t reloaded = -1;
        QCOMPARE(m_driver->DrvConfigure("Busy", ConfLoad, &reloaded), S_FALSE);
        std::int32_t stillConnected = 0;
        m_driver->get_RxIsConnected(0, &stillConnected);
        QCOMPARE(stillConnected, 1);

        // The read is given up after its ticks; then the dialog comes.
        rx->setFaults(sim::FaultPlan{});
        DialogScript script;
        script.then(settingsTitle("REK085"), [](QWidget& d) { click(d, "cancel"); });
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto shown = m_recorder.messages.size();
                const std::int32_t result = configureReceiver(0);
                return result == 0 && m_recorder.messages.size() == shown;
            },
            kSlow));
        QVERIFY(script.done());

        // OK pressed while a channel read waits for its record: the
        // settings wait for the read to end, then go in.
        rx->setFaults(silent);
        IReceiverDriver* driver = m_driver;
        const std::string key = instanceKey("Busy", "REK085");
        const auto shown = m_recorder.messages.size();
        DialogScript waiting;
        waiting.then(settingsTitle("REK085"), [driver, key](QWidget& d) {
            RCODE r = R_KO;
            driver->RxChnRead(0, 6, &r);
            QCOMPARE(r, R_OK);
            type(d, "C_Wait", QStringLiteral("180"));
            click(d, "ok");
            QVERIFY(d.isVisible());
            QCOMPARE(store().readNumber(key, "C_Wait", 0), 150);
        });
        QCOMPARE(configureReceiver(0), 1);
        QVERIFY(waiting.done());
        QCOMPARE(store().readNumber(key, "C_Wait", 0), 180);
        QCOMPARE(m_recorder.messages.size(), shown);
        rx->setFaults(sim::FaultPlan{});
    }

    // While the settings dialog is open the driver cannot be reconfigured:
    // DrvConfigure answers S_FALSE and the instance list stays.
    void openDialogHoldsTheConfiguration()
    {
        configure("Hold", "NDX264", DrvNDX264, 1);
        std::int32_t count = 0;
        QCOMPARE(m_driver->DrvConfigure("Hold", ConfLoad, &count), S_OK);
        IReceiverDriver* driver = m_driver;
        HRESULT nested = S_OK;
        DialogScript script;
        script.then(settingsTitle("NDX264"), [driver, &nested](QWidget& d) {
            std::int32_t again = 0;
            nested = driver->DrvConfigure("Other", ConfDialog, &again);
            click(d, "cancel");
        });
        QCOMPARE(configureReceiver(0), 0);
        QVERIFY(script.done());
        QCOMPARE(nested, S_FALSE);
        std::string name;
        m_driver->get_RxName(0, &name);
        QCOMPARE(name, std::string("NDX264"));
    }

    // In the selection dialog, "&Remove all" pressed while a receiver is in
    // its channel dialogs is refused with a message: the receiver is never
    // destroyed under its own code. It then reconnects on its new port.
    void removeAllWaitsForAReceiverInItsChannelDialogs()
    {
        auto rx = simulate("NRD535");
        auto other = simulate("NRD535");
        configure("Sel", "NRD535", DrvNRD535, rx->port());
        std::int32_t count = 0;
        QPointer<QWidget> selection;
        const QString port = QString::number(other->port());
        DialogScript script;
        script
            .then(kSelection,
                  [this, &selection](QWidget& d) {
                      selection = &d;
                      // The configuration was loaded afresh: the receiver
                      // is connected again from here.
                      QVERIFY(connectReceiver(0));
                      auto* list = child<QListWidget>(d, "selectedDrivers");
                      const QPoint where = list->visualItemRect(list->item(0)).center();
                      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
                      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
                      click(d, "done");
                  })
            .then(kChannel, [](QWidget& d) { click(d, "next"); })
            .then(QStringLiteral("NRD535 Socket settings"), [this, &selection, port](QWidget& d) {
                type(d, "tcpPort", port);
                // Pressed while the receiver's channel dialogs are open
                // (it is reached programmatically: the open dialog keeps
                // the operator's mouse away from the selection dialog).
                QVERIFY(selection);
                child<QPushButton>(*selection, "removeAll")->click();
                QCOMPARE(m_recorder.messages.size(), std::size_t{1});
                QVERIFY(m_recorder.questions.empty());
                QCOMPARE(child<QListWidget>(*selection, "selectedDrivers")->count(), 1);
                click(d, "ok");
            });
        QCOMPARE(m_driver->DrvConfigure("Sel", ConfDialog, &count), S_OK);
        QVERIFY2(script.done(), qPrintable(script.seen().join(QLatin1Char(','))));
        QCOMPARE(count, 1);
        QCOMPARE(m_recorder.messages.size(), std::size_t{1});
        QVERIFY2(m_recorder.all().contains(QStringLiteral("busy")), qPrintable(m_recorder.all()));
        QVERIFY(store().keyExists(instanceKey("Sel", "NRD535")));
        QCOMPARE(store().readNumber(instanceKey("Sel", "NRD535"), "T_Port", 0), static_cast<int>(other->port()));
        // It came back on the new port.
        QVERIFY(QTest::qWaitFor([&] { return other->hasClient(); }, kSlow));
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

QTEST_MAIN(ModelSettingsDialogTest)
#include "modelsettingsdialog_test.moc"
