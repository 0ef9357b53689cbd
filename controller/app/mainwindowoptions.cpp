// Main window: the options dialog, the end of forwarding that opening it
// brings, and the network servers that follow the options and receivers.
#include <QCheckBox>
#include <QPushButton>

#include "config.h"
#include "controller/core/receiverservers.h"
#include "frequencydisplay.h"
#include "mainwindow.h"
#include "messages.h"

namespace tessaly {

using namespace quorvin;

void MainWindow::createOptions()
{
    m_configDialog = new Config(m_appName, m_settings, m_options, *m_driver, m_messages, this);
    m_servers = std::make_unique<ReceiverServers>(*m_driver);
    m_config->setEnabled(true);
    connect(m_config, &QPushButton::clicked, this, &MainWindow::openOptions);
}

void MainWindow::endForwarding()
{
    m_forwardRole.fill(false);
    if (m_driver) {
        m_driver->put_RxForward(-1);
    }
    for (QCheckBox* box : m_forward) {
        box->setChecked(false);
        box->setStyleSheet(QString());
    }
}

void MainWindow::openOptions()
{
    if (m_configDialog == nullptr || m_configDialog->isVisible()) {
        return;
    }
    focusFrequencyField();
    endForwarding();
    m_configDialog->setReceiver(m_receiver);
    m_configDialog->prepare();
    m_configDialog->exec();
    if (m_closed) {
        return;
    }
    m_config->setDown(false);
    if (m_configDialog->cancelled()) {
        return;
    }
    if (m_options.OptDDELink) {
        openDigitLinks();
    } else {
        m_links.close();
    }
    m_ddests->setVisible(m_options.OptDDELink);
    applyOnTop();
    applyServers();
}

QStringList MainWindow::receiverNames()
{
    QStringList names;
    const std::int16_t count = receiverCount();
    for (std::int16_t i = 0; i < count && i < kMaxReceivers; ++i) {
        std::string name;
        m_driver->get_RxName(i, &name);
        names << QString::fromStdString(name);
    }
    return names;
}

void MainWindow::applyServers()
{
    if (!m_servers) {
        return;
    }
    const QStringList problems = m_servers->apply(NetSettings::from(m_options), receiverNames());
    if (!problems.isEmpty()) {
        m_messages.message(QStringLiteral("Tessaly"),
                           QStringLiteral("Network server\n\n") + problems.join(QLatin1Char('\n')),
                           Messages::Icon::Warning);
    }
}

}  // namespace tessaly
