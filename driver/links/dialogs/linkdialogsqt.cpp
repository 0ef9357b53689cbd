// The three link dialogs, run modally over the active window.
#include "linkdialogsqt.h"

#include <QApplication>

#include "channelselectdialog.h"
#include "driver/links/linkdialogs.h"
#include "serialsettingsdialog.h"
#include "socketsettingsdialog.h"

namespace quorvin {

namespace {

bool selectChannel(CommChannel::Type& type)
{
    ChannelSelectDialog dialog(type, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    type = dialog.chosenType();
    return true;
}

bool serialSettings(SerialLink& link, const std::string& instanceName)
{
    SerialSettingsDialog dialog(link, QString::fromStdString(instanceName), QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool socketSettings(SocketLink& link, const std::string& instanceName)
{
    SocketSettingsDialog dialog(link, QString::fromStdString(instanceName), QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

const LinkDialogs kDialogs{&selectChannel, &serialSettings, &socketSettings};

}  // namespace

void installLinkDialogs()
{
    setLinkDialogs(&kDialogs);
}

}  // namespace quorvin
