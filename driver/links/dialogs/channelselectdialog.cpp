// The channel selection dialog.
#include "channelselectdialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvin {

ChannelSelectDialog::ChannelSelectDialog(CommChannel::Type type, QWidget* parent)
    : QDialog(parent), m_serial(new QRadioButton(QStringLiteral("&Serial local port"), this)),
      m_socket(new QRadioButton(QStringLiteral("&TCP/IP remote port"), this))
{
    setWindowTitle(QStringLiteral("Communication channel selection"));
    m_serial->setObjectName(QStringLiteral("serial"));
    m_socket->setObjectName(QStringLiteral("socket"));
    (type == CommChannel::SocketType ? m_socket : m_serial)->setChecked(true);

    auto* next = new QPushButton(QStringLiteral("&Next"), this);
    next->setObjectName(QStringLiteral("next"));
    next->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(next, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(next);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_serial);
    layout->addWidget(m_socket);
    layout->addLayout(buttons);
    // The whole title fits in the title bar.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 120);
}

CommChannel::Type ChannelSelectDialog::chosenType() const
{
    return m_socket->isChecked() ? CommChannel::SocketType : CommChannel::SerialType;
}

}  // namespace quorvin
