// The three link dialogs, run modally over the active window. A program
// without a widget application (a test, the headless tool) gets no dialog:
// the channel's Configure then ends as cancelled.
#include "linkdialogsqt.h"

#include <QApplication>

#include "channelselectdialog.h"
#include "driver/links/linkdialogs.h"
#include "serialsettingsdialog.h"
#include "socketsettingsdialog.h"

namespace quorvin {

namespace {

// Widgets need a QApplication; a QCoreApplication (or none) cannot show one.
bool canShowDialogs()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

bool selectChannel(CommChannel::Type& type)
{
    if (!canShowDialogs()) {
        return false;
    }
    ChannelSelectDialog dialog(type, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    type = dialog.chosenType();
    return true;
}

template <class Dialog>
LinkSettingsEnd runSettings(Dialog& dialog)
{
    if (dialog.exec() == QDialog::Accepted) {
        return LinkSettingsEnd::Saved;
    }
    return dialog.confirmedUnchanged() ? LinkSettingsEnd::Unchanged : LinkSettingsEnd::Cancelled;
}

LinkSettingsEnd serialSettings(SerialLink& link, const std::string& instanceName)
{
    if (!canShowDialogs()) {
        return LinkSettingsEnd::Cancelled;
    }
    SerialSettingsDialog dialog(link, QString::fromStdString(instanceName), QApplication::activeWindow());
    return runSettings(dialog);
}

LinkSettingsEnd socketSettings(SocketLink& link, const std::string& instanceName)
{
    if (!canShowDialogs()) {
        return LinkSettingsEnd::Cancelled;
    }
    SocketSettingsDialog dialog(link, QString::fromStdString(instanceName), QApplication::activeWindow());
    return runSettings(dialog);
}

const LinkDialogs kDialogs{&selectChannel, &serialSettings, &socketSettings};

}  // namespace

void installLinkDialogs()
{
    setLinkDialogs(&kDialogs);
}

}  // namespace quorvin
