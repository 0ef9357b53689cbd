// Where the driver's dialogs plug in. The logic never includes Qt Widgets:
// the dialogs target installs these at start-up. With nothing installed,
// nothing is shown and nothing blocks (tests, command-line tools).
#pragma once

#include <cstdint>
#include <functional>

namespace quorvin {

class DriverManager;
class Receiver;

// The driver selection dialog: runs modally, parented to the active window,
// on the manager it is given (adding and removing instances, setting the
// changed flag). Run by DrvConfigure when the configuration is empty or the
// client asks for it.
using SelectionDialog = std::function<void(DriverManager& manager)>;
void setSelectionDialog(SelectionDialog dialog);
// Runs the installed dialog; false when none is installed.
bool runSelectionDialog(DriverManager& manager);

// A model's settings dialog, by DrvType. A model's RxConfigure runs it
// through runModelDialog, which answers 0 (nothing changed) when no dialog
// is installed for the type.
using ModelDialog = std::function<std::int32_t(Receiver& receiver)>;
void setModelDialog(std::int32_t drvType, ModelDialog dialog);
std::int32_t runModelDialog(std::int32_t drvType, Receiver& receiver);

}  // namespace quorvin
