// The settings dialog behind the seam, run modally over the active window
// when the process has a widget application.
#include "modeldialogs.h"

#include <QApplication>

#include "driver/core/dialogseams.h"
#include "driver/models/familyreceiver.h"
#include "driver/models/modeltable.h"
#include "modelsettingsdialog.h"

namespace quorvin {

namespace {

std::int32_t runModelSettings(Receiver& receiver)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return 0;
    }
    auto* family = dynamic_cast<FamilyReceiver*>(&receiver);
    if (family == nullptr) {
        return 0;
    }
    ModelSettingsDialog dialog(*family, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace

void installModelDialogs()
{
    for (const ModelInfo& info : modelTable()) {
        setModelDialog(info.type, &runModelSettings);
    }
}

}  // namespace quorvin
