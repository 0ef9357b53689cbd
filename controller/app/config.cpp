// The options dialog.
#include "config.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "messages.h"

namespace tessaly {

using namespace quorvin;

namespace {

QWidget* configPage(const QString& text, QPushButton* button, QWidget* parent)
{
    auto* page = new QWidget(parent);
    auto* v = new QVBoxLayout(page);
    auto* label = new QLabel(text, page);
    label->setWordWrap(true);
    v->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(button);
    row->addStretch(1);
    v->addLayout(row);
    v->addStretch(1);
    return page;
}

}  // namespace

Config::Config(const QString& appName, const AppSettings& settings, Options& options, IReceiverDriver& driver,
               Messages& messages, QWidget* parent)
    : QDialog(parent), m_appName(appName), m_settings(settings), m_options(options), m_driver(driver),
      m_messages(messages)
{
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("Tabs"));

    m_drivers = new QPushButton(QStringLiteral("&Config."), this);
    m_drivers->setObjectName(QStringLiteral("DrvConfig"));
    m_drivers->setToolTip(QStringLiteral("Configure receivers drivers"));
    connect(m_drivers, &QPushButton::clicked, this, &Config::configureDrivers);
    m_tabs->addTab(configPage(QStringLiteral("The receivers of this instance: their models, names and how each "
                                             "one is connected. Changes take effect at once."),
                              m_drivers, m_tabs),
                   QStringLiteral("&Drivers"));
    m_receiverConfig = new QPushButton(QStringLiteral("&Config."), this);
    m_receiverConfig->setObjectName(QStringLiteral("RxConfig"));
    m_receiverConfig->setToolTip(QStringLiteral("Configure current receivers settings"));
    connect(m_receiverConfig, &QPushButton::clicked, this, &Config::configureReceiver);
    m_tabs->addTab(configPage(QStringLiteral("The settings of the displayed receiver: its polling, its options "
                                             "and its filters."),
                              m_receiverConfig, m_tabs),
                   QString());
    auto* general = new QWidget(m_tabs);
    buildGeneral(general);
    m_tabs->addTab(general, QStringLiteral("&General"));
    m_tabs->setTabToolTip(DriversTab, QStringLiteral("Configure receivers drivers"));
    m_tabs->setTabToolTip(ReceiverTab, QStringLiteral("Configure current receivers settings"));
    m_tabs->setTabToolTip(GeneralTab, QStringLiteral("Set Commons options"));
    root->addWidget(m_tabs);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    m_cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &Config::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &Config::reject);
    root->addWidget(buttons);
}

void Config::buildGeneral(QWidget* page)
{
    std::size_t count = 0;
    const BoolOption* options = boolOptions(&count);
    auto box = [&](const char* name) -> QCheckBox* {
        for (std::size_t i = 0; i < count; ++i) {
            const BoolOption& o = options[i];
            if (o.box != nullptr && qstrcmp(o.box, name) == 0) {
                auto* b = new QCheckBox(QString::fromLatin1(o.text), page);
                b->setObjectName(QString::fromLatin1(o.box));
                if (o.tip != nullptr) {
                    b->setToolTip(QString::fromLatin1(o.tip));
                }
                m_boxes.emplace_back(&o, b);
                return b;
            }
        }
        return nullptr;
    };

    auto* grid = new QGridLayout(page);
    auto* windows = new QGroupBox(QStringLiteral("&Windows"), page);
    auto* wv = new QVBoxLayout(windows);
    wv->addWidget(box("WndOTop"));
    wv->addWidget(box("WndBeep"));
    wv->addWidget(box("WndMonR"));
    wv->addStretch(1);

    auto* tuned = new QGroupBox(QStringLiteral("when &Manually tuned"), page);
    auto* tv = new QVBoxLayout(tuned);
    tv->addWidget(box("FrqSetM"));
    tv->addWidget(box("FrqSetF"));
    tv->addStretch(1);

    auto* other = new QGroupBox(QStringLiteral("&Other"), page);
    auto* ov = new QVBoxLayout(other);
    ov->addWidget(box("SndTimR"));
    ov->addWidget(box("DDEOAct"));
    m_ddeName = new QLineEdit(page);
    m_ddeName->setObjectName(QStringLiteral("DDESrvNam"));
    m_ddeName->setToolTip(
        QStringLiteral("DDE Server basename. Receiver name will be added to it together with a '_' separator"));
    m_ddeName->setMaxLength(64);
    auto* ddeRow = new QHBoxLayout;
    auto* ddeLabel = new QLabel(QStringLiteral("Decoder name"), page);
    ddeLabel->setToolTip(m_ddeName->toolTip());
    ddeRow->addWidget(ddeLabel);
    ddeRow->addWidget(m_ddeName, 1);
    ov->addLayout(ddeRow);
    ov->addStretch(1);

    auto* net = new QGroupBox(QStringLiteral("&Network server"), page);
    auto* form = new QFormLayout(net);
    m_netOn = new QCheckBox(QStringLiteral("Serve the receivers to other programs"), net);
    m_netOn->setObjectName(QStringLiteral("NetServer"));
    m_netOn->setToolTip(QStringLiteral("If selected, decoders and loggers reach receiver i on the first port + i "
                                       "(rigctl protocol)"));
    form->addRow(m_netOn);
    m_netAddress = new QLineEdit(net);
    m_netAddress->setObjectName(QStringLiteral("NetAddress"));
    m_netAddress->setToolTip(QStringLiteral("127.0.0.1 serves this computer only; another address lets the network "
                                            "tune your receivers"));
    form->addRow(QStringLiteral("Address"), m_netAddress);
    m_netPort = new QSpinBox(net);
    m_netPort->setObjectName(QStringLiteral("NetPort"));
    m_netPort->setRange(1, kLastBasePort);
    m_netPort->setToolTip(QStringLiteral("Port of the first receiver; the next ones follow"));
    form->addRow(QStringLiteral("First port"), m_netPort);
    m_netIdle = new QSpinBox(net);
    m_netIdle->setObjectName(QStringLiteral("NetIdle"));
    m_netIdle->setRange(0, kMaxIdleSeconds);
    m_netIdle->setSuffix(QStringLiteral(" s"));
    m_netIdle->setSpecialValueText(QStringLiteral("never"));
    m_netIdle->setToolTip(QStringLiteral("A client that sends nothing for this long is closed"));
    form->addRow(QStringLiteral("Close silent clients after"), m_netIdle);
    // The server's settings matter only while it is on.
    const auto follow = [this](bool on) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_netAddress, m_netPort, m_netIdle}) {
            w->setEnabled(on);
        }
    };
    connect(m_netOn, &QCheckBox::toggled, this, follow);
    follow(false);

    grid->addWidget(windows, 0, 0);
    grid->addWidget(tuned, 0, 1);
    grid->addWidget(other, 1, 0);
    grid->addWidget(net, 1, 1);
}

void Config::setReceiver(std::int16_t index)
{
    m_receiver = index;
    if (isVisible()) {
        captionReceiverTab();
    }
}

void Config::captionReceiverTab()
{
    std::string name;
    m_driver.get_RxName(m_receiver, &name);
    QString caption = QString::fromStdString(name);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    m_tabs->setTabText(ReceiverTab, caption);
    m_receiverConfig->setEnabled(!caption.isEmpty());
}

void Config::prepare()
{
    m_tabs->setCurrentIndex(GeneralTab);
    for (auto& [option, box] : m_boxes) {
        box->setChecked(m_options.*(option->member));
    }
    m_ddeName->setText(m_options.OptDDEName);
    m_netOn->setChecked(m_options.OptNetServer);
    m_netAddress->setText(m_options.OptNetAddress);
    m_netPort->setValue(std::clamp(m_options.OptNetPort, 1, kLastBasePort));
    m_netIdle->setValue(std::clamp(m_options.OptNetIdle, 0, kMaxIdleSeconds));
    captionReceiverTab();
    setWindowFlag(Qt::WindowStaysOnTopHint, m_options.OptOnTop);
}

void Config::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_cancelled = false;
}

void Config::configureDrivers()
{
    std::int32_t count = 0;
    // The library's dialog answers with the number of receivers, and may
    // have changed them (the main window then rebuilds its own and tells
    // this dialog its receiver again): the caption is read again whatever
    // the count, so it never names a receiver that has gone.
    m_driver.DrvConfigure(m_appName.toStdString(), ConfDialog, &count);
    captionReceiverTab();
    m_tabs->setCurrentIndex(GeneralTab);
}

void Config::configureReceiver()
{
    if (!m_tabs->tabText(ReceiverTab).isEmpty()) {
        std::int32_t result = 0;
        m_driver.RxConfigure(m_receiver, &result);
    }
    m_tabs->setCurrentIndex(GeneralTab);
}

void Config::accept()
{
    const QString address = m_netAddress->text().trimmed();
    if (m_netOn->isChecked()) {
        const QString problem = netSettingsProblem(address, m_netPort->value(), m_netIdle->value());
        if (!problem.isEmpty()) {
            m_messages.message(windowTitle(), problem, Messages::Icon::Warning);
            m_tabs->setCurrentIndex(GeneralTab);
            m_netAddress->setFocus();
            return;
        }
    }
    for (auto& [option, box] : m_boxes) {
        m_options.*(option->member) = box->isChecked();
    }
    if (!m_ddeName->text().trimmed().isEmpty()) {
        m_options.OptDDEName = m_ddeName->text().trimmed();
    }
    m_options.OptNetServer = m_netOn->isChecked();
    m_options.OptNetAddress = address.isEmpty() ? QStringLiteral("127.0.0.1") : address;
    m_options.OptNetPort = m_netPort->value();
    m_options.OptNetIdle = m_netIdle->value();
    m_cancelled = false;
    if (!m_options.save(m_settings)) {
        m_messages.message(windowTitle(),
                           QStringLiteral("The options could not be saved: they hold until Tessaly ends."),
                           Messages::Icon::Warning);
    }
    QDialog::accept();
}

void Config::reject()
{
    m_cancelled = true;
    QDialog::reject();
}

}  // namespace tessaly
