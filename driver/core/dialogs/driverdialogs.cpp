// The selection dialog behind the seam, run modally over the active window
// when the process has a widget application.
#include "driverdialogs.h"

#include <QApplication>

#include "driver/core/dialogseams.h"
#include "driverselectiondialog.h"

namespace quorvin {

namespace {

bool canShowDialogs()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void runSelection(DriverManager& manager)
{
    if (!canShowDialogs()) {
        return;
    }
    DriverSelectionDialog dialog(manager, QApplication::activeWindow());
    dialog.exec();
}

}  // namespace

void installDriverDialogs()
{
    setSelectionDialog(&runSelection);
}

}  // namespace quorvin
