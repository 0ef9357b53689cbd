// The serial settings dialog.
#include "serialsettingsdialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "addressfield.h"

namespace quorvin {

namespace {

constexpr std::array<std::int32_t, 5> kSpeeds = {1200, 2400, 4800, 9600, 19200};
constexpr std::array<const char*, 5> kSpeedCaptions = {"1&200", "2&400", "4&800", "9&600", "&19200"};
constexpr std::array<char, 5> kParities = {'n', 'e', 'o', 'm', 's'};
constexpr std::array<const char*, 5> kParityCaptions = {"&none", "&even", "&odd", "&mark", "&space"};

QGroupBox* groupOf(const QString& title, QWidget* parent, const std::vector<QRadioButton*>& buttons, int columns = 1)
{
    auto* box = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(box);
    auto* group = new QButtonGroup(box);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        group->addButton(buttons[i]);
        grid->addWidget(buttons[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
    }
    return box;
}

}  // namespace

SerialSettingsDialog::SerialSettingsDialog(SerialLink& link, const QString& instanceName, QWidget* parent)
    : QDialog(parent), m_link(link)
{
    setWindowTitle(instanceName + QStringLiteral(" Serial settings"));
    const SerialLink::Settings current = link.settings();

    // Each port with the device it stands for beside it (the port table in
    // the settings store maps numbers to devices).
    auto* portBox = new QGroupBox(QStringLiteral("Port"), this);
    auto* portGrid = new QGridLayout(portBox);
    auto* portGroup = new QButtonGroup(portBox);
    int firstFree = 0;
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        const QString caption = n <= 9 ? QStringLiteral("COM&%1").arg(n) : QStringLiteral("COM%1").arg(n);
        auto* button = new QRadioButton(caption, this);
        button->setObjectName(QStringLiteral("port%1").arg(n));
        const PortState state = link.ProbePort(n);
        button->setText(QStringLiteral("COM%1 %2").arg(n).arg(QString::fromLatin1(portStateWord(state))));
        const QString device = QString::fromStdString(portDevice(n));
        button->setToolTip(device);
        button->setEnabled(state != PortState::Absent);
        if (state == PortState::Free && firstFree == 0) {
            firstFree = n;
        }
        m_ports[static_cast<std::size_t>(n - 1)] = button;
        auto* deviceLabel = new QLabel(device.isEmpty() ? QStringLiteral("(no device)") : device, portBox);
        deviceLabel->setObjectName(QStringLiteral("device%1").arg(n));
        deviceLabel->setEnabled(state != PortState::Absent);
        portGroup->addButton(button);
        portGrid->addWidget(button, n - 1, 0);
        portGrid->addWidget(deviceLabel, n - 1, 1);
    }
    portGrid->setColumnStretch(1, 1);
    int shownPort = current.port;
    if (shownPort < kFirstPort || shownPort > kLastPort) {
        shownPort = firstFree;
    }

    std::vector<QRadioButton*> speeds;
    std::size_t speedIndex = 2;  // a speed outside the list shows as 4800
    for (std::size_t i = 0; i < kSpeeds.size(); ++i) {
        m_speeds[i] = new QRadioButton(QString::fromLatin1(kSpeedCaptions[i]), this);
        m_speeds[i]->setObjectName(QStringLiteral("speed%1").arg(kSpeeds[i]));
        if (kSpeeds[i] == current.speed) {
            speedIndex = i;
        }
        speeds.push_back(m_speeds[i]);
    }

    m_data7 = new QRadioButton(QStringLiteral("&7bits"), this);
    m_data7->setObjectName(QStringLiteral("data7"));
    m_data8 = new QRadioButton(QStringLiteral("&8bits"), this);
    m_data8->setObjectName(QStringLiteral("data8"));

    m_stop1 = new QRadioButton(QStringLiteral("&1bit"), this);
    m_stop1->setObjectName(QStringLiteral("stop1"));
    m_stop2 = new QRadioButton(QStringLiteral("&2bits"), this);
    m_stop2->setObjectName(QStringLiteral("stop2"));

    std::vector<QRadioButton*> parities;
    for (std::size_t i = 0; i < kParities.size(); ++i) {
        m_parities[i] = new QRadioButton(QString::fromLatin1(kParityCaptions[i]), this);
        m_parities[i]->setObjectName(QStringLiteral("parity_%1").arg(QLatin1Char(kParities[i])));
        parities.push_back(m_parities[i]);
    }

    m_testLink = new QCheckBox(QStringLiteral("DSR/CTS &Test"), this);
    m_testLink->setObjectName(QStringLiteral("testLink"));
    m_testLink->setChecked(current.testLink != 0);

    m_address = new AddressField(this, current.busAddress, link.busAddressing());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SerialSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* right = new QVBoxLayout;
    right->addWidget(groupOf(QStringLiteral("Speed"), this, speeds));
    right->addWidget(groupOf(QStringLiteral("Data"), this, {m_data7, m_data8}));
    right->addWidget(groupOf(QStringLiteral("Stop"), this, {m_stop1, m_stop2}));
    auto* middle = new QVBoxLayout;
    middle->addWidget(groupOf(QStringLiteral("Parity"), this, parities));
    middle->addWidget(m_testLink);
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(m_address->label());
    addressRow->addWidget(m_address->edit());
    middle->addLayout(addressRow);
    middle->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addWidget(portBox);
    columns->addLayout(right);
    columns->addLayout(middle);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    // Checked once every button sits in its own group.
    if (shownPort >= kFirstPort && shownPort <= kLastPort) {
        m_ports[static_cast<std::size_t>(shownPort - 1)]->setChecked(true);
    }
    m_speeds[speedIndex]->setChecked(true);
    (current.dataBits == 7 ? m_data7 : m_data8)->setChecked(true);
    (current.stopBits == 2 ? m_stop2 : m_stop1)->setChecked(true);
    for (std::size_t i = 0; i < kParities.size(); ++i) {
        m_parities[i]->setChecked(kParities[i] == current.parity);
    }
}

SerialLink::Settings SerialSettingsDialog::chosenSettings() const
{
    SerialLink::Settings chosen = m_link.settings();
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        if (m_ports[static_cast<std::size_t>(n - 1)]->isChecked()) {
            chosen.port = static_cast<std::int16_t>(n);
        }
    }
    for (std::size_t i = 0; i < kSpeeds.size(); ++i) {
        if (m_speeds[i]->isChecked()) {
            chosen.speed = kSpeeds[i];
        }
    }
    chosen.dataBits = m_data7->isChecked() ? 7 : 8;
    chosen.stopBits = m_stop2->isChecked() ? 2 : 1;
    for (std::size_t i = 0; i < kParities.size(); ++i) {
        if (m_parities[i]->isChecked()) {
            chosen.parity = kParities[i];
        }
    }
    if (m_testLink->isChecked() != (chosen.testLink != 0)) {
        chosen.testLink = m_testLink->isChecked() ? 1 : 0;
    }
    if (m_link.busAddressing()) {
        chosen.busAddress = m_address->value();
    }
    return chosen;
}

void SerialSettingsDialog::accept()
{
    const SerialLink::Settings chosen = chosenSettings();
    if (chosen == m_link.settings()) {
        m_confirmedUnchanged = true;
        reject();
        return;
    }
    m_link.applySettings(chosen);
    m_link.Save();
    QDialog::accept();
}

}  // namespace quorvin
