// The installed dialogs.
#include "dialogseams.h"

#include <map>
#include <utility>

namespace quorvin {

namespace {

SelectionDialog& selection()
{
    static SelectionDialog dialog;
    return dialog;
}

std::map<std::int32_t, ModelDialog>& modelDialogs()
{
    static std::map<std::int32_t, ModelDialog> dialogs;
    return dialogs;
}

}  // namespace

void setSelectionDialog(SelectionDialog dialog)
{
    selection() = std::move(dialog);
}

bool runSelectionDialog(DriverManager& manager)
{
    // A copy: the dialog may replace itself while it runs.
    const SelectionDialog dialog = selection();
    if (!dialog) {
        return false;
    }
    dialog(manager);
    return true;
}

void setModelDialog(std::int32_t drvType, ModelDialog dialog)
{
    if (dialog) {
        modelDialogs()[drvType] = std::move(dialog);
    } else {
        modelDialogs().erase(drvType);
    }
}

std::int32_t runModelDialog(std::int32_t drvType, Receiver& receiver)
{
    const auto it = modelDialogs().find(drvType);
    if (it == modelDialogs().end()) {
        return 0;
    }
    const ModelDialog dialog = it->second;
    return dialog(receiver);
}

}  // namespace quorvin
