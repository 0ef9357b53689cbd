// The socket settings dialog.
#include "socketsettingsdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "addressfield.h"

namespace quorvin {

SocketSettingsDialog::SocketSettingsDialog(SocketLink& link, const QString& instanceName, QWidget* parent)
    : QDialog(parent), m_link(link), m_address(new QLineEdit(QString::fromStdString(link.address()), this)),
      m_port(new QLineEdit(QString::number(link.port()), this)),
      m_pingTest(new QCheckBox(QStringLiteral("Ping &Test"), this)),
      m_busAddress(new AddressField(this, link.busAddress(), link.busAddressing()))
{
    setWindowTitle(instanceName + QStringLiteral(" Socket settings"));
    m_address->setObjectName(QStringLiteral("address"));
    m_address->setMaxLength(127);
    m_port->setObjectName(QStringLiteral("tcpPort"));
    m_port->setValidator(new QIntValidator(0, 65535, m_port));
    m_pingTest->setObjectName(QStringLiteral("pingTest"));
    m_pingTest->setChecked(link.pingTest() != 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SocketSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("IP/Domain"), m_address);
    form->addRow(QStringLiteral("TCP Port"), m_port);
    form->addRow(QString(), m_pingTest);
    form->addRow(m_busAddress->label(), m_busAddress->edit());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    // Room for a host name, and for the whole title in the title bar.
    m_address->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 28);
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 120);
}

void SocketSettingsDialog::accept()
{
    bool changed = false;
    const std::string address = m_address->text().trimmed().toStdString();
    if (address != m_link.address()) {
        m_link.SetAddress(address);
        changed = true;
    }
    bool ok = false;
    const int port = m_port->text().toInt(&ok);
    if (ok && port >= 1 && port != m_link.port()) {
        m_link.SetPort(port);
        changed = true;
    }
    if (m_pingTest->isChecked() != (m_link.pingTest() != 0)) {
        m_link.SetPingTest(m_pingTest->isChecked());
        changed = true;
    }
    if (m_link.busAddressing()) {
        const std::int16_t busAddress = m_busAddress->value();
        if (busAddress != m_link.busAddress()) {
            m_link.SetBusAddress(busAddress);
            changed = true;
        }
    }
    if (!changed) {
        m_confirmedUnchanged = true;
        reject();
        return;
    }
    m_link.Save();
    QDialog::accept();
}

}  // namespace quorvin
