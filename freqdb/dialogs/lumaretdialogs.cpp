// The dialog host: both dialogs run modally over the active window.
#include "lumaretdialogs.h"

#include <QApplication>

#include "databasedialog.h"
#include "freqdb/frequencydata.h"
#include "utilselectiondialog.h"

namespace lumaret {

namespace {

bool canShowDialogs()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

class WidgetDialogHost : public DialogHost {
public:
    void utilDialog(FrequencyData& data) override
    {
        if (canShowDialogs()) {
            UtilSelectionDialog dialog(data, QApplication::activeWindow());
            dialog.exec();
        }
    }
    void dataDialog(FrequencyData& data) override
    {
        if (canShowDialogs()) {
            DatabaseDialog dialog(data, QApplication::activeWindow());
            dialog.exec();
        }
    }
};

}  // namespace

void installLumaretDialogs()
{
    static WidgetDialogHost host;
    setDialogHost(&host);
}

}  // namespace lumaret
